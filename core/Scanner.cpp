#include "Scanner.h"

#include "SystemPaths.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <QElapsedTimer>
#include <QHashFunctions>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QVariantList>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace moss {

// ---------------------------------------------------------------------------
// Categories and found files

namespace {

const std::array<QString, 13>& categoryTitles() {
    static const std::array<QString, 13> titles = {
        QStringLiteral("Приложение"),
        QStringLiteral("Данные приложения"),
        QStringLiteral("Контейнеры"),
        QStringLiteral("Настройки"),
        QStringLiteral("Кэш"),
        QStringLiteral("Логи и отчёты о сбоях"),
        QStringLiteral("Сохранённое состояние окон"),
        QStringLiteral("Автозапуск и фоновые службы"),
        QStringLiteral("Веб-данные и cookies"),
        QStringLiteral("Плагины и расширения"),
        QStringLiteral("Записи установщика"),
        QStringLiteral("Установщики в Загрузках"),
        QStringLiteral("Прочее"),
    };
    return titles;
}

size_t position(FileCategory category) {
    return static_cast<size_t>(category);
}

} // namespace

QString rawValue(FileCategory category) {
    return categoryTitles().at(position(category));
}

std::optional<FileCategory> fileCategoryFromRawValue(const QString& title) {
    for (FileCategory category : allFileCategories()) {
        if (categoryTitles().at(position(category)) == title)
            return category;
    }
    return std::nullopt;
}

const std::array<FileCategory, 13>& allFileCategories() {
    static const std::array<FileCategory, 13> all = {
        FileCategory::bundle,      FileCategory::support,  FileCategory::containers,
        FileCategory::preferences, FileCategory::caches,   FileCategory::logs,
        FileCategory::savedState,  FileCategory::launch,   FileCategory::web,
        FileCategory::plugins,     FileCategory::receipts, FileCategory::installers,
        FileCategory::other,
    };
    return all;
}

size_t qHash(FileCategory category, size_t seed) {
    return qHash(categoryTitles().at(position(category)), seed);
}

size_t qHash(const FoundFile& file, size_t seed) {
    return qHashMulti(seed, file.url, file.category, file.size, file.needsAdmin,
                      file.selectedByDefault);
}

bool resultOrderLess(const FoundFile& a, const FoundFile& b) {
    if (a.category != b.category)
        return position(a.category) < position(b.category);
    return localizedStandardCompare(a.url, b.url) < 0;
}

void sortByResultOrder(QList<FoundFile>& files) {
    std::stable_sort(files.begin(), files.end(), resultOrderLess);
}

// ---------------------------------------------------------------------------
// Search roots and locations

SearchRoots SearchRoots::live() {
    const QString home = fs::homePath();
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!cache.startsWith(u'/')) // unset, empty or relative: the default applies
        cache = fs::appending(home, QStringLiteral(".cache"));
    return SearchRoots{home, {QStringLiteral("/")}, {fs::tempPath(), fs::standardized(cache)}};
}

Scanner::Scanner(SearchRoots roots) : roots_(std::move(roots)) {
    // Reads no scanner state, so the default source holds no reference to it.
    installerSource = [](const QStringList& names, const QString& folder) {
        return Scanner::findInstallers(names, folder);
    };
}

