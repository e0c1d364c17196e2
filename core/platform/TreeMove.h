#pragma once

// Moving a tree of files where a rename cannot take it: a faithful copy
// first, then the original is removed. Everything goes through folder
// descriptors opened one level at a time with O_NOFOLLOW | O_DIRECTORY, so a
// path that changes meanwhile leads nowhere else and a link met where a folder
// was is never entered. Before the first byte is copied, the whole original is
// known to be removable; afterwards an entry is removed only while it is still
// the one that was copied, unchanged. Names are raw bytes.

#include <QByteArray>
#include <functional>
#include <memory>
#include <system_error>
#include <utility>

namespace moss::tree {

// An open file descriptor, closed by its owner.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const { return fd_; }
    bool isValid() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A folder by its path, links in the path followed; invalid (errno set) when
// it cannot be opened.
Descriptor openFolder(const QByteArray& path);
// The same, held only for looking up, creating and removing entries (O_PATH):
// the folder need not be readable, as for a rename.
Descriptor holdFolder(const QByteArray& path);
// The entry `name` of `dir` as a folder; never a link (errno ELOOP or ENOTDIR).
Descriptor openFolderAt(int dir, const QByteArray& name);

// Where the entry `name` of `dir` stands against `folder`: the same object, a
// folder that contains it, an entry inside it, or apart from it.
enum class Relation { apart, same, contains, inside };
Relation relation(int dir, const QByteArray& name, int folder);

struct MoveOutcome {
    std::error_code error; // empty when the original is gone and the copy complete
    // With an error: part of the original was removed, so the complete copy
    // stays where it was made. Without it, nothing of the copy is left.
    bool copyKept = false;
};

// One move by copy: the constructor surveys the original, run() copies it and
// removes what was copied. The folder `dir` must stay open meanwhile; it may
// be held with holdFolder(). The folder a copy goes to must be opened.
class TreeMove {
public:
    TreeMove(int dir, const QByteArray& name);
    ~TreeMove();
    TreeMove(const TreeMove&) = delete;
    TreeMove& operator=(const TreeMove&) = delete;

    // Why the original cannot be moved as a whole (another user's entry in a
    // sticky folder, no permission, an immutable entry, a mount point inside,
    // a socket…); empty when it can.
    std::error_code error() const { return error_; }

    // Copies the original to the new entry `toName` of `toDir` (which never
    // replaces anything), flushes the copy to disk, calls `beforeRemoval`, and
    // removes every entry of the original that is still as it was copied.
    MoveOutcome run(int toDir, const QByteArray& toName,
                    const std::function<void()>& beforeRemoval = {});

    struct Node;

private:
    int dir_;
    std::unique_ptr<Node> root_;
    std::error_code error_;
    qint64 bytes_ = 0;
};

// Moves an entry to a place where nothing is: a rename, or a move by copy
// across file systems.
MoveOutcome move(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName);

struct MergeOutcome {
    std::error_code error; // an entry of the copy that could not be moved back
    bool emptied = false;  // nothing is left of the copy
};

// Puts a partly moved tree back together: every entry of the copy at
// `copyName` that is missing at `intoName` is moved there, and folders that
// are at both places are merged entry by entry. Nothing at `intoName` is
// replaced; an entry of the copy identical to the one standing in its place is
// dropped, one that differs stays with the copy.
MergeOutcome mergeBack(int copyDir, const QByteArray& copyName, int intoDir,
                       const QByteArray& intoName);

} // namespace moss::tree
