#include "RemovedApps.h"

#include "LinuxApps.h"
#include "Logging.h"
#include "Matcher.h"
#include "Scanner.h"
#include "platform/Collation.h"
#include "platform/DebianPackages.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QMap>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace moss::RemovedApps {

using namespace Qt::StringLiterals;
using Rule = LinuxLocation::Rule;

namespace {

constexpr qint64 maxMemorySize = 4 * 1024 * 1024;
// Far more than the applications of a full desktop; the packages dpkg
// knows bound the memory first.
constexpr qsizetype maxRemembered = 8192;
constexpr qsizetype maxKeys = 32;
constexpr qsizetype maxTextLength = 1024;
// The file list of a package in the "config-files" state names its
// configuration files only.
constexpr qint64 maxListSize = 1024 * 1024;

// A Debian-package application as the memory keeps it.
struct Remembered {
    QString package;
    QString id; // its desktop-file ID
    QString url;
    QString displayName;
    QStringList names;
    QStringList identifiers;
};

// Whether something is at path; nullopt when that cannot be told (a folder
// on the way cannot be searched).
std::optional<bool> presence(const QString& path) {
    struct stat st {};
    if (::lstat(fs::encodePath(path).constData(), &st) == 0)
        return true;
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    return std::nullopt;
}

// Not empty, not too long, and free of control characters (the memory's
// separators among them) and of lone surrogates.
bool isPlainText(const QString& text) {
    return !text.isEmpty() && text.size() <= maxTextLength &&
           std::none_of(text.cbegin(), text.cend(), [](QChar c) {
               return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0) ||
                      c.isSurrogate();
           });
}

// As Debian's policy spells package names.
bool isPackageName(const QString& name) {
    return name.size() >= 2 && name.size() <= maxTextLength && name.front().isLetterOrNumber() &&
           std::all_of(name.cbegin(), name.cend(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' ||
                      c == u'.' || c == u'-';
           });
}

bool isValid(const Remembered& r) {
    const auto allPlain = [](const QStringList& texts) {
        return texts.size() <= maxKeys && std::all_of(texts.cbegin(), texts.cend(), isPlainText);
    };
    return isPackageName(r.package) && isPlainText(r.id) && r.id.endsWith(u".desktop"_s) &&
           r.id.size() > 8 && !r.id.contains(u'/') && isPlainText(r.url) &&
           r.url.startsWith(u'/') && fs::standardized(r.url) == r.url &&
           r.url.endsWith(u".desktop"_s) && isPlainText(r.displayName) && allPlain(r.names) &&
           allPlain(r.identifiers) &&
           std::all_of(r.identifiers.cbegin(), r.identifiers.cend(), LinuxApps::isIdentifier);
}

QString desktopIdOf(const AppBundle& app) {
    return app.bundleIdentifier ? *app.bundleIdentifier + u".desktop"_s
                                : fs::lastComponent(app.url);
}

Remembered rememberedOf(const AppBundle& app) {
    return {app.package,     desktopIdOf(app), app.url,
            app.displayName, app.names,        app.nestedIdentifiers};
}

AppBundle recordOf(const Remembered& r) {
    AppBundle app;
    app.url = r.url;
    app.kind = BundleKind::Application;
    app.source = AppSource::debianPackage;
    app.package = r.package;
    if (const QString stem = fs::deletingExtension(r.id); LinuxApps::isIdentifier(stem))
        app.bundleIdentifier = stem;
    app.names = Matcher::uniqueNames(r.names);
    QStringList identifiers = r.identifiers;
    identifiers.removeAll(app.bundleIdentifier.value_or(QString()));
    identifiers.removeDuplicates();
    std::sort(identifiers.begin(), identifiers.end(),
              [](const QString& a, const QString& b) { return a.toUcs4() < b.toUcs4(); });
    app.nestedIdentifiers = identifiers;
    app.displayName = r.displayName;
    return app;
}

// The memory's lines: package, desktop-file ID, path, display name, names
// and identifiers, separated by tabs; the names and the identifiers by the
// unit separator. No value holds a control character.
const QByteArray memoryHeader = "mossbin removed applications 1\n";
constexpr char fieldSeparator = '\t';
constexpr char16_t itemSeparator = u'\x1f';