const QList<Location>& Scanner::libraryLocations() {
    using C = FileCategory;
    using R = Location::Rule;
    static const QList<Location> locations = {
        {QStringLiteral("Application Support"), C::support, R::idOrName, false},
        {QStringLiteral("Application Support/CrashReporter"), C::logs, R::idOrName, false},
        {QStringLiteral("Application Scripts"), C::containers, R::idOnly, true},
        {QStringLiteral("Containers"), C::containers, R::idOnly, true},
        {QStringLiteral("Group Containers"), C::containers, R::groupContainers, true},
        {QStringLiteral("Daemon Containers"), C::containers, R::idOnly, true},
        {QStringLiteral("Preferences"), C::preferences, R::idOrName, false},
        {QStringLiteral("Preferences/ByHost"), C::preferences, R::idOnly, true},
        {QStringLiteral("SyncedPreferences"), C::preferences, R::idOnly, true},
        {QStringLiteral("Caches"), C::caches, R::idOrName, false},
        {QStringLiteral("Caches/com.apple.helpd/Generated"), C::caches, R::idOnly, true},
        {QStringLiteral("HTTPStorages"), C::web, R::idOnly, true},
        {QStringLiteral("WebKit"), C::web, R::idOrName, true},
        {QStringLiteral("Cookies"), C::web, R::idOnly, true},
        {QStringLiteral("Logs"), C::logs, R::idOrName, false},
        {QStringLiteral("Logs/DiagnosticReports"), C::logs, R::idOrName, false},
        {QStringLiteral("Saved Application State"), C::savedState, R::idOnly, true},
        {QStringLiteral("Autosave Information"), C::savedState, R::idOnly, true},
        {QStringLiteral("LaunchAgents"), C::launch, R::launchd, false},
        {QStringLiteral("LaunchDaemons"), C::launch, R::launchd, false},
        {QStringLiteral("PrivilegedHelperTools"), C::launch, R::idOnly, false},
        {QStringLiteral("StartupItems"), C::launch, R::idOrName, false},
        {QStringLiteral("Services"), C::plugins, R::idOrName, false},
        {QStringLiteral("PreferencePanes"), C::plugins, R::idOrName, false},
        {QStringLiteral("Internet Plug-Ins"), C::plugins, R::idOrName, false},
        {QStringLiteral("QuickLook"), C::plugins, R::idOrName, false},
        {QStringLiteral("Spotlight"), C::plugins, R::idOrName, false},
        {QStringLiteral("Screen Savers"), C::plugins, R::idOrName, false},
        {QStringLiteral("Audio/Plug-Ins/HAL"), C::plugins, R::idOrName, false},
        {QStringLiteral("Audio/Plug-Ins/Components"), C::plugins, R::idOrName, false},
        {QStringLiteral("Components"), C::plugins, R::idOrName, false},
        {QStringLiteral("Input Methods"), C::plugins, R::idOrName, false},
        {QStringLiteral("Mail/Bundles"), C::plugins, R::idOrName, false},
        {QStringLiteral("Contextual Menu Items"), C::plugins, R::idOrName, false},
        {QStringLiteral("ColorPickers"), C::plugins, R::idOrName, false},
        {QStringLiteral("Extensions"), C::plugins, R::idOrName, false},
        {QStringLiteral("SystemExtensions"), C::plugins, R::idOrName, false},
        {QStringLiteral("Frameworks"), C::other, R::idOnly, false},
        {QStringLiteral("Fonts"), C::other, R::idOnly, false},
        {QStringLiteral("Address Book Plug-Ins"), C::plugins, R::idOrName, false},
        {QStringLiteral("CoreMediaIO/Plug-Ins/DAL"), C::plugins, R::idOrName, false},
        {QStringLiteral("Widgets"), C::plugins, R::idOrName, false},
    };
    return locations;
}

bool Scanner::isProtectedPath(const QString& url, bool appleOwned) const {
    return SystemPaths::isProtectedLeftover(url, appleOwned);
}

// ---------------------------------------------------------------------------
// Launch jobs

namespace {

bool isString(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

// The value as a list of strings; nothing when it is not a list or holds
// anything but strings.
std::optional<QStringList> stringList(const QVariant& value) {
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList elements = value.toList();
    if (!std::all_of(elements.cbegin(), elements.cend(), isString))
        return std::nullopt;
    QStringList strings;
    for (const QVariant& element : elements)
        strings.append(element.toString());
    return strings;
}

// The texts of a launch job that can name the bundle it belongs to: label,
// program, executable of the argument list, associated bundles.
QStringList launchJobTexts(const QVariantMap& job) {
    QStringList texts;
    for (const QString& key : {QStringLiteral("Label"), QStringLiteral("Program")}) {
        if (const auto text = plist::stringValue(job, key))
            texts.append(*text);
    }
    const auto arguments = stringList(job.value(QStringLiteral("ProgramArguments")));
    if (arguments && !arguments->isEmpty())
        texts.append(arguments->first());
    const QVariant associated = job.value(QStringLiteral("AssociatedBundleIdentifiers"));
    if (isString(associated))
        texts.append(associated.toString());
    else if (const auto identifiers = stringList(associated))
        texts += *identifiers;
    return texts;
}

// ASCII without NUL.
bool isAsciiText(QByteArrayView bytes) {
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return byte > 0; });
}

// What a launch job must hold, ignoring ASCII case, to mention the bundle:
// one of its identifiers or its path. Empty when one of them is not ASCII
// (its case variants are not all ASCII then).
std::optional<QList<QByteArray>> mentionNeedles(const Matcher& matcher, const QString& appPath) {
    QStringList texts = matcher.identifiers();
    if (!appPath.isEmpty())
        texts.append(appPath);
    QList<QByteArray> needles;
    for (const QString& text : std::as_const(texts)) {
        QByteArray needle = text.toUtf8().toLower();
        if (!isAsciiText(needle))
            return std::nullopt;
        needles.append(std::move(needle));
    }
    return needles;
}

