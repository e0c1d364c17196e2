#pragma once

// Applications that are certainly gone but left files behind, each as a
// record the leftover search works from (an AppBundle of kind application):
// - a Flatpak whose folder ~/.var/app/ID is there (a real folder) while
//   neither installation holds app/ID: searched by the ID, named after its
//   last part;
// - a Snap whose folder ~/snap/NAME is there while NAME is not mounted:
//   searched by the Snap's name;
// - an application of a Debian package that was removed but not purged
//   (dpkg's "config-files" state), known by a desktop entry that dpkg still
//   lists for the package and that can still be read, or remembered from an
//   earlier catalogue, when something in the user's folders bears one of its
//   keys.
// Nothing else is taken for a sign that an application is gone, and an
// application that the catalogue holds (the same ID, desktop-file ID, Snap
// or package) is never one of them. A folder that cannot be looked at says
// nothing.
//
// The memory: every catalogue load keeps the identity of each Debian-package
// application it found (desktop-file ID, names, nested identifiers, display
// name) in a small file below $XDG_STATE_HOME/mossbin, so that a package's
// files can be found after dpkg has forgotten its desktop entries. A package
// that dpkg no longer knows (purged) is dropped from it; the file is
// rewritten only when it changes, and read defensively: a file that does
// not parse is ignored, an entry that does not hold together is dropped.

#include "AppBundle.h"
#include "Catalog.h"
#include "LinuxLocations.h"

#include <QList>
#include <QString>
#include <optional>

namespace moss::RemovedApps {

// "Остатки удалённых приложений".
QString sectionTitle();

// Where the memory is: stateHome/mossbin/removed-apps.
QString memoryFile(const LinuxRoots& roots);

// Remembers the Debian-package applications of the catalogue, then finds the
// applications certainly gone (see above), sorted by display name.
QList<AppBundle> applications(const QList<AppBundle>& catalogue, const LinuxRoots& roots);

// applications() as the installed list's section; nullopt when there are
// none.
std::optional<CatalogSection> section(const QList<AppBundle>& catalogue, const LinuxRoots& roots);

} // namespace moss::RemovedApps