QByteArray lineOf(const Remembered& r) {
    return QStringList{r.package,
                       r.id,
                       r.url,
                       r.displayName,
                       r.names.join(itemSeparator),
                       r.identifiers.join(itemSeparator)}
        .join(QChar::fromLatin1(fieldSeparator))
        .toUtf8();
}

std::optional<Remembered> parseLine(const QByteArray& line) {
    const QList<QByteArray> fields = line.split(fieldSeparator);
    if (fields.size() != 6)
        return std::nullopt;
    const auto items = [](const QByteArray& field) {
        return field.isEmpty() ? QStringList() : QString::fromUtf8(field).split(itemSeparator);
    };
    Remembered r{QString::fromUtf8(fields[0]),
                 QString::fromUtf8(fields[1]),
                 QString::fromUtf8(fields[2]),
                 QString::fromUtf8(fields[3]),
                 items(fields[4]),
                 items(fields[5])};
    return isValid(r) ? std::optional(std::move(r)) : std::nullopt;
}

// The line's package and its key (package and ID); nullopt for a line of
// another shape.
std::optional<std::pair<QByteArray, QByteArray>> keyOf(const QByteArray& line) {
    const qsizetype first = line.indexOf(fieldSeparator);
    const qsizetype second = first < 0 ? -1 : line.indexOf(fieldSeparator, first + 1);
    if (second < 0)
        return std::nullopt;
    return std::pair(line.left(first), line.left(second));
}

void writeMemory(const QString& file, const QByteArray& data) {
    QSaveFile out(file);
    if (!fs::makePath(fs::parentPath(file)) || !out.open(QIODevice::WriteOnly) ||
        out.write(data) != data.size() || !out.commit())
        qCWarning(lcCatalog).noquote() << "Cannot write" << file << out.errorString();
}

// Rewrites the memory, when that changes it, with the Debian-package
// applications of the catalogue, then those remembered of other packages
// that dpkg still knows (`packages`), which it returns. A memory without its
// header line is not read; a line that does not hold together is dropped.
QList<Remembered> remember(const QList<AppBundle>& catalogue, const QSet<QByteArray>& packages,
                           const QString& file) {
    const QByteArray before = fs::readFile(file, maxMemorySize + 1).value_or(QByteArray());
    QByteArrayList lines;
    QSet<QByteArray> keys;
    for (const AppBundle& app : catalogue) {
        if (app.source != AppSource::debianPackage || lines.size() == maxRemembered)
            continue;
        const Remembered r = rememberedOf(app);
        if (!isValid(r))
            continue;
        QByteArray line = lineOf(r);
        if (const auto key = keyOf(line); key && !keys.contains(key->second)) {
            keys.insert(key->second);
            lines.append(std::move(line));
        }
    }
    QList<Remembered> others;
    const bool readable = before.size() <= maxMemorySize && before.startsWith(memoryHeader);
    for (const QByteArray& line : readable ? before.split('\n') : QByteArrayList()) {
        const auto key = keyOf(line);
        if (!key || !packages.contains(key->first) || keys.contains(key->second) ||
            lines.size() == maxRemembered)
            continue;
        if (std::optional<Remembered> r = parseLine(line)) {
            keys.insert(key->second);
            lines.append(line);
            others.append(std::move(*r));
        }
    }
    std::sort(lines.begin(), lines.end());
    QByteArray after = memoryHeader;
    for (const QByteArray& line : std::as_const(lines))
        after += line + '\n';
    if (after != before)
        writeMemory(file, after);
    return others;
}

// What the catalogue holds, which no removed application can be.
struct Installed {
    QSet<QString> identifiers; // lower case
    QSet<QString> entryNames;  // desktop-entry file names
    QSet<QString> urls;
    QSet<QString> snaps;

    explicit Installed(const QList<AppBundle>& catalogue) {
        for (const AppBundle& app : catalogue) {
            for (const QString& identifier : app.allIdentifiers())
                identifiers.insert(identifier.toLower());
            if (app.source == AppSource::snap)
                snaps.insert(app.package);
            if (app.source != AppSource::appImage)
                entryNames.insert(fs::lastComponent(app.url));
            urls.insert(app.url);
        }
    }

