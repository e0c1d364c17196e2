#include "LinuxApps.h"

#include "DesktopEntry.h"
#include "Matcher.h"
#include "platform/Collation.h"
#include "platform/DebianPackages.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace moss::LinuxApps {

using namespace Qt::StringLiterals;

namespace {

const QByteArrayView mainGroup = DesktopEntry::mainGroup;
constexpr int maxSubfolderDepth = 3;
constexpr qint64 maxMetadataSize = 1024 * 1024;

// A desktop entry found in an application folder, with its ID.
struct Found {
    QString path;
    QString id;
    QString folder; // the application folder it was found in
};

// Where a desktop entry came from, as far as its place and keys tell.
struct Origin {
    AppSource source = AppSource::localEntry;
    QString flatpakInstallation; // for Flatpaks
    QString flatpakId;
    QString snapInstance; // for Snaps
};

QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

bool isAtOrBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
}

bool isExecutableFile(const QString& path) {
    struct stat st {};
    const QByteArray encoded = fs::encodePath(path);
    return ::stat(encoded.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(encoded.constData(), X_OK) == 0;
}

// A TryExec program: an absolute path, else looked up in $PATH.
bool programExists(const QString& program, const LinuxRoots& roots) {
    if (program.startsWith(u'/'))
        return isExecutableFile(program);
    return std::any_of(
        roots.executablePath.cbegin(), roots.executablePath.cend(),
        [&](const QString& dir) { return isExecutableFile(fs::appending(dir, program)); });
}

// The entries below an application folder, sorted in each folder; an ID
// already taken is passed over.
void collect(const QString& root, const QString& folder, const QString& prefix, int depth,
             QSet<QString>& taken, QList<Found>& found) {
    std::optional<QStringList> names = fs::listDirectory(folder);
    if (!names)
        return;
    names->sort();
    for (const QString& name : std::as_const(*names)) {
        const QString path = fs::appending(folder, name);
        if (name.endsWith(u".desktop")) {
            const QString id = prefix + name;
            if (taken.contains(id) || fs::isDirectory(path))
                continue;
            taken.insert(id);
            found.append(Found{path, id, root});
        } else if (depth < maxSubfolderDepth && fs::isRealDirectory(path)) {
            collect(root, path, prefix + name + u'-', depth + 1, taken, found);
        }
    }
}

bool isApplication(const DesktopEntry& entry) {
    return entry.string(mainGroup, "Type").value_or(QString()).trimmed() == u"Application";
}

// Hidden=true: the entry is deleted.
bool isHidden(const DesktopEntry& entry) {
    return entry.boolean(mainGroup, "Hidden").value_or(false);
}

bool isShown(const DesktopEntry& entry, const LinuxRoots& roots) {
    if (isHidden(entry) || entry.boolean(mainGroup, "NoDisplay").value_or(false))
        return false;
    const QString tryExec = entry.string(mainGroup, "TryExec").value_or(QString()).trimmed();
    return tryExec.isEmpty() || programExists(tryExec, roots);
}

// The Flatpak installation whose exports hold the folder: INSTALLATION in
// INSTALLATION/exports/share/applications.
std::optional<QString> flatpakInstallationOf(const QString& folder) {
    const QString exports = u"/exports/share/applications"_s;
    if (!folder.endsWith(exports) || !folder.chopped(exports.size()).endsWith(u"/flatpak"))
        return std::nullopt;
    return folder.chopped(exports.size());
}

// The application that "flatpak run [OPTIONS] ID" runs; empty for other
// command lines.
QString flatpakRunId(const QStringList& arguments) {
    const auto flatpak = std::find_if(arguments.cbegin(), arguments.cend(),
                                      [](const QString& a) { return fileName(a) == u"flatpak"; });
    if (flatpak == arguments.cend() || flatpak + 1 == arguments.cend() || flatpak[1] != u"run")
        return {};
    const auto id = std::find_if(flatpak + 2, arguments.cend(),
                                 [](const QString& a) { return !a.startsWith(u'-'); });
    return id != arguments.cend() && isIdentifier(*id) ? *id : QString();
}

// The Snap of a program in /snap/bin (SNAP or SNAP.APP); empty for others.
QString snapOfProgram(const QString& program) {
    static const QString snapBin = u"/snap/bin/"_s;
    if (!program.startsWith(snapBin) || program.size() == snapBin.size())
        return {};
    const QString command = program.mid(snapBin.size());
    return command.left(command.indexOf(u'.'));
}

// Where snapd exports the entries of Snaps: its own folder, or one of the
// same shape named in $XDG_DATA_DIRS.
bool isSnapExports(const QString& folder, const LinuxRoots& roots) {
    return folder == fs::appending(roots.snapDesktop, u"applications"_s) ||
           folder.endsWith(u"/snapd/desktop/applications"_s);
}

Origin originOf(const QString& path, const QString& folder, const QString& id,
                const DesktopEntry& entry, const LinuxRoots& roots) {
    Origin origin;
    const std::optional<QStringList> arguments = entry.commandLine(path);
    QString flatpakKey = entry.string(mainGroup, "X-Flatpak").value_or(QString());
    if (flatpakKey.isEmpty() && arguments)
        flatpakKey = flatpakRunId(*arguments);
    QString snapKey = entry.string(mainGroup, "X-SnapInstanceName").value_or(QString());
    if (snapKey.isEmpty() && arguments)
        snapKey = snapOfProgram(launchedProgram(*arguments).value_or(QString()));
    if (const auto installation = flatpakInstallationOf(folder)) {
        origin.flatpakInstallation = *installation;
        origin.flatpakId = flatpakKey.isEmpty() ? fs::deletingExtension(id) : flatpakKey;
        const bool user = *installation == roots.flatpakUser() ||
                          (*installation != roots.flatpakSystem && isAtOrBelow(path, roots.home));
        origin.source = user ? AppSource::flatpakUser : AppSource::flatpakSystem;
        return origin;
    }
    if (isSnapExports(folder, roots)) {
        origin.source = AppSource::snap;
        origin.snapInstance = snapKey.isEmpty() ? id.left(id.indexOf(u'_')) : snapKey;
        return origin;
    }
    // Otherwise the user's own, or a system entry that a package may own: an
    // entry of a system data folder is a system one wherever that folder is.
    const bool own = folder.isEmpty() ? isAtOrBelow(path, roots.home)
                                      : folder == fs::appending(roots.dataHome, u"applications"_s);
    // A copy of a Flatpak's entry elsewhere is the Flatpak's, of the
    // installation that holds it, else of the user's when the copy is.
    if (!flatpakKey.isEmpty() && !flatpakKey.contains(u'/')) {
        origin.flatpakId = flatpakKey;
        origin.source = own ? AppSource::flatpakUser : AppSource::flatpakSystem;
        for (const auto& [installation, source] :
             {std::pair(roots.flatpakUser(), AppSource::flatpakUser),
              std::pair(roots.flatpakSystem, AppSource::flatpakSystem)}) {
            if (fs::isDirectory(installation + u"/app/"_s + flatpakKey)) {
                origin.source = source;
                origin.flatpakInstallation = installation;
                return origin;
            }
        }
        return origin;
    }
    // Only snapd writes X-SnapInstanceName: a copy of its entry is the Snap's.
    if (!snapKey.isEmpty() && !snapKey.contains(u'/')) {
        origin.source = AppSource::snap;
        origin.snapInstance = snapKey;
        return origin;
    }
    origin.source = own ? AppSource::localEntry : AppSource::systemEntry;
    return origin;
}

// The version of the latest release in a Flatpak's AppStream metadata.
std::optional<QString> flatpakVersion(const QString& deploy, const QString& flatpakId) {
    for (const QString& relative : {u"files/share/metainfo/"_s + flatpakId + u".metainfo.xml"_s,
                                    u"files/share/metainfo/"_s + flatpakId + u".appdata.xml"_s,
                                    u"files/share/appdata/"_s + flatpakId + u".appdata.xml"_s}) {
        const std::optional<QByteArray> data =
            fs::readFile(fs::appending(deploy, relative), maxMetadataSize);
        if (!data)
            continue;
        QXmlStreamReader xml(*data);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"release")
                continue;
            const QStringView version = xml.attributes().value(u"version"_s);
            if (!version.isEmpty())
                return version.toString();
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// The version line of a Snap's meta/snap.yaml.
std::optional<QString> snapVersion(const QString& mount) {
    const std::optional<QByteArray> data =
        fs::readFile(fs::appending(mount, u"current/meta/snap.yaml"_s), maxMetadataSize);
    if (!data)
        return std::nullopt;
    for (const QString& line : QString::fromUtf8(*data).split(u'\n')) {
        if (!line.startsWith(u"version:"))
            continue;
        QString version = line.mid(8).trimmed();
        if (version.size() >= 2 && (version.front() == u'\'' || version.front() == u'"') &&
            version.back() == version.front())
            version = version.mid(1, version.size() - 2);
        return version.isEmpty() ? std::nullopt : std::optional(version);
    }
    return std::nullopt;
}

void applyFlatpak(AppBundle& app, const Origin& origin) {
    app.package = u"app/"_s + origin.flatpakId;
    if (origin.flatpakInstallation.isEmpty())
        return; // a copy of its entry, the Flatpak not found
    const QString appFolder = origin.flatpakInstallation + u"/app/"_s + origin.flatpakId;
    const std::optional<QString> branch = fs::symlinkTarget(appFolder + u"/current"_s);
    if (branch && !branch->startsWith(u'/'))
        app.package += u'/' + *branch;
    app.version = flatpakVersion(appFolder + u"/current/active"_s, origin.flatpakId);
}

// The name key of a program: its file name, or the name of an AppImage.
QString programName(const QString& program) {
    const QString name = fileName(program);
    if (name.endsWith(u".appimage"_s, Qt::CaseInsensitive))
        return appImageName(name).first;
    // A launcher script or binary is named after the application with the
    // kind of file it is: foo.sh, foo.bin, foo.x86_64.
    static const QStringList kinds = {u"sh"_s,  u"bash"_s, u"py"_s,     u"pl"_s, u"rb"_s,
                                      u"bin"_s, u"run"_s,  u"x86_64"_s, u"x86"_s};
    const QString stem = fs::deletingExtension(name);
    return !stem.isEmpty() && kinds.contains(fs::pathExtension(name).toLower()) ? stem : name;
}

// A program named with its release channel or its kind (firefox-esr,
// google-chrome-stable, transmission-gtk, kdeconnect-app): the name before
// it; empty when there is none.
QString withoutChannel(const QString& program) {
    static const QStringList channels = {
        u"-esr"_s, u"-stable"_s,  u"-beta"_s,     u"-dev"_s,      u"-nightly"_s, u"-unstable"_s,
        u"-bin"_s, u"-git"_s,     u"-snapshot"_s, u"-app"_s,      u"-gtk"_s,     u"-qt"_s,
        u"-gui"_s, u"-desktop"_s, u"-client"_s,   u"-launcher"_s, u"-wrapper"_s};
    for (const QString& channel : channels) {
        if (program.size() > channel.size() && program.endsWith(channel, Qt::CaseInsensitive))
            return program.chopped(channel.size());
    }
    return {};
}

// A name that ends in words saying what the application is ("Minecraft
// Launcher", "Brave Web Browser", "mpv Media Player"): the name before
// them; empty when there are none or nothing is left.
QString withoutDescriptors(const QString& name) {
    static const QSet<QString> descriptors = {
        u"launcher"_s, u"browser"_s,   u"web"_s,          u"player"_s,    u"media"_s,
        u"editor"_s,   u"text"_s,      u"viewer"_s,       u"manager"_s,   u"file"_s,
        u"files"_s,    u"client"_s,    u"desktop"_s,      u"app"_s,       u"application"_s,
        u"ide"_s,      u"community"_s, u"edition"_s,      u"messenger"_s, u"internet"_s,
        u"reader"_s,   u"terminal"_s,  u"emulator"_s,     u"tool"_s,      u"tools"_s,
        u"utility"_s,  u"suite"_s,     u"for"_s,          u"linux"_s,     u"music"_s,
        u"video"_s,    u"image"_s,     u"photo"_s,        u"document"_s,  u"documents"_s,
        u"mail"_s,     u"email"_s,     u"chat"_s,         u"free"_s,      u"open"_s,
        u"source"_s,   u"oss"_s,       u"professional"_s, u"preview"_s};
    QStringList words = name.split(u' ', Qt::SkipEmptyParts);
    const qsizetype all = words.size();
    const auto isDescriptor = [](const QString& word) {
        return descriptors.contains(word.toLower()) ||
               std::none_of(word.cbegin(), word.cend(),
                            [](QChar c) { return c.isLetterOrNumber(); });
    };
    while (!words.isEmpty() && isDescriptor(words.last()))
        words.removeLast();
    return words.size() == all ? QString() : words.join(u' ');
}

// An Icon that names the application the way it names its files (vscode,
// gimp); not a path, an identifier or one of the theme's shared names
// (utilities-terminal, accessories-calculator).
QString iconName(const QString& icon) {
    static const QStringList shared = {
        u"accessories-"_s, u"applications-"_s, u"preferences-"_s, u"system-"_s,  u"utilities-"_s,
        u"text-"_s,        u"image-"_s,        u"audio-"_s,       u"video-"_s,   u"multimedia-"_s,
        u"internet-"_s,    u"office-"_s,       u"help-"_s,        u"emblem-"_s,  u"folder"_s,
        u"user-"_s,        u"network-"_s,      u"input-"_s,       u"media-"_s,   u"document-"_s,
        u"edit-"_s,        u"mail-"_s,         u"camera-"_s,      u"computer"_s, u"drive-"_s,
        u"printer"_s,      u"web-"_s,          u"x-office-"_s};
    if (icon.isEmpty() || icon.contains(u'/') || isIdentifier(icon) ||
        std::any_of(shared.cbegin(), shared.cend(),
                    [&icon](const QString& prefix) { return icon.startsWith(prefix); }))
        return {};
    return icon;
}

QStringList sortedIdentifiers(QStringList identifiers) {
    identifiers.removeDuplicates();
    std::sort(identifiers.begin(), identifiers.end(),
              [](const QString& a, const QString& b) { return a.toUcs4() < b.toUcs4(); });
    return identifiers;
}

AppBundle entryRecord(const Found& found, const DesktopEntry& entry, const Origin& origin,
                      const LinuxRoots& roots) {
    AppBundle app;
    app.url = found.path;
    app.kind = BundleKind::Application;
    app.source = origin.source;
    app.icon = entry.string(mainGroup, "Icon").value_or(QString());

    const QString id = fs::deletingExtension(found.id);
    const bool idIsIdentifier = isIdentifier(id);
    if (idIsIdentifier)
        app.bundleIdentifier = id;

    QStringList names;
    const QString name = entry.string(mainGroup, "Name").value_or(QString());
    names << name << withoutDescriptors(name);
    if (!idIsIdentifier && origin.source != AppSource::snap)
        names.append(id); // a Snap's ID is INSTANCE_APP; its name comes below
    if (const auto arguments = entry.commandLine(found.path)) {
        const QString program = programName(launchedProgram(*arguments).value_or(QString()));
        names << program << withoutChannel(program);
    }
    if (!origin.snapInstance.isEmpty())
        names.append(origin.snapInstance.left(origin.snapInstance.indexOf(u'_')));

    QStringList others;
    for (const QByteArrayView key : {"X-Flatpak", "X-SnapInstanceName", "StartupWMClass"}) {
        const QString value = entry.string(mainGroup, key).value_or(QString()).trimmed();
        if (isIdentifier(value)) {
            if (value != app.bundleIdentifier)
                others.append(value);
        } else if (key == "StartupWMClass") {
            names.append(value);
        }
    }
    names.append(iconName(app.icon));
    app.names = Matcher::uniqueNames(names);
    app.nestedIdentifiers = sortedIdentifiers(others);

    const QString displayName = entry.localeString(mainGroup, "Name").value_or(QString());
    app.displayName = !displayName.isEmpty() ? displayName : !name.isEmpty() ? name : id;

    if (origin.source == AppSource::flatpakUser || origin.source == AppSource::flatpakSystem) {
        applyFlatpak(app, origin);
    } else if (origin.source == AppSource::snap) {
        app.package = origin.snapInstance;
        app.version = snapVersion(fs::appending(roots.snapMounts, origin.snapInstance));
    }
    return app;
}

// Entries in system folders that no other source claims: those a Debian
// package installed, with its name and version.
void applyDebianPackages(QList<AppBundle>& apps, const LinuxRoots& roots) {
    QStringList paths;
    for (const AppBundle& app : std::as_const(apps)) {
        if (app.source == AppSource::systemEntry)
            paths.append(app.url);
    }
    if (paths.isEmpty())
        return;
    const QHash<QString, dpkg::Package> owners = dpkg::owners(paths, roots.dpkgDatabase);
    for (AppBundle& app : apps) {
        const auto owner = owners.constFind(app.url);
        if (app.source != AppSource::systemEntry || owner == owners.cend())
            continue;
        app.source = AppSource::debianPackage;
        app.package = owner->name;
        if (!owner->version.isEmpty())
            app.version = owner->version;
    }
}

AppBundle appImageRecord(const QString& path) {
    const auto [name, version] = appImageName(fileName(path));
    AppBundle app;
    app.url = path;
    app.kind = BundleKind::Application;
    app.source = AppSource::appImage;
    app.names = Matcher::uniqueNames({name});
    app.displayName = name;
    app.version = version;
    return app;
}

QList<AppBundle> appImages(const LinuxRoots& roots) {
    QList<AppBundle> apps;
    for (const QString& folder : roots.appImageFolders()) {
        for (const QString& name : fs::listDirectory(folder, false).value_or(QStringList())) {
            const QString path = fs::appending(folder, name);
            if (fs::entryType(path) == fs::EntryType::file && isExecutableFile(path) &&
                isAppImage(path))
                apps.append(appImageRecord(path));
        }
    }
    return apps;
}

bool isVersionToken(QStringView token) {
    if (!token.isEmpty() && (token.front() == u'v' || token.front() == u'V'))
        token = token.sliced(1);
    return !token.isEmpty() && token.front().isDigit();
}

bool isArchitectureToken(QStringView token) {
    static const QSet<QString> words = {
        u"x86_64"_s,  u"x86-64"_s, u"amd64"_s, u"x64"_s,    u"x86"_s,   u"i386"_s,    u"i686"_s,
        u"aarch64"_s, u"arm64"_s,  u"armhf"_s, u"armv7l"_s, u"linux"_s, u"linux64"_s, u"linux32"_s};
    return words.contains(token.toString().toLower());
}

} // namespace

QString desktopFileId(const QString& relativePath) {
    QString id = relativePath;
    return id.replace(u'/', u'-');
}

bool isIdentifier(const QString& text) {
    if (text.contains(u'/') ||
        std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); }))
        return false;
    return text.split(u'.', Qt::SkipEmptyParts).size() >= 2;
}

