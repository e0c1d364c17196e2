#include "PackageRemoval.h"

#include "LinuxApps.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>

namespace moss::PackageRemoval {

using namespace Qt::StringLiterals;

namespace {

// The origin is the first string of the deployment's data, a serialised
// tuple that begins with it; a remote name is short and plain.
constexpr qint64 maxDeployRead = 4096;

bool isRemoteName(const QString& name) {
    static const QRegularExpression plain(u"^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$"_s);
    return plain.match(name).hasMatch();
}

QString originFromDeployment(const QString& folder) {
    const std::optional<QByteArray> data =
        fs::readFile(fs::appending(folder, u"active/deploy"_s), maxDeployRead);
    if (!data)
        return {};
    const qsizetype end = data->indexOf('\0');
    if (end < 0)
        return {};
    const QString origin = QString::fromUtf8(data->left(end));
    return isRemoteName(origin) ? origin : QString();
}

QString originFromRemoteRefs(const QString& installation, const QString& ref) {
    const QString remotes = fs::appending(installation, u"repo/refs/remotes"_s);
    const std::optional<QStringList> names = fs::listDirectory(remotes);
    if (!names)
        return {};
    for (const QString& name : *names)
        if (isRemoteName(name) &&
            fs::entryType(fs::appending(fs::appending(remotes, name), ref)) == fs::EntryType::file)
            return name;
    return {};
}

ApplicationRemoval flatpak(const AppBundle& app, const QString& installation, bool user) {
    const QString id = LinuxApps::flatpakId(app.package);
    const QString folder = id.isEmpty() ? QString() : fs::appending(installation, u"app/"_s + id);
    if (folder.isEmpty() || !fs::isRealDirectory(folder)) // only its entry is left
        return {.way = user ? ApplicationRemoval::Way::trash : ApplicationRemoval::Way::elsewhere,
                .item = app.url};
    const QString scope = user ? u"--user"_s : u"--system"_s;
    const QString origin = flatpakOrigin(installation, app.package);
    QStringList install{u"flatpak"_s, u"install"_s, scope};
    if (!origin.isEmpty())
        install.append(origin);
    install.append(id);
    return {.way = ApplicationRemoval::Way::tool,
            .item = folder,
            .program = u"flatpak"_s,
            .arguments = {u"uninstall"_s, u"--noninteractive"_s, scope, id},
            .toolName = u"Flatpak"_s,
            .reinstall = install.join(u' ')};
}

ApplicationRemoval snap(const AppBundle& app, const LinuxRoots& roots) {
    if (!LinuxApps::isSnapInstanceName(app.package))
        return {.way = ApplicationRemoval::Way::elsewhere, .item = app.url};
    const QString mount = fs::appending(roots.snapMounts, app.package);
    return {.way = ApplicationRemoval::Way::tool,
            .item = fs::isRealDirectory(mount) ? mount : app.url,
            .program = u"snap"_s,
            .arguments = {u"remove"_s, app.package},
            .toolName = u"Snap"_s,
            .reinstall = u"snap install "_s + app.package};
}

} // namespace

ApplicationRemoval of(const AppBundle& app, const LinuxRoots& roots) {
    // What lies in the user's own applications folder is the user's.
    if (app.source != AppSource::flatpakUser &&
        fs::parentPath(app.url) == fs::appending(roots.dataHome, u"applications"_s))
        return {.item = app.url};
    switch (app.source) {
    case AppSource::flatpakUser:
        return flatpak(app, roots.flatpakUser(), true);
    case AppSource::flatpakSystem:
        return flatpak(app, roots.flatpakSystem, false);
    case AppSource::snap:
        return snap(app, roots);
    case AppSource::debianPackage:
        return {.way = ApplicationRemoval::Way::elsewhere,
                .item = app.url,
                .command = app.package.isEmpty() ? QString() : u"sudo apt remove "_s + app.package};
    case AppSource::systemEntry:
        return {.way = ApplicationRemoval::Way::elsewhere, .item = app.url};
    case AppSource::bundle:
    case AppSource::appImage:
    case AppSource::localEntry:
        break;
    }
    return {.item = app.url};
}

QString flatpakOrigin(const QString& installation, const QString& ref) {
    if (LinuxApps::flatpakId(ref).isEmpty())
        return {};
    const bool whole = ref.count(u'/') == 3; // the branch is known
    const QString deployed = whole ? ref : ref + u"/current"_s;
    const QString origin = originFromDeployment(fs::appending(installation, deployed));
    return origin.isEmpty() && whole ? originFromRemoteRefs(installation, ref) : origin;
}

QString toolNote(const ApplicationRemoval& removal) {
    if (removal.way != ApplicationRemoval::Way::tool)
        return {};
    return u"удаляется через "_s + removal.toolName + u" — из Корзины не вернуть"_s;
}

} // namespace moss::PackageRemoval
