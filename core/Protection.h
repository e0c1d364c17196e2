#pragma once

// Which bundles may be removed, and which running processes belong to one.

#include "AppBundle.h"
#include "LinuxLocations.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace moss {

// In a namespace of its own for the window, as BundleKind (AppBundle.h).
namespace ProtectionStatuses {
Q_NAMESPACE
enum class ProtectionStatus { None, System, UserProtected };
Q_ENUM_NS(ProtectionStatus)
} // namespace ProtectionStatuses
using ProtectionStatuses::ProtectionStatus;

// A running application process of the current user.
struct RunningApplication {
    std::optional<QString> bundleIdentifier;
    // Path of the application bundle, or of a Linux application's desktop
    // entry or AppImage.
    std::optional<QString> bundleURL;
    qint64 processIdentifier = 0;
    // When the process started (workspace::startTime); signals go to this
    // process only, never to a later one with the same id.
    quint64 startTime = 0;
    QString localizedName;

    // Asks the process to quit (SIGTERM). True when the request was sent.
    bool terminate() const;
    // Ends the process at once (SIGKILL). True when the signal was sent.
    bool kill() const;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

namespace Protection {

// The identifiers the user's protected list starts from, in order; the last is
// Mossbin's own.
const QStringList& defaultProtected();

ProtectionStatus status(const AppBundle& bundle, const QSet<QString>& userProtected);
bool isOnSealedVolume(const QString& url);
// The current user's processes (read from procRoot) that belong to the
// application. A bundle's: those whose executable lies in a bundle with one of
// its identifiers, or in the bundle itself or a bundle inside it. A Linux
// application's: those whose executable is its program (LinuxApps::programFile,
// the same file whatever its path), those started from its AppImage (APPIMAGE
// in their environment), those in its Flatpak's sandbox (the Application name
// of the sandbox's .flatpak-info) and those running its Snap's files.
QList<RunningApplication> runningApplications(const AppBundle& bundle,
                                              const LinuxRoots& roots = LinuxRoots::live(),
                                              const QString& procRoot = QStringLiteral("/proc"));

} // namespace Protection

} // namespace moss