QString flatpakId(const QString& package) {
    const QStringList parts = package.split(u'/');
    if ((parts.size() != 4 && parts.size() != 2) || parts[0] != u"app" ||
        parts.contains(QString()) || parts.contains(u".."_s) || parts.contains(u"."_s))
        return {};
    return parts[1];
}

bool isSnapInstanceName(const QString& name) {
    static const QRegularExpression instance(u"^[a-z0-9][a-z0-9-]*(_[a-z0-9]{1,10})?$"_s);
    return name.size() <= 64 && instance.match(name).hasMatch();
}

bool isAppImage(const QString& path) {
    if (fs::entryType(fs::resolvingSymlinks(path)) != fs::EntryType::file)
        return false;
    const std::optional<QByteArray> head = fs::readFileRange(path, 0, 11);
    return head &&
           head->startsWith("\x7F"
                            "ELF") &&
           head->mid(8, 2) == "AI" && (head->at(10) == 1 || head->at(10) == 2);
}

std::pair<QString, std::optional<QString>> appImageName(const QString& fileName) {
    QString stem = fileName;
    if (stem.endsWith(u".appimage"_s, Qt::CaseInsensitive))
        stem.chop(9);
    // Tokens between "-", "_" and blanks; "x86_64" is one token.
    static const QRegularExpression token(u"(?i)x86[_-]64|[^-_ ]+"_s);
    qsizetype nameEnd = stem.size();
    std::optional<QString> version;
    bool first = true;
    for (auto it = token.globalMatch(stem); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QStringView word = match.capturedView();
        const bool isVersion = isVersionToken(word);
        if (!first && nameEnd == stem.size() && (isVersion || isArchitectureToken(word)))
            nameEnd = match.capturedStart();
        if (!first && isVersion && !version)
            version = (word.front().isDigit() ? word : word.sliced(1)).toString();
        first = false;
    }
    QString name = stem.left(nameEnd);
    while (!name.isEmpty() && QStringView(u"-_ ").contains(name.back()))
        name.chop(1);
    if (name.isEmpty())
        name = stem.isEmpty() ? fileName : stem;
    return {name, version};
}