// Whether data is an XML property list in ASCII without references ("&"),
// comments or character-data sections ("<!-" or "<!["): then every text of
// the job is in it literally.
bool isPlainXml(const QByteArray& data) {
    const QByteArray start = data.left(64).trimmed();
    if (!start.startsWith("<?xml") && !start.startsWith("<plist"))
        return false;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char byte = data[i];
        if (byte <= 0 || byte == '&')
            return false;
        if (byte == '<' && i + 2 < data.size() && data[i + 1] == '!' &&
            (data[i + 2] == '-' || data[i + 2] == '['))
            return false;
    }
    return true;
}

bool containsBytes(const QByteArray& haystack, const QByteArray& needle) {
    return ::memmem(haystack.constData(), size_t(haystack.size()), needle.constData(),
                    size_t(needle.size())) != nullptr;
}

// Whether the job's data certainly mentions none of the needles; data that
// is not plain XML is left to the parser.
bool mentionsNone(const QByteArray& data, const QList<QByteArray>& needles) {
    if (!isPlainXml(data))
        return false;
    const QByteArray lower = data.toLower();
    return std::none_of(needles.cbegin(), needles.cend(), [&lower](const QByteArray& needle) {
        return containsBytes(lower, needle);
    });
}

} // namespace

bool Scanner::launchdMentions(const QString& file, const Matcher& matcher,
                              const QString& appPath) const {
    if (fs::pathExtension(file) != u"plist")
        return false;
    const std::optional<QByteArray> data = fs::readFile(file, plist::maxInputSize + 1);
    if (!data)
        return false;
    const std::optional<QList<QByteArray>> needles = mentionNeedles(matcher, appPath);
    if (needles && mentionsNone(*data, *needles))
        return false;
    const std::optional<QVariantMap> job = plist::dictionaryFromData(*data);
    if (!job)
        return false;
    // An empty path would be contained in every text.
    const std::optional<QString> path =
        appPath.isEmpty() ? std::nullopt : std::optional<QString>(appPath);
    const QStringList texts = launchJobTexts(*job);
    return std::any_of(texts.cbegin(), texts.cend(),
                       [&](const QString& text) { return matcher.mentions(text, path); });
}

// ---------------------------------------------------------------------------
// Installers

namespace {

const QString& metadataTool() {
    static const QString tool = QStringLiteral("/usr/bin/mdfind");
    return tool;
}

constexpr int kMetadataTimeLimitMs = 5000;
constexpr int kTerminateGraceMs = 1000;

bool hasInstallerExtension(const QString& path) {
    static const QSet<QString> extensions = {QStringLiteral("dmg"), QStringLiteral("pkg"),
                                             QStringLiteral("zip")};
    return extensions.contains(fs::pathExtension(path).toLower());
}

// Case- and diacritic-insensitive form of a text, for prefix tests.
QString folded(const QString& text) {
    QString decomposed = text.normalized(QString::NormalizationForm_D);
    decomposed.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
    return decomposed.toCaseFolded();
}

// The installer files directly in folder whose names begin with a name key.
QStringList listedInstallers(const QStringList& names, const QString& folder) {
    QStringList keys;
    for (const QString& name : names) {
        const QString key = folded(name);
        if (!key.isEmpty())
            keys.append(key);
    }
    const std::optional<QStringList> entries = fs::listDirectory(folder, false);
    if (!entries || keys.isEmpty())
        return {};
    QStringList found;
    for (const QString& entry : *entries) {
        if (!hasInstallerExtension(entry))
            continue;
        const QString path = fs::appending(folder, entry);
        const fs::EntryType type = fs::entryType(path);
        if (type != fs::EntryType::file && type != fs::EntryType::symlink)
            continue;
        const QString name = folded(entry);
        const bool named = std::any_of(keys.cbegin(), keys.cend(),
                                       [&](const QString& key) { return name.startsWith(key); });
        if (named)
            found.append(path);
    }
    return found;
}

// Output of a search tool started with one argument; the tool is stopped at
// the time limit and whatever it printed until then is kept. Empty when it
// cannot be started.
QByteArray runSearchTool(const QString& tool, const QString& argument) {
    QProcess process;
    process.setProgram(tool);
    process.setArguments({argument});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted())
        return {};
    process.waitForFinished(kMetadataTimeLimitMs);
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(kTerminateGraceMs)) {
            process.kill();
            process.waitForFinished();
        }
    }
    return process.readAllStandardOutput();
}

} // namespace

