#include "RemovedApps.h"

#include "LinuxApps.h"
#include "Logging.h"
#include "Matcher.h"
#include "Scanner.h"
#include "platform/Collation.h"
#include "platform/DebianPackages.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
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

bool isPlainText(const QString& text) {
    return !text.isEmpty() && text.size() <= maxTextLength &&
           std::none_of(text.cbegin(), text.cend(), [](QChar c) {
               return c.category() == QChar::Other_Control || c.isSurrogate();
           });
}

bool isPackageName(const QString& name) {
    static const QRegularExpression shape(u"^[a-z0-9][a-z0-9+.-]+$"_s);
    return name.size() <= maxTextLength && shape.match(name).hasMatch();
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

std::optional<QStringList> stringsOf(const QJsonValue& value) {
    if (!value.isArray())
        return std::nullopt;
    QStringList strings;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString())
            return std::nullopt;
        strings.append(item.toString());
    }
    return strings;
}

std::optional<Remembered> rememberedFrom(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    const std::optional<QStringList> names = stringsOf(object.value(u"names"_s));
    const std::optional<QStringList> identifiers = stringsOf(object.value(u"identifiers"_s));
    if (!names || !identifiers)
        return std::nullopt;
    Remembered r{object.value(u"package"_s).toString(),
                 object.value(u"id"_s).toString(),
                 object.value(u"url"_s).toString(),
                 object.value(u"displayName"_s).toString(),
                 *names,
                 *identifiers};
    return isValid(r) ? std::optional(std::move(r)) : std::nullopt;
}

// The memory as written; empty when there is none or it does not parse.
QList<Remembered> parseMemory(const QByteArray& data) {
    const QJsonDocument document = QJsonDocument::fromJson(data);
    const QJsonValue entries = document.object().value(u"applications"_s);
    QList<Remembered> memory;
    for (const QJsonValue& entry : entries.toArray()) {
        if (memory.size() == maxRemembered)
            break;
        if (std::optional<Remembered> r = rememberedFrom(entry))
            memory.append(std::move(*r));
    }
    return memory;
}

QByteArray serialized(const QList<Remembered>& memory) {
    QJsonArray entries;
    for (const Remembered& r : memory)
        entries.append(QJsonObject{{u"package"_s, r.package},
                                   {u"id"_s, r.id},
                                   {u"url"_s, r.url},
                                   {u"displayName"_s, r.displayName},
                                   {u"names"_s, QJsonArray::fromStringList(r.names)},
                                   {u"identifiers"_s, QJsonArray::fromStringList(r.identifiers)}});
    return QJsonDocument(QJsonObject{{u"applications"_s, entries}}).toJson(QJsonDocument::Compact);
}

// The memory after this catalogue: its Debian-package applications, then
// those remembered of the packages dpkg still knows, by package and ID.
QList<Remembered> updated(const QList<Remembered>& memory, const QList<AppBundle>& catalogue,
                          const QSet<QString>& packages) {
    QMap<std::pair<QString, QString>, Remembered> kept;
    const auto keep = [&kept](Remembered r) {
        if (kept.size() < maxRemembered)
            kept.insert({r.package, r.id}, std::move(r)); // the first one stays
    };
    for (const AppBundle& app : catalogue) {
        if (app.source != AppSource::debianPackage)
            continue;
        Remembered r = rememberedOf(app);
        if (isValid(r) && !kept.contains({r.package, r.id}))
            keep(std::move(r));
    }
    for (const Remembered& r : memory) {
        if (packages.contains(r.package) && !kept.contains({r.package, r.id}))
            keep(r);
    }
    return kept.values();
}

void writeMemory(const QString& file, const QByteArray& data) {
    QSaveFile out(file);
    if (!fs::makePath(fs::parentPath(file)) || !out.open(QIODevice::WriteOnly) ||
        out.write(data) != data.size() || !out.commit())
        qCWarning(lcCatalog).noquote() << "Cannot write" << file << out.errorString();
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
    // A Snap's instance name: NAME, or NAME_KEY for a parallel installation.
    static const QRegularExpression instance(u"^[a-z0-9][a-z0-9-]*(_[a-z0-9]{1,10})?$"_s);
    const QString data = fs::appending(roots.home, u"snap"_s);
    for (const QString& name : fs::listDirectory(data, false).value_or(QStringList())) {
        if (name.size() > 64 || !instance.match(name).hasMatch() ||
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
    return fs::appending(roots.stateHome, u"mossbin/removed-apps.json"_s);
}

QList<AppBundle> applications(const QList<AppBundle>& catalogue, const LinuxRoots& roots) {
    QList<AppBundle> apps;
    addFlatpaks(roots, apps);
    addSnaps(roots, apps);
    // Without dpkg's status nothing is known of packages, and the memory
    // stays as it is.
    if (const std::optional<QList<dpkg::Record>> records = dpkg::records(roots.dpkgDatabase)) {
        const QString file = memoryFile(roots);
        const QByteArray before = fs::readFile(file, maxMemorySize).value_or(QByteArray());
        QSet<QString> packages;
        for (const dpkg::Record& record : *records) {
            if (record.state != u"not-installed")
                packages.insert(record.name);
        }
        const QList<Remembered> memory = updated(parseMemory(before), catalogue, packages);
        if (const QByteArray after = serialized(memory); after != before)
            writeMemory(file, after);
        UserFolders folders(roots);
        for (AppBundle& app : debianApplications(*records, memory, roots)) {
            if (folders.bearKeysOf(app))
                apps.append(std::move(app));
        }
    }
    const Installed installed(catalogue);
    apps.removeIf([&installed](const AppBundle& app) { return installed.holds(app); });
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