std::optional<QString> launchedProgram(const QStringList& arguments) {
    // Programs that run the program named after their options.
    static const QSet<QString> wrappers = {
        u"env"_s,       u"nice"_s,      u"ionice"_s,      u"nohup"_s,    u"setsid"_s,
        u"stdbuf"_s,    u"taskset"_s,   u"torsocks"_s,    u"firejail"_s, u"optirun"_s,
        u"primusrun"_s, u"prime-run"_s, u"gamemoderun"_s, u"pkexec"_s,   u"sudo"_s};
    // Interpreters and launchers of other applications.
    static const QSet<QString> launchers = {
        u"sh"_s,       u"bash"_s,         u"dash"_s,
        u"zsh"_s,      u"ksh"_s,          u"fish"_s,
        u"python"_s,   u"python2"_s,      u"python3"_s,
        u"perl"_s,     u"ruby"_s,         u"node"_s,
        u"nodejs"_s,   u"java"_s,         u"mono"_s,
        u"wine"_s,     u"wine64"_s,       u"gjs"_s,
        u"flatpak"_s,  u"snap"_s,         u"bwrap"_s,
        u"xdg-open"_s, u"gtk-launch"_s,   u"gio"_s,
        u"exo-open"_s, u"kioclient"_s,    u"kioclient5"_s,
        u"kde-open"_s, u"kde-open5"_s,    u"appimage-run"_s,
        u"steam"_s,    u"gapplication"_s, u"x-terminal-emulator"_s};
    static const QRegularExpression versionedInterpreter(u"^(python|perl|ruby)[\\d.]+$"_s);
    // Options of the wrappers that take the next argument as their value.
    static const QSet<QString> valueOptions = {u"-u"_s, u"-C"_s, u"-n"_s, u"-c"_s, u"-p"_s};
    const auto isWrapperArgument = [](const QString& argument) {
        return argument.startsWith(u'-') || argument.contains(u'=') ||
               (!argument.isEmpty() && std::all_of(argument.cbegin(), argument.cend(),
                                                   [](QChar c) { return c.isDigit(); }));
    };
    qsizetype i = 0;
    while (i < arguments.size() && wrappers.contains(fileName(arguments[i]))) {
        for (++i; i < arguments.size() && isWrapperArgument(arguments[i]); ++i) {
            if (valueOptions.contains(arguments[i]))
                ++i;
        }
    }
    if (i >= arguments.size())
        return std::nullopt;
    const QString name = fileName(arguments[i]);
    if (name.isEmpty() || launchers.contains(name) || versionedInterpreter.match(name).hasMatch())
        return std::nullopt;
    return arguments[i];
}