    bool holds(const AppBundle& app) const {
        const QStringList all = app.allIdentifiers();
        return urls.contains(app.url) ||
               (app.source == AppSource::snap && snaps.contains(app.package)) ||
               (app.source == AppSource::debianPackage &&
                entryNames.contains(fs::lastComponent(app.url))) ||
               std::any_of(all.cbegin(), all.cend(), [this](const QString& identifier) {
                   return identifiers.contains(identifier.toLower());
               });
    }
};

// The Flatpak IDs an installation holds; nullopt when they cannot be told.
std::optional<QSet<QString>> flatpakIds(const QString& installation) {
    const QString apps = fs::appending(installation, u"app"_s);
    const std::optional<bool> present = presence(apps);
    if (!present || !*present)
        return present ? std::optional(QSet<QString>()) : std::nullopt;
    const std::optional<QStringList> ids = fs::listDirectory(apps);
    return ids ? std::optional(QSet<QString>(ids->cbegin(), ids->cend())) : std::nullopt;
}

void addFlatpaks(const LinuxRoots& roots, QList<AppBundle>& apps) {
    const std::optional<QSet<QString>> user = flatpakIds(roots.flatpakUser());
    const std::optional<QSet<QString>> system = flatpakIds(roots.flatpakSystem);
    if (!user || !system)
        return;
    const QString data = fs::appending(roots.home, u".var/app"_s);
    for (const QString& id : fs::listDirectory(data).value_or(QStringList())) {
        if (!LinuxApps::isIdentifier(id) || !isPlainText(id) || user->contains(id) ||
            system->contains(id) || !fs::isRealDirectory(fs::appending(data, id)))
            continue;
        AppBundle app;
        app.url = fs::appending(roots.flatpakUser(), u"app/"_s + id);
        app.kind = BundleKind::Application;
        app.source = AppSource::flatpakUser;
        app.package = u"app/"_s + id;
        app.bundleIdentifier = id;
        const QString last = id.section(u'.', -1);
        app.displayName = last.isEmpty() ? id : last;
        apps.append(std::move(app));
    }
}

void addSnaps(const LinuxRoots& roots, QList<AppBundle>& apps) {
    const QString data = fs::appending(roots.home, u"snap"_s);
    for (const QString& name : fs::listDirectory(data, false).value_or(QStringList())) {
        if (!LinuxApps::isSnapInstanceName(name) ||
            !fs::isRealDirectory(fs::appending(data, name)) ||
            presence(fs::appending(roots.snapMounts, name)).value_or(true))
            continue;
        AppBundle app;
        app.url = fs::appending(roots.snapMounts, name);
        app.kind = BundleKind::Application;
        app.source = AppSource::snap;
        app.package = name;
        app.names = {name};
        app.displayName = name;
        apps.append(std::move(app));
    }
}

// The applications of the packages in the "config-files" state (and in no
// other): their desktop entries that dpkg still lists and that can be read,
// then the remembered ones.
QList<AppBundle> debianApplications(const QList<dpkg::Record>& records,
                                    const QList<Remembered>& memory, const LinuxRoots& roots) {
    QSet<QString> installed;
    QMap<QString, QStringList> removed; // package -> its list files' stems
    for (const dpkg::Record& record : records) {
        if (record.state == u"config-files")
            removed[record.name] << record.name << record.name + u':' + record.architecture;
        else if (record.state != u"not-installed")
            installed.insert(record.name);
    }
    QMultiHash<QString, const Remembered*> remembered;
    for (const Remembered& r : memory)
        remembered.insert(r.package, &r);
    QList<AppBundle> apps;
    const QString info = fs::appending(roots.dpkgDatabase, u"info"_s);
    for (auto package = removed.cbegin(); package != removed.cend(); ++package) {
        if (installed.contains(package.key()))
            continue;
        QSet<QString> ids;
        for (const QString& stem : package.value()) {
            const std::optional<QByteArray> list =
                fs::readFile(fs::appending(info, stem + u".list"_s), maxListSize);
            for (const QByteArray& line : list.value_or(QByteArray()).split('\n')) {
                if (!line.startsWith('/') || !line.endsWith(".desktop"))
                    continue;
                std::optional<AppBundle> app =
                    LinuxApps::loadWithoutPackage(fs::decodePath(line), roots);
                if (!app || app->source == AppSource::appImage || ids.contains(desktopIdOf(*app)))
                    continue;
                ids.insert(desktopIdOf(*app));
                app->source = AppSource::debianPackage;
                app->package = package.key();
                app->version.reset();
                apps.append(std::move(*app));
            }
        }
        for (const Remembered* r : remembered.values(package.key())) {
            if (!ids.contains(r->id))
                apps.append(recordOf(*r));
            ids.insert(r->id);
        }
    }
    return apps;
}

