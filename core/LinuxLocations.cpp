#include "LinuxLocations.h"

#include "DesktopEntry.h"
#include "LinuxApps.h"
#include "platform/FileSystem.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>

namespace moss {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 maxMentionFileSize = 1024 * 1024;

// An absolute folder from the environment, else the default below home.
QString baseFolder(const char* variable, const QString& home, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return value.startsWith(u'/') ? fs::standardized(value) : fs::appending(home, fallback);
}

// The absolute folders of a colon-separated list, in order, each once.
QStringList folderList(const QString& list, const QStringList& fallback) {
    QStringList folders;
    for (const QString& folder : list.split(u':', Qt::SkipEmptyParts)) {
        const QString standardized = fs::standardized(folder);
        if (folder.startsWith(u'/') && !folders.contains(standardized))
            folders.append(standardized);
    }
    return folders.isEmpty() ? fallback : folders;
}

bool isAtOrBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
}

QString fileName(const QString& program) {
    return program.mid(program.lastIndexOf(u'/') + 1);
}

bool isIdentifierOf(const QString& text, const LinuxLocations::MentionKeys& keys) {
    return std::any_of(keys.identifiers.cbegin(), keys.identifiers.cend(), [&](const QString& id) {
        return id.compare(text, Qt::CaseInsensitive) == 0;
    });
}

using Mention = LinuxLocations::Mention;

// The program of a command line, or an argument that is an identifier.
std::optional<Mention> commandMention(const QStringList& arguments,
                                      const LinuxLocations::MentionKeys& keys) {
    const std::optional<QString> program = LinuxApps::launchedProgram(arguments);
    if (program && LinuxLocations::isProgramOf(*program, keys))
        return Mention{Mention::Kind::program, *program};
    const auto identifier =
        std::find_if(arguments.cbegin(), arguments.cend(),
                     [&](const QString& argument) { return isIdentifierOf(argument, keys); });
    if (identifier == arguments.cend())
        return std::nullopt;
    return Mention{Mention::Kind::identifier, *identifier};
}

// The words of a systemd command line: blanks separate them, single and
// double quotes group them, a backslash keeps the next character; "%h" is
// the home folder and "%%" a percent sign.
QStringList unitCommandWords(QStringView command, const QString& home) {
    QStringList words;
    QString current;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == u'\\' && i + 1 < command.size()) {
            current += command[++i];
            inWord = true;
        } else if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                current += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            inWord = true;
        } else if (c == u' ' || c == u'\t') {
            if (inWord)
                words.append(std::exchange(current, QString()));
            inWord = false;
        } else if (c == u'%' && i + 1 < command.size() &&
                   (command[i + 1] == u'h' || command[i + 1] == u'%')) {
            current += command[++i] == u'h' ? home : u"%"_s;
            inWord = true;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(current);
    return words;
}

// The logical lines of a unit file: a line ending in a backslash goes on in
// the next one; comment lines are left out.
QStringList unitLines(const QByteArray& unit) {
    QStringList lines;
    QString pending;
    for (const QString& raw : fs::decodePath(unit).split(u'\n')) {
        const QString line = raw.trimmed();
        if (pending.isEmpty() && (line.startsWith(u'#') || line.startsWith(u';')))
            continue;
        if (line.endsWith(u'\\')) {
            pending += line.chopped(1) + u' ';
            continue;
        }
        lines.append(pending + line);
        pending.clear();
    }
    if (!pending.isEmpty())
        lines.append(pending);
    return lines;
}

const QStringList& unitExecKeys() {
    static const QStringList keys = {
        u"ExecStart"_s,  u"ExecStartPre"_s, u"ExecStartPost"_s, u"ExecCondition"_s,
        u"ExecReload"_s, u"ExecStop"_s,     u"ExecStopPost"_s,
    };
    return keys;
}

} // namespace

// ---------------------------------------------------------------------------
// Roots

