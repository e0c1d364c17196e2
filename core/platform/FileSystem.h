#pragma once

// Thin file-system layer for the core. Paths are absolute QStrings.
//
// File names on Linux are arbitrary bytes. Bytes that do not form valid UTF-8
// are carried in QString as lone surrogates U+DC80..U+DCFF (one per byte), so
// that every name read from disk can be handed back to the kernel unchanged.
// All functions here encode and decode with that rule; code outside this
// layer never converts paths to bytes itself.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <stop_token>

namespace moss::fs {

QByteArray encodePath(const QString& path);
QString decodePath(const QByteArray& bytes);
QString decodePath(const char* bytes);

// "." and ".." components removed, repeated slashes collapsed, no trailing
// slash (except for "/" itself). Symbolic links are not resolved. A relative
// path is first made absolute against the current directory.
QString standardized(const QString& path);

// standardized(), then every symbolic link in the path resolved. Components
// that do not exist are kept as they are.
QString resolvingSymlinks(const QString& path);

QString lastComponent(const QString& path);     // "Foo.app" for "/A/Foo.app"
QString parentPath(const QString& path);        // "/A" for "/A/Foo.app", "/" for "/x"
QString pathExtension(const QString& path);     // "app" for "/A/Foo.app", "" for "/A/.hidden"
QString deletingExtension(const QString& name); // "Foo" for "Foo.app"
QString appending(const QString& dir, const QString& component);

enum class EntryType { missing, file, directory, symlink, other };

// Type of the entry itself (lstat: a symbolic link is reported as such).
EntryType entryType(const QString& path);
// True when something (a link counts, even a dangling one) is at the path.
bool exists(const QString& path);
// True when the path leads to a folder, following symbolic links.
bool isDirectory(const QString& path);
// True when the path leads to a folder without following a final link.
bool isRealDirectory(const QString& path);
// The target of a symbolic link, as it is written in the link.
std::optional<QString> symlinkTarget(const QString& path);
// access(W_OK) for the current user.
bool isWritable(const QString& path);

// Which file-system object an entry is, and whose.
struct EntryStatus {
    quint64 device = 0;
    quint64 inode = 0;
    uint owner = 0; // user id
    bool sticky = false;

    // The same object, whatever path reached it.
    bool isSameObject(const EntryStatus& other) const {
        return device == other.device && inode == other.inode;
    }
};
// lstat of the entry itself (a symbolic link is the link), or stat through
// links when followLinks is true; nullopt when nothing is there.
std::optional<EntryStatus> entryStatus(const QString& path, bool followLinks = false);
// The effective user id of this process.
uint currentUser();

// Names of the direct entries of a folder, in the order the file system
// returns them, "." and ".." left out. Hidden entries are included unless
// includeHidden is false. nullopt when the folder cannot be listed.
std::optional<QStringList> listDirectory(const QString& dir, bool includeHidden = true);

// Reads at most maxBytes of a regular file (symbolic links followed).
std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes = 16 * 1024 * 1024);
// Reads exactly `length` bytes of a regular file from `offset` (symbolic links
// followed); nullopt when the file is shorter or cannot be read.
std::optional<QByteArray> readFileRange(const QString& path, quint64 offset, quint64 length);

// Space allocated on disk: st_blocks * 512 of the item (never following a
// symbolic link); for a folder, the sum over every entry below it at all
// depths, the folder's own entry not counted. Missing or unreadable: 0.
qint64 allocatedSize(const QString& path);
// The same walk, given up as soon as stop is requested (it is asked before
// every entry): nullopt when it gave up with entries left to count.
std::optional<qint64> allocatedSize(const QString& path, const std::stop_token& stop);

// Creates the folder and all missing parents. True when it exists afterwards.
bool makePath(const QString& path);

// rename(2); fails across file systems. Never replaces an existing target:
// an occupied destination is an error.
bool moveNoReplace(const QString& from, const QString& to);

// The local path of a file URL, byte-exact: percent-encoded bytes that are not
// UTF-8 (a dropped file with such a name) are kept. Empty for other URLs.
QString pathFromFileUrl(const QUrl& url);

QString homePath();
QString tempPath(); // $TMPDIR or /tmp, symbolic links resolved

} // namespace moss::fs