// Whether an entry of the user's folders bears one of the application's
// keys, as the leftover search's rows by identifier and name judge them.
// The folders are listed once for all the applications asked about.
class UserFolders {
public:
    explicit UserFolders(const LinuxRoots& roots) : roots_(roots) {}

    bool bearKeysOf(const AppBundle& app) {
        const Matcher matcher = Scanner::matcherFor(app);
        for (const LinuxLocation& row : LinuxLocations::table()) {
            if (row.rule != Rule::idOrName && row.rule != Rule::idOnly &&
                row.rule != Rule::dotEntry)
                continue;
            for (const QString& folder : LinuxLocations::folders(row, roots_)) {
                for (const QString& name : entries(folder)) {
                    const std::optional<QString> judged = LinuxLocations::judgedName(row, name);
                    if (judged && matcher.explain(*judged, row.rule != Rule::idOnly))
                        return true;
                }
            }
        }
        return false;
    }

private:
    const QStringList& entries(const QString& folder) {
        auto listed = listed_.find(folder);
        if (listed == listed_.end())
            listed = listed_.insert(folder, fs::listDirectory(folder).value_or(QStringList()));
        return *listed;
    }

    const LinuxRoots& roots_;
    QHash<QString, QStringList> listed_;
};

} // namespace

QString sectionTitle() {
    return u"Остатки удалённых приложений"_s;
}

QString memoryFile(const LinuxRoots& roots) {
    return fs::appending(roots.stateHome, u"mossbin/removed-apps"_s);
}

QList<AppBundle> applications(const QList<AppBundle>& catalogue, const LinuxRoots& roots) {
    QList<AppBundle> apps;
    addFlatpaks(roots, apps);
    addSnaps(roots, apps);
    // Without dpkg's status nothing is known of packages, and the memory
    // stays as it is.
    if (const std::optional<QList<dpkg::Record>> records = dpkg::records(roots.dpkgDatabase)) {
        QSet<QByteArray> packages;
        for (const dpkg::Record& record : *records) {
            if (record.state != u"not-installed")
                packages.insert(record.name.toUtf8());
        }
        const QList<Remembered> memory = remember(catalogue, packages, memoryFile(roots));
        UserFolders folders(roots);
        for (AppBundle& app : debianApplications(*records, memory, roots)) {
            if (folders.bearKeysOf(app))
                apps.append(std::move(app));
        }
    }
    if (apps.isEmpty())
        return apps;
    const Installed installed(catalogue);
    QSet<QString> listed; // each path once: the list opens an application by its path
    apps.removeIf([&](const AppBundle& app) {
        if (installed.holds(app) || listed.contains(app.url))
            return true;
        listed.insert(app.url);
        return false;
    });
    std::stable_sort(apps.begin(), apps.end(), [](const AppBundle& a, const AppBundle& b) {
        return localizedCaseInsensitiveCompare(a.displayName, b.displayName) < 0;
    });
    return apps;
}

std::optional<CatalogSection> section(const QList<AppBundle>& catalogue, const LinuxRoots& roots) {
    QList<AppBundle> apps = applications(catalogue, roots);
    if (apps.isEmpty())
        return std::nullopt;
    return CatalogSection{sectionTitle(), false, std::move(apps)};
}

} // namespace moss::RemovedApps