namespace {

QList<AppBundle> applications(const LinuxRoots& roots, bool shownOnly) {
    QSet<QString> taken;
    QList<Found> found;
    for (const QString& folder : roots.applicationFolders())
        collect(folder, folder, QString(), 0, taken, found);

    QList<AppBundle> apps;
    for (const Found& candidate : std::as_const(found)) {
        const std::optional<DesktopEntry> entry = DesktopEntry::read(candidate.path);
        if (!entry || !isApplication(*entry) ||
            (shownOnly ? !isShown(*entry, roots) : isHidden(*entry)))
            continue;
        const Origin origin =
            originOf(candidate.path, candidate.folder, candidate.id, *entry, roots);
        apps.append(entryRecord(candidate, *entry, origin, roots));
    }
    applyDebianPackages(apps, roots);
    apps += appImages(roots);
    std::stable_sort(apps.begin(), apps.end(), [](const AppBundle& a, const AppBundle& b) {
        return localizedCaseInsensitiveCompare(a.displayName, b.displayName) < 0;
    });
    return apps;
}

} // namespace

QList<AppBundle> catalogue(const LinuxRoots& roots) {
    return applications(roots, true);
}

QList<AppBundle> installed(const LinuxRoots& roots) {
    return applications(roots, false);
}

QString sectionTitle(AppSource source) {
    switch (source) {
    case AppSource::flatpakUser:
    case AppSource::flatpakSystem:
        return u"Flatpak"_s;
    case AppSource::snap:
        return u"Snap"_s;
    case AppSource::appImage:
        return u"AppImage"_s;
    case AppSource::debianPackage:
        return u"Пакеты Debian"_s;
    case AppSource::localEntry:
        return u"Ярлыки пользователя"_s;
    case AppSource::systemEntry:
        return u"Другие приложения"_s;
    case AppSource::bundle:
        break;
    }
    return {};
}

