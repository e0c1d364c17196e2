#pragma once

// Which bundles may be removed, and which running processes belong to one.

#include "AppBundle.h"

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

// A running application process.
struct RunningApplication {
    std::optional<QString> bundleIdentifier;
    std::optional<QString> bundleURL; // path of the application bundle
    qint64 processIdentifier = 0;
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
QList<RunningApplication> runningApplications(const AppBundle& bundle);

} // namespace Protection

} // namespace moss
