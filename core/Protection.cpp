#include "Protection.h"

#include "SystemPaths.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

#include <QHash>
#include <sys/statvfs.h>

namespace moss {

namespace {

using namespace Qt::StringLiterals;

// Whether the current user may remove the item at the path: its folder must
// be writable.
bool isDeletable(const QString& path) {
    return path != u"/" && fs::isWritable(fs::parentPath(path));
}

bool isAtOrBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
}

// A running process described as an application, from its bundle.
RunningApplication applicationFor(const workspace::BundleProcess& process,
                                  QHash<QString, std::optional<AppBundle>>& bundles) {
    auto bundle = bundles.constFind(process.bundlePath);
    if (bundle == bundles.cend())
        bundle = bundles.insert(process.bundlePath, AppBundle::load(process.bundlePath, false));
    RunningApplication application;
    application.processIdentifier = process.pid;
    application.bundleURL = process.bundlePath;
    application.localizedName = fs::lastComponent(process.executable);
    if (*bundle) {
        application.bundleIdentifier = (*bundle)->bundleIdentifier;
        application.localizedName = (*bundle)->displayName;
    }
    return application;
}

bool belongsTo(const RunningApplication& application, const QSet<QString>& identifiers,
               const QString& bundlePath) {
    if (application.bundleIdentifier &&
        identifiers.contains(application.bundleIdentifier->toLower()))
        return true;
    return application.bundleURL &&
           isAtOrBelow(fs::standardized(*application.bundleURL), bundlePath);
}

} // namespace

bool RunningApplication::terminate() const {
    return workspace::terminate(processIdentifier);
}

bool RunningApplication::kill() const {
    return workspace::kill(processIdentifier);
}

const QStringList& Protection::defaultProtected() {
    static const QStringList identifiers = {
        u"com.apple.finder"_s,   u"com.apple.Safari"_s,
        u"com.apple.AppStore"_s, u"com.apple.systempreferences"_s,
        u"com.apple.Terminal"_s, u"com.apple.mail"_s,
        u"com.apple.dock"_s,     QStringLiteral(MOSSBIN_BUNDLE_IDENTIFIER),
    };
    return identifiers;
}

ProtectionStatus Protection::status(const AppBundle& bundle, const QSet<QString>& userProtected) {
    const QString& path = bundle.url;
    if (SystemPaths::isSystemBundlePath(path))
        return ProtectionStatus::System;
    if (!bundle.bundleIdentifier)
        return ProtectionStatus::None;
    const QString& identifier = *bundle.bundleIdentifier;
    if (SystemPaths::isVendorIdentifier(identifier) && !isDeletable(path) && isOnSealedVolume(path))
        return ProtectionStatus::System;
    for (const QString& entry : userProtected) {
        if (entry.compare(identifier, Qt::CaseInsensitive) == 0)
            return ProtectionStatus::UserProtected;
    }
    return ProtectionStatus::None;
}

bool Protection::isOnSealedVolume(const QString& url) {
    if (SystemPaths::isOnSystemVolume(url))
        return true;
    struct statvfs volume {};
    if (::statvfs(fs::encodePath(url).constData(), &volume) != 0)
        return false;
    return (volume.f_flag & ST_RDONLY) != 0;
}

QList<RunningApplication> Protection::runningApplications(const AppBundle& bundle) {
    QSet<QString> identifiers;
    for (const QString& identifier : bundle.allIdentifiers())
        identifiers.insert(identifier.toLower());
    const QString bundlePath = fs::standardized(bundle.url);

    QHash<QString, std::optional<AppBundle>> bundles;
    QList<RunningApplication> applications;
    for (const workspace::BundleProcess& process : workspace::bundleProcesses()) {
        const RunningApplication application = applicationFor(process, bundles);
        if (belongsTo(application, identifiers, bundlePath))
            applications.append(application);
    }
    return applications;
}

} // namespace moss
