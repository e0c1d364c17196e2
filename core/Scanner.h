#pragma once

// The leftover search: lists the library locations of its roots, judges each
// entry with the bundle's matcher, settles it against the other installed
// bundles, admits it, and measures what it admitted.

#include "AppBundle.h"
#include "FoundFile.h"
#include "LibraryLocations.h"
#include "Matcher.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace moss {

class Scanner {
public:
    // Finds installer files: name keys and a folder path ending in "/".
    using InstallerSource =
        std::function<QStringList(const QStringList& names, const QString& folder)>;

    explicit Scanner(SearchRoots roots);

    // Replaceable; by default findInstallers (InstallerSearch.h).
    InstallerSource installerSource;
    // When false, relatedFiles leaves every size at 0 and walks no folder
    // (for callers that only need the list, and for timing the search alone).
    bool measureSizes = true;

    // The bundle itself first, then its leftovers in result order.
    QList<FoundFile> relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                  bool includeInstallers) const;

    // Lower-case names that are never name keys: every folder name of the
    // Library location table, "Library" itself, and the folder names of the
    // Linux location table. A bundle named "ByHost" or "autostart" would
    // otherwise select that whole shared folder. Built once.
    static const QSet<QString>& reservedNames();
    // The matcher that the search judges entries with, for the bundle or a
    // competitor: its keys without the reserved names.
    static Matcher matcherFor(const AppBundle& bundle);

    // Parts of the search that live in units of their own, under the names
    // the rest of the system knows them by.

    // The location table (LibraryLocations.h).
    static const QList<Location>& libraryLocations() { return moss::libraryLocations(); }
    // Whether an item is never reported (SystemPaths::isProtectedLeftover).
    bool isProtectedPath(const QString& url, bool appleOwned) const;
    // Whether a launch job names the bundle (launchJobMentions, LaunchJobs.h).
    bool launchdMentions(const QString& file, const Matcher& matcher, const QString& appPath) const;
    // Bytes allocated on disk for the item (fs::allocatedSize).
    static qint64 allocatedSize(const QString& url);

    // Fills in the size of every file, spreading the walks over the cores.
    static void fillSizes(QList<FoundFile>& files);

private:
    SearchRoots roots_;
};

} // namespace moss
