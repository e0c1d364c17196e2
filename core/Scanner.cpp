#include "Scanner.h"

#include "InstallerSearch.h"
#include "LaunchJobs.h"
#include "LinuxSearch.h"
#include "Logging.h"
#include "SystemPaths.h"
#include "platform/FileSystem.h"

#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <utility>

namespace moss {

Scanner::Scanner(SearchRoots roots) : Scanner(std::move(roots), LinuxRoots::live()) {}

Scanner::Scanner(SearchRoots roots, LinuxRoots linuxRoots)
    : roots_(std::move(roots)), linuxRoots_(std::move(linuxRoots)) {
    // Reads no scanner state, so the default source holds no reference to it.
    installerSource = [](const QStringList& names, const QString& folder) {
        return findInstallers(names, folder);
    };
}

bool Scanner::isProtectedPath(const QString& url, bool appleOwned) const {
    return SystemPaths::isProtectedLeftover(url, appleOwned);
}

bool Scanner::launchdMentions(const QString& file, const Matcher& matcher,
                              const QString& appPath) const {
    return launchJobMentions(file, matcher, appPath);
}

// ---------------------------------------------------------------------------
// Sizes

qint64 Scanner::allocatedSize(const QString& url) {
    return fs::allocatedSize(url);
}

void Scanner::fillSizes(QList<FoundFile>& files) {
    // One walk per item on the global pool. A caller that is itself one of
    // the pool's threads (a search started with QtConcurrent::run) only
    // waits meanwhile, so it lends its place to the walks.
    QThreadPool* const pool = QThreadPool::globalInstance();
    const bool onPool = pool->contains(QThread::currentThread());
    if (onPool)
        pool->releaseThread();
    QtConcurrent::blockingMap(
        files, [](FoundFile& file) { file.size = Scanner::allocatedSize(file.url); });
    if (onPool)
        pool->reserveThread();
}

// ---------------------------------------------------------------------------
// Related files

namespace {

using Strength = Matcher::Strength;

// The entries of a searched folder; nothing when it cannot be listed, which
// is worth a word only when the folder is there (most locations are not).
std::optional<QStringList> listed(const QString& folder) {
    std::optional<QStringList> entries = fs::listDirectory(folder);
    if (!entries && lcScan().isDebugEnabled() && fs::exists(folder))
        qCDebug(lcScan).noquote() << "Cannot list" << folder;
    return entries;
}

bool isLinuxApplication(const AppBundle& bundle) {
    return bundle.source != AppSource::bundle;
}

// The file name of a desktop entry, which is its desktop-file ID for the
// entries directly in an application folder; empty for other records.
QString desktopFileName(const AppBundle& bundle) {
    if (!isLinuxApplication(bundle) || bundle.source == AppSource::appImage)
        return {};
    return fs::lastComponent(bundle.url);
}

// The first item of the result: the bundle, or what stands for a Linux
// application.
FoundFile leadItem(const AppBundle& bundle, const LinuxRoots& linuxRoots) {
    if (isLinuxApplication(bundle))
        return LinuxSearch::applicationItemOf(bundle, linuxRoots);
    return FoundFile{bundle.url, FileCategory::bundle, 0, false, true};
}

// The working state of one relatedFiles call.
class Search {
public:
    Search(const Scanner& scanner, const AppBundle& bundle, const QList<AppBundle>& competitors,
           const LinuxRoots& linuxRoots)
        : scanner_(scanner), bundle_(bundle), linux_(isLinuxApplication(bundle)), own_(bundle),
          lead_(leadItem(bundle, linuxRoots)), appPath_(lead_.url), appPrefix_(lead_.url + u'/'),
          appleOwned_(bundle.bundleIdentifier &&
                      SystemPaths::isVendorIdentifier(*bundle.bundleIdentifier)) {
        QSet<QString> ownIdentifiers;
        for (const QString& identifier : bundle.allIdentifiers())
            ownIdentifiers.insert(identifier.toLower());
        const QString ownEntry = desktopFileName(bundle);
        for (const AppBundle& competitor : competitors) {
            // A bundle is judged against bundles only, as it always was.
            if (!linux_ && isLinuxApplication(competitor))
                continue;
            if (competitor.url == bundle.url ||
                ownIdentifiers.contains(competitor.bundleIdentifier.value_or(QString()).toLower()))
                continue;
            // Another entry of the same desktop-file ID is the same
            // application (a user's copy of a system entry).
            if (!ownEntry.isEmpty() && desktopFileName(competitor) == ownEntry)
                continue;
            competitors_.append(Matcher(competitor));
            // Another application's own entry or AppImage is never a leftover.
            if (linux_)
                otherApplications_.insert(competitor.url);
        }
    }

    void searchLinux(const LinuxRoots& roots, bool includeInstallers) {
        const LinuxSearch search(bundle_, own_, roots);
        const LinuxSearch::Host host{
            [this](const QString& name, std::optional<Strength> strength) {
                return settle(name, strength);
            },
            [this](const QString& path, FileCategory category, bool needsAdmin, bool selected) {
                return admit(path, category, needsAdmin, selected);
            },
        };
        search.run(host, includeInstallers);
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
        if (!linux_)
            lead_.needsAdmin = !fs::isWritable(fs::parentPath(bundle_.url));
        found_.prepend(lead_);
        if (sized)
            Scanner::fillSizes(found_);
        return std::move(found_);
    }

private:
    void searchLocation(const QString& folder, const Location& location, bool isSystem) {
        const std::optional<QStringList> entries = listed(folder);
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
        const std::optional<QStringList> entries = listed(folder);
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
                // A Linux application's own weak claim yields to another's
                // strong one: the entry is the other's.
                if (linux_ && *strength == Strength::weak)
                    return std::nullopt;
                return Strength::weak;
            }
        }
        return strength;
    }

    bool admit(const QString& path, FileCategory category, bool needsAdmin, bool selected) {
        QString url = fs::standardized(path);
        if (url == appPath_ || url.startsWith(appPrefix_) || admitted_.contains(url) ||
            scanner_.isProtectedPath(url, appleOwned_) || insideAdmitted(url) ||
            otherApplications_.contains(url))
            return false;
        admitted_.insert(url);
        found_.append(FoundFile{std::move(url), category, 0, needsAdmin, selected});
        return true;
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
    const bool linux_;
    const Matcher own_;
    FoundFile lead_;
    QList<Matcher> competitors_;
    const QString appPath_;
    const QString appPrefix_;
    const bool appleOwned_;
    QSet<QString> admitted_;
    QSet<QString> otherApplications_; // their locations, for a Linux application
    QList<FoundFile> found_;
};

} // namespace

QList<FoundFile> Scanner::relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                       bool includeInstallers) const {
    const InstallerSource source = installerSource;
    Search search(*this, bundle, competitors, linuxRoots_);
    if (isLinuxApplication(bundle)) {
        search.searchLinux(linuxRoots_, includeInstallers);
        return search.result(measureSizes);
    }
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