QString Scanner::installerQuery(const QStringList& names) {
    QStringList clauses;
    clauses.reserve(names.size());
    for (QString key : names) {
        key.remove(u'\\');
        key.remove(u'"');
        clauses.append(QStringLiteral("kMDItemFSName == \"") + key + QStringLiteral("*\"cd"));
    }
    return clauses.join(u" || ");
}

QStringList Scanner::metadataInstallers(const QString& tool, const QStringList& names,
                                        const QString& folder) {
    if (names.isEmpty())
        return {};
    const QByteArray output = runSearchTool(tool, installerQuery(names));
    QStringList found;
    for (const QByteArray& line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        const QString path = fs::decodePath(line);
        const QString parent = fs::parentPath(path);
        const QString parentWithSlash = parent.endsWith(u'/') ? parent : parent + u'/';
        if (hasInstallerExtension(path) && parentWithSlash == folder)
            found.append(path);
    }
    return found;
}

QStringList Scanner::findInstallers(const QStringList& names, const QString& folder) {
    if (names.isEmpty())
        return {};
    if (fs::exists(metadataTool()))
        return metadataInstallers(metadataTool(), names, folder);
    return listedInstallers(names, folder);
}

QStringList Scanner::spotlightInstallers(const QStringList& names, const QString& folder) const {
    return findInstallers(names, folder);
}

// ---------------------------------------------------------------------------
// Sizes

qint64 Scanner::allocatedSize(const QString& url) {
    return fs::allocatedSize(url);
}

void Scanner::fillSizes(QList<FoundFile>& files) {
    FoundFile* const items = files.data(); // detaches before any thread starts
    const qsizetype count = files.size();
    std::atomic<qsizetype> next{0};
    const auto work = [items, count, &next] {
        for (qsizetype i = next++; i < count; i = next++)
            items[i].size = Scanner::allocatedSize(items[i].url);
    };
    const int helpers = int(std::min<qsizetype>(QThread::idealThreadCount(), count)) - 1;
    if (helpers <= 0) {
        work();
        return;
    }
    QThreadPool pool;
    pool.setMaxThreadCount(helpers);
    for (int i = 0; i < helpers; ++i)
        pool.start(work);
    work();
    pool.waitForDone();
}

// ---------------------------------------------------------------------------
// Related files

namespace {

using Strength = Matcher::Strength;

// The working state of one relatedFiles call.
class Search {
public:
    Search(const Scanner& scanner, const AppBundle& bundle, const QList<AppBundle>& competitors)
        : scanner_(scanner), bundle_(bundle), own_(bundle), appPath_(bundle.url),
          appPrefix_(bundle.url + u'/'),
          appleOwned_(bundle.bundleIdentifier &&
                      SystemPaths::isVendorIdentifier(*bundle.bundleIdentifier)) {
        QSet<QString> ownIdentifiers;
        for (const QString& identifier : bundle.allIdentifiers())
            ownIdentifiers.insert(identifier.toLower());
        for (const AppBundle& competitor : competitors) {
            if (competitor.url == bundle.url ||
                ownIdentifiers.contains(competitor.bundleIdentifier.value_or(QString()).toLower()))
                continue;
            competitors_.append(Matcher(competitor));
        }
    }

    void searchLibrary(const QString& library, bool isSystem) {
        for (const Location& location : Scanner::libraryLocations()) {
            if (isSystem && location.userOnly)
                continue;
            searchLocation(fs::appending(library, location.path), location, isSystem);
        }
    }

    void searchReceipts(const QString& root) {
        searchByIdentifier(fs::appending(root, QStringLiteral("private/var/db/receipts")),
                           FileCategory::receipts, true);
    }

    void searchTemporary(const QString& folder) {
        searchByIdentifier(folder, FileCategory::caches, false);
    }

    void searchInstallers(const Scanner::InstallerSource& source, const QString& home) {
        const QString downloads =
            fs::appending(fs::standardized(home), QStringLiteral("Downloads"));
        for (const QString& candidate : source(own_.names(), downloads + u'/')) {
            const QString stem = fs::deletingExtension(fs::lastComponent(candidate));
            if (own_.matchesName(stem))
                admit(candidate, FileCategory::installers, false, false);
        }
    }