LinuxRoots LinuxRoots::live() {
    LinuxRoots roots;
    roots.home = fs::homePath();
    roots.configHome = baseFolder("XDG_CONFIG_HOME", roots.home, u".config"_s);
    roots.dataHome = baseFolder("XDG_DATA_HOME", roots.home, u".local/share"_s);
    roots.stateHome = baseFolder("XDG_STATE_HOME", roots.home, u".local/state"_s);
    roots.cacheHome = baseFolder("XDG_CACHE_HOME", roots.home, u".cache"_s);
    roots.dataDirs =
        folderList(qEnvironmentVariable("XDG_DATA_DIRS"), {u"/usr/local/share"_s, u"/usr/share"_s});
    roots.executablePath =
        folderList(qEnvironmentVariable("PATH"), {u"/usr/local/bin"_s, u"/usr/bin"_s, u"/bin"_s});
    // The package systems' own variables for their databases, as dpkg and
    // flatpak read them.
    if (const QString admin = qEnvironmentVariable("DPKG_ADMINDIR"); admin.startsWith(u'/'))
        roots.dpkgDatabase = fs::standardized(admin);
    if (const QString system = qEnvironmentVariable("FLATPAK_SYSTEM_DIR"); system.startsWith(u'/'))
        roots.flatpakSystem = fs::standardized(system);
    return roots;
}

QString LinuxRoots::flatpakUser() const {
    return fs::appending(dataHome, u"flatpak"_s);
}

QStringList LinuxRoots::applicationFolders() const {
    QStringList folders{fs::appending(dataHome, u"applications"_s)};
    for (const QString& dir : dataDirs)
        folders.append(fs::appending(dir, u"applications"_s));
    for (const QString& exported : {fs::appending(flatpakUser(), u"exports/share/applications"_s),
                                    fs::appending(flatpakSystem, u"exports/share/applications"_s),
                                    fs::appending(snapDesktop, u"applications"_s)}) {
        if (!folders.contains(exported))
            folders.append(exported);
    }
    return folders;
}

QStringList LinuxRoots::appImageFolders() const {
    return {fs::appending(home, u"Applications"_s), fs::appending(home, u".local/bin"_s),
            fs::appending(home, u"AppImages"_s)};
}

// ---------------------------------------------------------------------------
// The table