QList<CatalogSection> sections(const LinuxRoots& roots) {
    return sections(catalogue(roots));
}

QList<CatalogSection> sections(const QList<AppBundle>& apps) {
    static const AppSource order[] = {AppSource::flatpakUser, AppSource::snap,
                                      AppSource::appImage,    AppSource::debianPackage,
                                      AppSource::localEntry,  AppSource::systemEntry};
    QList<CatalogSection> result;
    for (const AppSource source : order) {
        CatalogSection section{sectionTitle(source),
                               source == AppSource::debianPackage || source == AppSource::snap ||
                                   source == AppSource::systemEntry,
                               {}};
        std::copy_if(
            apps.cbegin(), apps.cend(), std::back_inserter(section.bundles),
            [&](const AppBundle& app) { return sectionTitle(app.source) == section.title; });
        if (!section.bundles.isEmpty())
            result.append(std::move(section));
    }
    return result;
}

std::optional<AppBundle> load(const QString& path, const LinuxRoots& roots) {
    std::optional<AppBundle> app = loadWithoutPackage(path, roots);
    if (app && app->source == AppSource::systemEntry) {
        QList<AppBundle> apps{std::move(*app)};
        applyDebianPackages(apps, roots);
        app = std::move(apps.first());
    }
    return app;
}

