#pragma once

// How an application itself goes when it is removed: to the Trash with its
// leftovers, through its package system's own tool after them (Flatpak,
// Snap: it cannot come back from the Trash), or not by Mossbin at all (a
// Debian package, an entry installed for every user).

#include "AppBundle.h"
#include "LinuxLocations.h"

#include <QString>
#include <QStringList>
#include <chrono>

namespace moss {

struct ApplicationRemoval {
    enum class Way {
        trash,     // the application row goes to the Trash like its leftovers
        tool,      // `program arguments` removes it once the leftovers are gone
        elsewhere, // its package system removes it; the row cannot be ticked
    };
    Way way = Way::trash;
    // The application row's path: the bundle, the AppImage, the user's own
    // entry, the Flatpak's folder in its installation, the Snap's mount
    // folder, or the entry that a package system installed.
    QString item{};
    // Way::tool: the tool as found on $PATH, its arguments, its name for
    // people ("Flatpak", "Snap") and the command that installs the
    // application again.
    QString program{};
    QStringList arguments{};
    QString toolName{};
    QString reinstall{};
    // Way::elsewhere: the command that removes the package, for the user to
    // run ("sudo apt remove PKG"); empty where only an administrator can.
    QString command{};

    friend bool operator==(const ApplicationRemoval&, const ApplicationRemoval&) = default;
};

namespace PackageRemoval {

// How long a package tool may take before it is stopped: a system
// installation waits for the user's authorisation.
inline constexpr std::chrono::minutes toolLimit{5};

// How the application goes. An entry in the user's own applications folder
// is the user's whatever installed it, and goes to the Trash; a Flatpak
// whose folder is missing from its installation is only its entry.
ApplicationRemoval of(const AppBundle& app, const LinuxRoots& roots);

// The remote a Flatpak was installed from, as its installation records it
// (the deployment's data, else the repository's remote refs); empty when
// neither says. `ref` is app/ID/ARCH/BRANCH, or app/ID for the current branch.
QString flatpakOrigin(const QString& installation, const QString& ref);

// The sheet's note on an application row that its tool removes:
// "удаляется через Flatpak — из Корзины не вернуть".
QString toolNote(const ApplicationRemoval& removal);

} // namespace PackageRemoval

} // namespace moss
