#pragma once

// The leftover search: lists the library locations of its roots, judges each
// entry with the bundle's matcher, settles it against the other installed
// bundles, admits it, and measures what it admitted.

#include "AppBundle.h"
#include "FoundFile.h"
#include "LibraryLocations.h"
#include "LinuxLocations.h"
#include "Matcher.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <stop_token>

namespace moss {

// What a search tells its caller while it runs; any member may be left
// empty. The calls never overlap, but they come from the searching thread
// and, while sizes are measured, from the threads of the global pool.
struct ScanObserver {
    // An item was admitted, with size 0: the bundle first, then each
    // leftover as the search admits it. Admission only adds, so every item
    // reported here is in the result (in result order, which may differ
    // from the order of these calls).
    std::function<void(const FoundFile& item)> admitted;
    // Where the search works now: each folder as it is listed, then each
    // item as its size is measured.
    std::function<void(const QString& path)> searching;
    // An item's size, once measured; after every admitted() call. Not called
    // for an item whose measurement was stopped.
    std::function<void(const QString& url, qint64 size)> measured;
};

class Scanner {
public:
    // Finds installer files: name keys and a folder path ending in "/".
    using InstallerSource =
        std::function<QStringList(const QStringList& names, const QString& folder)>;

    // A Linux application is searched for in the running user's folders.
    explicit Scanner(SearchRoots roots);
    Scanner(SearchRoots roots, LinuxRoots linuxRoots);

    // Replaceable; by default findInstallers (InstallerSearch.h).
    InstallerSource installerSource;
    // When false, relatedFiles leaves every size at 0 and walks no folder
    // (for callers that only need the list, and for timing the search alone).
    bool measureSizes = true;

    // The bundle itself first, then its leftovers in result order. A bundle
    // folder is searched for in the Library folders, the receipts, the
    // temporary folders and Downloads, and competes with the bundle folders
    // among the competitors only; a Linux application (source other than
    // bundle) in the Linux folders (LinuxSearch), against every competitor.
    QList<FoundFile> relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                  bool includeInstallers) const;
    // The same search, told to the observer as it goes. When stop is
    // requested it stops at the next entry (folders being measured stop
    // within theirs) and returns what it admitted until then, in result
    // order, with the sizes measured until then (0 for the others).
    QList<FoundFile> relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                  bool includeInstallers, const ScanObserver& observer,
                                  const std::stop_token& stop = {}) const;

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

    // Fills in the size of every file, spreading the walks over the cores;
    // tells the observer where it measures and what it measured, and stops
    // early (leaving sizes unmeasured) when stop is requested.
    static void fillSizes(QList<FoundFile>& files, const ScanObserver& observer = {},
                          const std::stop_token& stop = {});

private:
    SearchRoots roots_;
    LinuxRoots linuxRoots_;
};

} // namespace moss
