#pragma once

// The desktop Trash as the freedesktop.org Trash specification lays it out:
// a Trash folder holds the items under files/ and, for each item NAME, a
// description info/NAME.trashinfo with its former location and the time it
// was trashed. The home Trash is $XDG_DATA_HOME/Trash; an item on another file
// system goes to the Trash at the top of its mount. Symbolic links are moved
// and copied as links, never followed; nothing here replaces an existing item.

#include <QByteArray>
#include <QString>
#include <optional>

namespace moss::trash {

// $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash; empty when neither
// variable gives an absolute path.
QString homeTrashPath();
// Creates the home Trash and its files/ and info/ folders where missing.
// True when they are usable folders afterwards.
bool prepareHomeTrash();

// Moves the item into the Trash of its file system by renaming it. Returns its
// location under files/, or nullopt when it was not moved (it stays where it
// was and no description is left behind).
std::optional<QString> moveToTrash(const QString& path);

// Copies the item into the home Trash and removes the original only after the
// copy is complete and checked. Returns the copy's location under files/, or
// nullopt when the original stays (no partial copy is left behind).
std::optional<QString> copyToHomeTrash(const QString& path);

// Moves a trashed item (a location under some Trash's files/) back to its
// former path, creating missing parent folders, across file systems when
// needed, and removes its description. Never replaces anything: false when the
// former path is occupied or the trashed item is gone.
bool restore(const QString& trashedPath, const QString& formerPath);

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