std::optional<AppBundle> loadWithoutPackage(const QString& path, const LinuxRoots& roots) {
    const QStringList folders = roots.applicationFolders();
    const auto folderOf = [&folders](const QString& file) {
        const auto it = std::find_if(folders.cbegin(), folders.cend(), [&](const QString& folder) {
            return file.startsWith(folder + u'/');
        });
        return it == folders.cend() ? QString() : *it;
    };
    QString file = fs::standardized(path);
    QString folder = folderOf(file);
    if (folder.isEmpty()) {
        file = fs::resolvingSymlinks(file);
        folder = folderOf(file);
    }
    if (!file.endsWith(u".desktop")) {
        const QString target = fs::resolvingSymlinks(file);
        if (isAppImage(target))
            return appImageRecord(target);
        return std::nullopt;
    }
    const std::optional<DesktopEntry> entry = DesktopEntry::read(file);
    if (!entry || !isApplication(*entry))
        return std::nullopt;
    const Found found{
        file, folder.isEmpty() ? fileName(file) : desktopFileId(file.mid(folder.size() + 1)),
        folder};
    return entryRecord(found, *entry, originOf(file, folder, found.id, *entry, roots), roots);
}

QString programFile(const AppBundle& app, const LinuxRoots& roots) {
    QString program;
    if (app.source == AppSource::appImage) {
        program = app.url;
    } else if (app.source != AppSource::bundle) {
        const std::optional<DesktopEntry> entry = DesktopEntry::read(app.url);
        const std::optional<QStringList> arguments =
            entry ? entry->commandLine(app.url) : std::nullopt;
        program = arguments ? launchedProgram(*arguments).value_or(QString()) : QString();
    }
    if (!program.isEmpty() && !program.contains(u'/')) {
        const auto folder = std::find_if(
            roots.executablePath.cbegin(), roots.executablePath.cend(),
            [&](const QString& dir) { return isExecutableFile(fs::appending(dir, program)); });
        program =
            folder == roots.executablePath.cend() ? QString() : fs::appending(*folder, program);
    }
    if (!program.startsWith(u'/') || !isExecutableFile(program))
        return {};
    const QString file = fs::resolvingSymlinks(program);
    return app.source == AppSource::appImage || launchedProgram({file}) ? file : QString();
}

