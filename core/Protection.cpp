#include "Protection.h"

#include "DesktopEntry.h"
#include "LinuxApps.h"
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

QList<RunningApplication> bundleApplications(const AppBundle& bundle, const QString& procRoot) {
    QSet<QString> identifiers;
    for (const QString& identifier : bundle.allIdentifiers())
        identifiers.insert(identifier.toLower());
    const QString bundlePath = fs::standardized(bundle.url);

    QHash<QString, std::optional<AppBundle>> bundles;
    QList<RunningApplication> applications;
    for (const workspace::BundleProcess& process : workspace::bundleProcesses(procRoot)) {
        RunningApplication application = applicationFor(process, bundles);
        if (belongsTo(application, identifiers, bundlePath)) {
            application.startTime = workspace::startTime(process.pid, procRoot).value_or(0);
            applications.append(application);
        }
    }
    return applications;
}

// What tells a Linux application's processes apart; each test is made only
// where the application has what it asks for.
class LinuxProcessTest {
public:
    LinuxProcessTest(const AppBundle& app, const LinuxRoots& roots, const QString& procRoot)
        : procRoot_(procRoot), program_(LinuxApps::programFile(app, roots)) {
        if (!program_.isEmpty()) {
            programStatus_ = fs::entryStatus(program_, true);
            if (app.source == AppSource::appImage || LinuxApps::isAppImage(program_))
                appImage_ = program_;
        }
        if (app.source == AppSource::flatpakUser || app.source == AppSource::flatpakSystem)
            flatpakId_ = LinuxApps::flatpakId(app.package);
        if (app.source == AppSource::snap && LinuxApps::isSnapInstanceName(app.package))
            snapFolder_ = fs::appending(roots.snapMounts, app.package) + u'/';
    }

    bool matches(const workspace::UserProcess& process) const {
        if (!program_.isEmpty() && process.executable == program_)
            return true;
        if (!snapFolder_.isEmpty() && process.executable.startsWith(snapFolder_))
            return true;
        if (programStatus_) {
            const auto executable = workspace::executableStatus(procRoot_, process.pid);
            if (executable && executable->isSameObject(*programStatus_))
                return true;
        }
        if (!appImage_.isEmpty()) {
            const std::optional<QString> started =
                workspace::environmentVariable(procRoot_, process.pid, "APPIMAGE");
            if (started && started->startsWith(u'/') &&
                fs::resolvingSymlinks(*started) == appImage_)
                return true;
        }
        return !flatpakId_.isEmpty() && flatpakOf(process.pid) == flatpakId_;
    }

private:
    // The application whose sandbox the process runs in; empty for none.
    QString flatpakOf(qint64 pid) const {
        const std::optional<QByteArray> info = workspace::sandboxInfo(procRoot_, pid);
        const std::optional<DesktopEntry> keys =
            info ? DesktopEntry::fromData(*info) : std::nullopt;
        return keys ? keys->string("Application", "name").value_or(QString()).trimmed() : QString();
    }

    QString procRoot_;
    QString program_;
    std::optional<fs::EntryStatus> programStatus_;
    QString appImage_;
    QString flatpakId_;
    QString snapFolder_;
};

QList<RunningApplication> linuxApplications(const AppBundle& app, const LinuxRoots& roots,
                                            const QString& procRoot) {
    const LinuxProcessTest test(app, roots, procRoot);
    QList<RunningApplication> applications;
    for (const workspace::UserProcess& process : workspace::userProcesses(procRoot)) {
        if (!test.matches(process))
            continue;
        RunningApplication application;
        application.bundleIdentifier = app.bundleIdentifier;
        application.bundleURL = app.url;
        application.processIdentifier = process.pid;
        application.startTime = workspace::startTime(process.pid, procRoot).value_or(0);
        application.localizedName = app.displayName;
        applications.append(application);
    }
    return applications;
}

} // namespace

bool RunningApplication::terminate() const {
    return workspace::terminate(processIdentifier, startTime);
}

bool RunningApplication::kill() const {
    return workspace::kill(processIdentifier, startTime);
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

QList<RunningApplication> Protection::runningApplications(const AppBundle& bundle,
                                                          const LinuxRoots& roots,
                                                          const QString& procRoot) {
    if (bundle.source == AppSource::bundle)
        return bundleApplications(bundle, procRoot);
    return linuxApplications(bundle, roots, procRoot);
}

} // namespace moss