namespace LinuxLocations {

const QList<LinuxLocation>& table() {
    using B = LinuxLocation::Base;
    using C = FileCategory;
    using R = LinuxLocation::Rule;
    static const QList<LinuxLocation> rows = [] {
        QList<LinuxLocation> list = {
            {B::configHome, {}, C::preferences, R::idOrName, {}},
            {B::dataHome, {}, C::support, R::idOrName, {}},
            {B::stateHome, {}, C::support, R::idOrName, {}},
            {B::cacheHome, {}, C::caches, R::idOrName, {}},
            {B::home, u".var/app"_s, C::containers, R::idOnly, {}},
            {B::home, u"snap"_s, C::containers, R::snapName, {}},
            {B::home, {}, C::support, R::dotEntry, {}},
            {B::configHome, u"autostart"_s, C::launch, R::autostart, {u"desktop"_s}},
            {B::configHome,
             u"systemd/user"_s,
             C::launch,
             R::userUnit,
             {u"service"_s, u"timer"_s, u"socket"_s}},
            {B::dataHome, u"applications"_s, C::other, R::idOrName, {u"desktop"_s}},
            {B::dataHome,
             u"icons/hicolor/*/apps"_s,
             C::other,
             R::idOrName,
             {u"png"_s, u"svg"_s, u"svgz"_s, u"xpm"_s}},
            {B::dataHome, u"mime/packages"_s, C::other, R::idOrName, {u"xml"_s}},
            {B::home,
             u".mozilla/native-messaging-hosts"_s,
             C::plugins,
             R::nativeMessaging,
             {u"json"_s}},
        };
        for (const QString& browser :
             {u"chromium"_s, u"google-chrome"_s, u"google-chrome-beta"_s,
              u"google-chrome-unstable"_s, u"BraveSoftware/Brave-Browser"_s, u"vivaldi"_s,
              u"microsoft-edge"_s})
            list.append({B::configHome,
                         browser + u"/NativeMessagingHosts"_s,
                         C::plugins,
                         R::nativeMessaging,
                         {u"json"_s}});
        // Makers' folders that hold a folder per application.
        list += {
            {B::home, u".mozilla"_s, C::support, R::idOrName, {}},
            {B::cacheHome, u"mozilla"_s, C::caches, R::idOrName, {}},
            {B::configHome, u"BraveSoftware"_s, C::preferences, R::idOrName, {}},
            {B::cacheHome, u"BraveSoftware"_s, C::caches, R::idOrName, {}},
            {B::dataHome, u"kxmlgui5"_s, C::preferences, R::idOrName, {}},
            {B::configHome, u"Microsoft"_s, C::preferences, R::idOrName, {}},
            {B::configHome, u"QtProject"_s, C::preferences, R::idOrName, {}},
            {B::configHome, u"Google"_s, C::preferences, R::idOrName, {}},
            {B::dataHome, u"Google"_s, C::support, R::idOrName, {}},
            {B::cacheHome, u"Google"_s, C::caches, R::idOrName, {}},
            {B::configHome, u"JetBrains"_s, C::preferences, R::idOrName, {}},
            {B::dataHome, u"JetBrains"_s, C::support, R::idOrName, {}},
            {B::cacheHome, u"JetBrains"_s, C::caches, R::idOrName, {}},
        };
        list.append({B::home, u"Downloads"_s, C::installers, R::installers, {}});
        return list;
    }();
    return rows;
}

QStringList folders(const LinuxLocation& location, const LinuxRoots& roots) {
    QString base;
    switch (location.base) {
    case LinuxLocation::Base::home:
        base = roots.home;
        break;
    case LinuxLocation::Base::configHome:
        base = roots.configHome;
        break;
    case LinuxLocation::Base::dataHome:
        base = roots.dataHome;
        break;
    case LinuxLocation::Base::stateHome:
        base = roots.stateHome;
        break;
    case LinuxLocation::Base::cacheHome:
        base = roots.cacheHome;
        break;
    }
    QStringList result{base};
    for (const QString& component : location.path.split(u'/', Qt::SkipEmptyParts)) {
        QStringList next;
        for (const QString& folder : std::as_const(result)) {
            if (component != u"*") {
                next.append(fs::appending(folder, component));
                continue;
            }
            for (const QString& entry : fs::listDirectory(folder).value_or(QStringList())) {
                const QString path = fs::appending(folder, entry);
                if (fs::isRealDirectory(path))
                    next.append(path);
            }
        }
        result = next;
    }
    return result;
}

std::optional<QString> judgedName(const LinuxLocation& location, const QString& entryName) {
    switch (location.rule) {
    case LinuxLocation::Rule::dotEntry:
        if (entryName.size() < 2 || !entryName.startsWith(u'.'))
            return std::nullopt;
        return entryName.mid(1);
    case LinuxLocation::Rule::installers:
        return installerStem(entryName);
    default:
        break;
    }
    if (location.extensions.isEmpty())
        return entryName;
    const QString extension = fs::pathExtension(entryName).toLower();
    if (!location.extensions.contains(extension))
        return std::nullopt;
    return fs::deletingExtension(entryName);
}

std::optional<QString> installerStem(const QString& fileName) {
    const qsizetype tar = fileName.lastIndexOf(u".tar."_s, -1, Qt::CaseInsensitive);
    if (tar > 0)
        return fileName.left(tar);
    static const QStringList extensions = {u"deb"_s,        u"rpm"_s,  u"appimage"_s,
                                           u"flatpakref"_s, u"snap"_s, u"zip"_s};
    if (!extensions.contains(fs::pathExtension(fileName).toLower()))
        return std::nullopt;
    const QString stem = fs::deletingExtension(fileName);
    return stem.isEmpty() ? std::nullopt : std::optional(stem);
}

QStringList userDirectories(const LinuxRoots& roots) {
    const std::optional<QByteArray> file =
        fs::readFile(fs::appending(roots.configHome, u"user-dirs.dirs"_s), maxMentionFileSize);
    QStringList folders;
    if (!file) {
        for (const QString& name : {u"Desktop"_s, u"Documents"_s, u"Downloads"_s, u"Music"_s,
                                    u"Pictures"_s, u"Public"_s, u"Templates"_s, u"Videos"_s})
            folders.append(fs::appending(roots.home, name));
        return folders;
    }
    // Lines of the form XDG_NAME_DIR="$HOME/Folder" or XDG_NAME_DIR="/absolute".
    for (const QString& raw : fs::decodePath(*file).split(u'\n')) {
        const QString line = raw.trimmed();
        const qsizetype equals = line.indexOf(u'=');
        if (!line.startsWith(u"XDG_"_s) || equals < 0)
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        if (value.startsWith(u"$HOME"_s))
            value = roots.home + value.mid(5);
        if (value.startsWith(u'/'))
            folders.append(fs::standardized(value));
    }
    return folders;
}

NeverOffered::NeverOffered(const LinuxRoots& roots) {
    const QString& home = roots.home;
    const QString& config = roots.configHome;
    const QString& data = roots.dataHome;
    for (const QString& path :
         {home, roots.configHome, roots.dataHome, roots.stateHome, roots.cacheHome})
        paths_.insert(path);
    for (const QString& folder : userDirectories(roots))
        paths_.insert(folder);
    // The home's own folders that hold everyone's files, and shell start-up files.
    for (const QString& name : {u".mozilla/native-messaging-hosts"_s, u".mozilla/extensions"_s,
                                u".mozilla/plugins"_s, u".mozilla/systemextensionsdev"_s})
        paths_.insert(fs::appending(home, name));
    for (const QString& name : {u".local"_s,       u".local/bin"_s,    u".local/lib"_s,
                                u".var"_s,         u".var/app"_s,      u"snap"_s,
                                u".bashrc"_s,      u".bash_profile"_s, u".bash_login"_s,
                                u".bash_logout"_s, u".profile"_s,      u".zshrc"_s,
                                u".zshenv"_s,      u".zprofile"_s,     u".zlogin"_s,
                                u".zlogout"_s,     u".cshrc"_s,        u".tcshrc"_s,
                                u".login"_s,       u".logout"_s,       u".kshrc"_s,
                                u".mkshrc"_s,      u".inputrc"_s,      u".xprofile"_s,
                                u".xsession"_s,    u".xsessionrc"_s,   u".xinitrc"_s,
                                u".Xresources"_s,  u".Xdefaults"_s,    u".pam_environment"_s})
        paths_.insert(fs::appending(home, name));
    // The desktop's own: fonts, themes, toolkits' settings, sessions.
    for (const QString& name :
         {u".fonts"_s, u".icons"_s, u".themes"_s, u".thumbnails"_s, u".gtkrc-2.0"_s,
          u".Xauthority"_s, u".ICEauthority"_s, u".xsession-errors"_s, u".dmrc"_s})
        paths_.insert(fs::appending(home, name));
    for (const QString& name :
         {u"autostart"_s, u"systemd"_s, u"systemd/user"_s, u"mimeapps.list"_s, u"user-dirs.dirs"_s,
          u"user-dirs.locale"_s, u"user-dirs.conf"_s, u"dconf"_s, u"pulse"_s, u"fontconfig"_s,
          u"gtk-2.0"_s, u"gtk-3.0"_s, u"gtk-4.0"_s, u"menus"_s, u"environment.d"_s, u"kdeglobals"_s,
          u"Trolltech.conf"_s})
        paths_.insert(fs::appending(config, name));
    for (const QString& name :
         {u"applications"_s, u"applications/mimeapps.list"_s, u"applications/mimeinfo.cache"_s,
          u"applications/defaults.list"_s, u"icons"_s, u"icons/hicolor"_s, u"mime"_s,
          u"mime/packages"_s, u"Trash"_s, u"flatpak"_s, u"fonts"_s, u"themes"_s, u"sounds"_s,
          u"backgrounds"_s, u"desktop-directories"_s, u"recently-used.xbel"_s, u"gvfs-metadata"_s})
        paths_.insert(fs::appending(data, name));
    for (const QString& name : {u"fontconfig"_s, u"thumbnails"_s})
        paths_.insert(fs::appending(roots.cacheHome, name));
    // Keys and secrets: never anything inside them either.
    sealed_ = {fs::appending(home, u".ssh"_s), fs::appending(home, u".gnupg"_s),
               fs::appending(home, u".pki"_s), fs::appending(data, u"keyrings"_s),
               fs::appending(data, u"kwalletd"_s)};
}

bool NeverOffered::contains(const QString& path) const {
    return paths_.contains(path) ||
           std::any_of(sealed_.cbegin(), sealed_.cend(),
                       [&](const QString& folder) { return isAtOrBelow(path, folder); });
}

// ---------------------------------------------------------------------------
// Mentions

bool isProgramOf(const QString& program, const MentionKeys& keys) {
    if (program.isEmpty())
        return false;
    const bool absolute = program.startsWith(u'/');
    return std::any_of(keys.programs.cbegin(), keys.programs.cend(), [&](const QString& own) {
        if (absolute && own.startsWith(u'/'))
            return fs::standardized(own) == fs::standardized(program);
        return !fileName(own).isEmpty() && fileName(own) == fileName(program);
    });
}

std::optional<Mention> autostartMention(const QByteArray& data, const MentionKeys& keys) {
    const std::optional<DesktopEntry> entry = DesktopEntry::fromData(data);
    if (!entry)
        return std::nullopt;
    const QByteArrayView group = DesktopEntry::mainGroup;
    if (const auto tryExec = entry->string(group, "TryExec");
        tryExec && isProgramOf(*tryExec, keys))
        return Mention{Mention::Kind::program, *tryExec};
    if (const auto flatpak = entry->string(group, "X-Flatpak");
        flatpak && isIdentifierOf(*flatpak, keys))
        return Mention{Mention::Kind::identifier, *flatpak};
    const std::optional<QStringList> arguments = entry->commandLine(QString());
    return arguments ? commandMention(*arguments, keys) : std::nullopt;
}

bool autostartMentions(const QByteArray& data, const MentionKeys& keys) {
    return autostartMention(data, keys).has_value();
}

std::optional<Mention> unitMention(const QByteArray& unit, const MentionKeys& keys,
                                   const QString& home) {
    for (const QString& line : unitLines(unit)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || !unitExecKeys().contains(line.left(equals).trimmed()))
            continue;
        QStringView command = QStringView(line).sliced(equals + 1).trimmed();
        // Prefixes that change how the command runs, not which program.
        while (!command.isEmpty() && QStringView(u"@-:+!").contains(command.front()))
            command = command.sliced(1);
        if (std::optional<Mention> mention = commandMention(unitCommandWords(command, home), keys))
            return mention;
    }
    return std::nullopt;
}

