#pragma once

// What a tree of files holds, as one string, to compare before and after a
// round trip through the Trash: equal fingerprints mean nothing was lost.

#include <QString>

namespace moss::test {

enum class Detail {
    contents, // names, types, SHA-256 of file contents, link targets
    metadata, // also mode, owner, modification time (not of folders, which
              // change as entries come and go), extended attributes (ACLs
              // too), which names share one file, and whether a file has holes
};

QString fingerprint(const QString& path, Detail detail = Detail::contents);

} // namespace moss::test