LinuxLocations::MentionKeys mentionKeys(const AppBundle& app) {
    LinuxLocations::MentionKeys keys;
    keys.identifiers = app.allIdentifiers();
    if (app.source == AppSource::appImage) {
        keys.programs.append(app.url);
        return keys;
    }
    const std::optional<DesktopEntry> entry = DesktopEntry::read(app.url);
    if (!entry)
        return keys;
    if (const auto arguments = entry->commandLine(app.url)) {
        if (const auto program = launchedProgram(*arguments))
            keys.programs.append(*program);
    }
    if (const auto tryExec = entry->string(mainGroup, "TryExec"); tryExec && !tryExec->isEmpty())
        keys.programs.append(*tryExec);
    return keys;
}

QStringList snapNames(const AppBundle& app) {
    QStringList names;
    if (app.source == AppSource::snap && !app.package.isEmpty())
        names.append(app.package);
    if (app.source == AppSource::appImage)
        return names;
    if (const std::optional<DesktopEntry> entry = DesktopEntry::read(app.url)) {
        const QString instance =
            entry->string(mainGroup, "X-SnapInstanceName").value_or(QString()).trimmed();
        if (!instance.isEmpty() && !instance.contains(u'/'))
            names.append(instance);
        if (const std::optional<QStringList> arguments = entry->commandLine(app.url))
            names.append(snapOfProgram(launchedProgram(*arguments).value_or(QString())));
    }
    names.removeDuplicates();
    names.removeAll(QString());
    return names;
}

