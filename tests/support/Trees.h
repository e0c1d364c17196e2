#pragma once

// Trees of files for the removal tests: what a tree holds, as one string to
// compare before and after a round trip through the Trash (equal fingerprints
// mean nothing was lost), and trees that are hard to copy faithfully.

#include <QString>

namespace moss::test {

enum class Detail {
    contents, // names, types, SHA-256 of file contents, link targets
    metadata, // also mode, owner, modification time (not of folders, which
              // change as entries come and go), extended attributes (ACLs
              // too), which names share one file, and whether a file has holes
};

QString fingerprint(const QString& path, Detail detail = Detail::contents);

// Makes the folder `path` with what a copy easily loses: a set-user-id file
// of user 65534 with a user attribute and a POSIX ACL, a folder with a
// default ACL, two names of one file, a file with holes, a link and a FIFO.
void makeRichTree(const QString& path);

} // namespace moss::test