bool unitMentions(const QByteArray& unit, const MentionKeys& keys, const QString& home) {
    return unitMention(unit, keys, home).has_value();
}

std::optional<QString> triggeredUnit(const QString& unitFileName, const QByteArray& unit) {
    const QString extension = fs::pathExtension(unitFileName);
    if (extension != u"timer" && extension != u"socket")
        return std::nullopt;
    for (const QString& line : unitLines(unit)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.left(equals).trimmed() == u"Unit") {
            const QString value = line.mid(equals + 1).trimmed();
            if (!value.isEmpty())
                return value;
        }
    }
    return fs::deletingExtension(unitFileName) + u".service"_s;
}

std::optional<Mention> manifestMention(const QByteArray& manifest, const MentionKeys& keys) {
    const QJsonValue path = QJsonDocument::fromJson(manifest).object().value(u"path"_s);
    if (!path.isString())
        return std::nullopt;
    const QString program = path.toString();
    if (isProgramOf(program, keys))
        return Mention{Mention::Kind::program, program};
    const QStringList components = program.split(u'/', Qt::SkipEmptyParts);
    const auto identifier =
        std::find_if(components.cbegin(), components.cend(),
                     [&](const QString& component) { return isIdentifierOf(component, keys); });
    if (identifier == components.cend())
        return std::nullopt;
    return Mention{Mention::Kind::identifier, *identifier};
}

bool manifestMentions(const QByteArray& manifest, const MentionKeys& keys) {
    return manifestMention(manifest, keys).has_value();
}

std::optional<Mention> fileMention(const QString& file, LinuxLocation::Rule rule,
                                   const MentionKeys& keys, const LinuxRoots& roots) {
    using R = LinuxLocation::Rule;
    if (rule != R::autostart && rule != R::userUnit && rule != R::nativeMessaging)
        return std::nullopt;
    const std::optional<QByteArray> data = fs::readFile(file, maxMentionFileSize + 1);
    if (!data || data->size() > maxMentionFileSize)
        return std::nullopt;
    switch (rule) {
    case R::autostart:
        return autostartMention(*data, keys);
    case R::userUnit:
        return unitMention(*data, keys, roots.home);
    default:
        return manifestMention(*data, keys);
    }
}

bool fileMentions(const QString& file, LinuxLocation::Rule rule, const MentionKeys& keys,
                  const LinuxRoots& roots) {
    return fileMention(file, rule, keys, roots).has_value();
}

} // namespace LinuxLocations

} // namespace moss
