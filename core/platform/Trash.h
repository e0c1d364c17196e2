#pragma once

// The desktop Trash as the freedesktop.org Trash specification lays it out:
// a Trash folder holds the items under files/ and, for each item NAME, a
// description info/NAME.trashinfo with its former location and the time it
// was trashed. The home Trash is $XDG_DATA_HOME/Trash; an item on another file
// system goes to the Trash at the top of its mount. Symbolic links are moved
// and copied as links, never followed; nothing here replaces an existing item.

#include "platform/TrashError.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <system_error>

namespace moss::trash {

// $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash; empty when neither
// variable gives an absolute path.
QString homeTrashPath();
// Creates the home Trash and its files/ and info/ folders where missing.
// True when they are usable folders afterwards.
bool prepareHomeTrash();

// Where an item went, or why it did not go.
struct TrashMove {
    QString location;      // under a Trash's files/: the item, or a whole copy of it
    std::error_code error; // empty when the item left its place completely

    // Part of the item stayed in place while a whole copy of it is in the
    // Trash at `location`; restore() with Restore::merging puts it together.
    bool isHalfMoved() const { return error && !location.isEmpty(); }
    explicit operator bool() const { return !error; }
};

// Moves the item into the Trash of its file system by renaming it. On failure
// it stays where it was and no description is left behind. The Trash itself,
// an item inside it and one that contains it are refused.
TrashMove moveToTrash(const QString& path);

// Called once the copy is complete and on disk, right before the original's
// entries are removed, with the item's path and the copy's.
using BeforeRemoval = std::function<void(const QString& item, const QString& copy)>;

// Copies the item into the home Trash and then removes the original through
// folder descriptors. Refused before anything is copied when the original
// cannot be removed as a whole (see TreeMove.h) or is, lies in or contains the
// Trash. A copy is faithful (mode, owner where permitted, times, extended
// attributes and ACLs, hard links, holes, links as links, FIFOs) or nothing is
// left of it. Only entries still as they were copied are removed; when others
// stay, the result is half-moved: the whole copy stays with its description.
// When nothing of the original could be removed, the copy goes again.
TrashMove copyToHomeTrash(const QString& path, const BeforeRemoval& beforeRemoval = {});

enum class Restore {
    whole,   // the item goes back only where nothing stands
    merging, // a half-moved item: entries missing at the former place go back
};

// Moves a trashed item (a location under some Trash's files/) back to its
// former path, creating missing parent folders, across file systems when
// needed, and removes its description once nothing of it is left in the Trash.
// Never replaces anything: with Restore::whole an occupied former path is
// refused (EEXIST); with Restore::merging the entries of the Trash copy that
// are missing there are moved back into what remained (tree::mergeBack), and
// the call succeeds when nothing of the copy is missing at the former path.
Status restore(const QString& trashedPath, const QString& formerPath,
               Restore mode = Restore::whole);

// The description file of a trashed item.
QString infoPath(const QString& trashedPath);
// The former location recorded in a trashed item's description, as an
// absolute path; nullopt when the description is missing or malformed.
std::optional<QString> originalPath(const QString& trashedPath);

// The Path= value of a description: every byte of the path except unreserved
// URI characters and "/" written as %XX.
QByteArray encodeInfoPath(const QString& path);
QString decodeInfoPath(const QByteArray& value);

} // namespace moss::trash
