#pragma once

// The leftover search: categories and records of found items, the searched
// locations, and the scanner that lists them and arbitrates between bundles.

#include "AppBundle.h"
#include "Matcher.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

namespace moss {

enum class FileCategory {
    bundle,
    support,
    containers,
    preferences,
    caches,
    logs,
    savedState,
    launch,
    web,
    plugins,
    receipts,
    installers,
    other,
};

// The category's display title.
QString rawValue(FileCategory category);
std::optional<FileCategory> fileCategoryFromRawValue(const QString& title);
// The thirteen categories in display order.
const std::array<FileCategory, 13>& allFileCategories();
size_t qHash(FileCategory category, size_t seed = 0);

struct FoundFile {
    QString url; // absolute, standardised path (symbolic links not resolved)
    FileCategory category = FileCategory::other;
    qint64 size = 0; // bytes allocated on disk
    bool needsAdmin = false;
    bool selectedByDefault = false;

    const QString& id() const { return url; }
    friend bool operator==(const FoundFile&, const FoundFile&) = default;
};

size_t qHash(const FoundFile& file, size_t seed = 0);

// Result order: category position, then path under a numeric,
// case-insensitive collation. Stable.
bool resultOrderLess(const FoundFile& a, const FoundFile& b);
void sortByResultOrder(QList<FoundFile>& files);

struct Location {
    enum class Rule { idOrName, idOnly, groupContainers, launchd, receipts, installers };

    QString path; // relative to a Library folder
    FileCategory category = FileCategory::other;
    Rule rule = Rule::idOnly;
    bool userOnly = false;
};

struct SearchRoots {
    QString home;
    QStringList system;
    QStringList userTemp;

    // The running user's roots, built anew on every call.
    static SearchRoots live();
};

class Scanner {
public:
    // Finds installer files: name keys and a folder path ending in "/".
    using InstallerSource =
        std::function<QStringList(const QStringList& names, const QString& folder)>;

    explicit Scanner(SearchRoots roots);

    const SearchRoots& roots() const { return roots_; }

    // Replaceable; by default the platform's installer search of this scanner.
    InstallerSource installerSource;
    // When false, relatedFiles leaves every size at 0 and walks no folder
    // (for callers that only need the list, and for timing the search alone).
    bool measureSizes = true;

    // The bundle itself first, then its leftovers in result order.
    QList<FoundFile> relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                  bool includeInstallers) const;

    static const QList<Location>& libraryLocations();
    bool isProtectedPath(const QString& url, bool appleOwned) const;

    bool launchdMentions(const QString& file, const Matcher& matcher, const QString& appPath) const;
    QStringList spotlightInstallers(const QStringList& names, const QString& folder) const;
    static qint64 allocatedSize(const QString& url);
    // Fills in the size of every file, spreading the walks over the cores.
    static void fillSizes(QList<FoundFile>& files);

    // The metadata query for files whose names begin with one of the keys.
    static QString installerQuery(const QStringList& names);
    // Runs a metadata search tool on installerQuery(names), stopping it after
    // five seconds, and keeps the installer files directly inside folder.
    static QStringList metadataInstallers(const QString& tool, const QStringList& names,
                                          const QString& folder);

private:
    // The metadata search where the platform has it, else a listing of folder.
    static QStringList findInstallers(const QStringList& names, const QString& folder);

    SearchRoots roots_;
};

} // namespace moss