    // The bundle item first, then the admitted items in result order, sized
    // when asked to.
    QList<FoundFile> result(bool sized) {
        sortByResultOrder(found_);
        const bool bundleNeedsAdmin = !fs::isWritable(fs::parentPath(bundle_.url));
        found_.prepend(FoundFile{bundle_.url, FileCategory::bundle, 0, bundleNeedsAdmin, true});
        if (sized)
            Scanner::fillSizes(found_);
        return std::move(found_);
    }

private:
    void searchLocation(const QString& folder, const Location& location, bool isSystem) {
        const std::optional<QStringList> entries = fs::listDirectory(folder);
        if (!entries || entries->isEmpty())
            return;
        std::optional<bool> folderNeedsAdmin; // asked once, when something is admitted
        for (const QString& name : *entries) {
            const std::optional<Strength> strength =
                settle(name, strengthOf(folder, name, location));
            if (!strength)
                continue;
            if (!folderNeedsAdmin)
                folderNeedsAdmin = isSystem && !fs::isWritable(folder);
            admit(fs::appending(folder, name), location.category, *folderNeedsAdmin,
                  *strength == Strength::strong);
        }
    }

    void searchByIdentifier(const QString& folder, FileCategory category, bool needsAdmin) {
        const std::optional<QStringList> entries = fs::listDirectory(folder);
        if (!entries)
            return;
        for (const QString& name : *entries) {
            if (!own_.matchesIdentifier(name) || !settle(name, Strength::strong))
                continue;
            admit(fs::appending(folder, name), category, needsAdmin, true);
        }
    }

    std::optional<Strength> strengthOf(const QString& folder, const QString& name,
                                       const Location& location) const {
        switch (location.rule) {
        case Location::Rule::idOrName:
            return own_.strength(name, true);
        case Location::Rule::idOnly:
            return own_.strength(name, false);
        case Location::Rule::groupContainers:
            return own_.groupContainerStrength(name);
        case Location::Rule::launchd:
            if (own_.matchesIdentifier(name) ||
                scanner_.launchdMentions(fs::appending(folder, name), own_, appPath_))
                return Strength::strong;
            return std::nullopt;
        case Location::Rule::receipts:
        case Location::Rule::installers:
            return std::nullopt;
        }
        return std::nullopt;
    }

    // Settles a strength against the competing bundles: a more specific
    // identifier claim takes the entry away; a strong name claim of another
    // bundle weakens an entry claimed by name only. Editions of one product
    // share a normalised identifier; their identifiers as written settle the tie.
    std::optional<Strength> settle(const QString& name, std::optional<Strength> strength) const {
        if (!strength || competitors_.isEmpty())
            return strength;
        const int own = own_.identifierMatchLength(name);
        std::optional<int> ownExact;
        for (const Matcher& competitor : competitors_) {
            const int theirs = competitor.identifierMatchLength(name);
            if (theirs > own)
                return std::nullopt;
            if (theirs == own && own != 0) {
                if (!ownExact)
                    ownExact = own_.exactIdentifierMatchLength(name);
                if (competitor.exactIdentifierMatchLength(name) > *ownExact)
                    return std::nullopt;
            } else if (own == 0 && competitor.hasStrongNameMatch(name)) {
                return Strength::weak;
            }
        }
        return strength;
    }

    void admit(const QString& path, FileCategory category, bool needsAdmin, bool selected) {
        QString url = fs::standardized(path);
        if (url == appPath_ || url.startsWith(appPrefix_) || admitted_.contains(url) ||
            scanner_.isProtectedPath(url, appleOwned_) || insideAdmitted(url))
            return;
        admitted_.insert(url);
        found_.append(FoundFile{std::move(url), category, 0, needsAdmin, selected});
    }

    // Whether a folder that holds url was admitted before.
    bool insideAdmitted(const QString& url) const {
        for (qsizetype slash = url.lastIndexOf(u'/'); slash > 0;
             slash = url.lastIndexOf(u'/', slash - 1)) {
            if (admitted_.contains(url.left(slash)))
                return true;
        }
        return false;
    }

    const Scanner& scanner_;
    const AppBundle& bundle_;
    const Matcher own_;
    QList<Matcher> competitors_;
    const QString appPath_;
    const QString appPrefix_;
    const bool appleOwned_;
    QSet<QString> admitted_;
    QList<FoundFile> found_;
};

} // namespace

QList<FoundFile> Scanner::relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                       bool includeInstallers) const {
    const InstallerSource source = installerSource;
    Search search(*this, bundle, competitors);
    search.searchLibrary(fs::appending(roots_.home, QStringLiteral("Library")), false);
    for (const QString& root : roots_.system)
        search.searchLibrary(fs::appending(root, QStringLiteral("Library")), true);
    for (const QString& root : roots_.system)
        search.searchReceipts(root);
    for (const QString& folder : roots_.userTemp)
        search.searchTemporary(folder);
    if (includeInstallers && source)
        search.searchInstallers(source, roots_.home);
    return search.result(measureSizes);
}

} // namespace moss