QString iconFile(const QString& icon, const LinuxRoots& roots) {
    if (icon.startsWith(u'/'))
        return fs::entryType(fs::resolvingSymlinks(icon)) == fs::EntryType::file ? icon : QString();
    if (icon.isEmpty() || icon.contains(u'/') || icon == u"." || icon == u"..")
        return {};
    QStringList bases{roots.dataHome};
    bases += roots.dataDirs;
    bases << fs::appending(roots.flatpakUser(), u"exports/share"_s)
          << fs::appending(roots.flatpakSystem, u"exports/share"_s);
    static const QStringList sizes = {u"scalable"_s, u"512x512"_s, u"256x256"_s, u"192x192"_s,
                                      u"128x128"_s,  u"96x96"_s,   u"64x64"_s,   u"48x48"_s,
                                      u"32x32"_s,    u"24x24"_s,   u"22x22"_s,   u"16x16"_s};
    const auto firstFile = [&icon](const QString& folder) -> QString {
        QStringList names;
        for (const QString& extension : {u".svg"_s, u".png"_s, u".xpm"_s})
            names.append(icon + extension);
        names.append(icon); // Icon=foo.png, as some entries write it
        for (const QString& name : std::as_const(names)) {
            const QString path = fs::appending(folder, name);
            if (fs::entryType(fs::resolvingSymlinks(path)) == fs::EntryType::file)
                return path;
        }
        return {};
    };
    for (const QString& size : sizes) {
        for (const QString& base : std::as_const(bases)) {
            if (QString file = firstFile(base + u"/icons/hicolor/"_s + size + u"/apps"_s);
                !file.isEmpty())
                return file;
        }
    }
    for (const QString& base : std::as_const(bases)) {
        if (QString file = firstFile(fs::appending(base, u"pixmaps"_s)); !file.isEmpty())
            return file;
    }
    return {};
}

} // namespace moss::LinuxApps
