#include "Scanner.h"

#include "Claim.h"
#include "InstallerSearch.h"
#include "LaunchJobs.h"
#include "LinuxLocations.h"
#include "LinuxSearch.h"
#include "Logging.h"
#include "SystemPaths.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <mutex>
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

const QSet<QString>& Scanner::reservedNames() {
    static const QSet<QString> names = [] {
        QSet<QString> reserved{QStringLiteral("library"), QStringLiteral("downloads")};
        const auto addComponents = [&reserved](const QString& path) {
            for (const QString& component : path.split(u'/', Qt::SkipEmptyParts))
                if (component != u"*")
                    reserved.insert(component.toLower());
        };
        for (const Location& location : libraryLocations())
            addComponents(location.path);
        for (const LinuxLocation& location : LinuxLocations::table()) {
            // A native-messaging folder lies inside one browser's own folder
            // (~/.config/chromium/NativeMessagingHosts), which is that
            // browser's leftover and stays a key of it: only the messaging
            // folder itself is reserved.
            if (location.rule == LinuxLocation::Rule::nativeMessaging)
                addComponents(fs::lastComponent(location.path));
            else
                addComponents(location.path);
        }
        return reserved;
    }();
    return names;
}

Matcher Scanner::matcherFor(const AppBundle& bundle) {
    return Matcher(bundle, reservedNames());
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

void Scanner::fillSizes(QList<FoundFile>& files, const ScanObserver& observer,
                        const std::stop_token& stop) {
    // One walk per item on the global pool. A caller that is itself one of
    // the pool's threads (a search started with QtConcurrent::run) only
    // waits meanwhile, so it lends its place to the walks.
    QThreadPool* const pool = QThreadPool::globalInstance();
    const bool onPool = pool->contains(QThread::currentThread());
    if (onPool)
        pool->releaseThread();
    std::mutex telling; // the observer's calls never overlap
    QtConcurrent::blockingMap(files, [&](FoundFile& file) {
        if (stop.stop_requested())
            return;
        if (observer.searching) {
            const std::lock_guard lock(telling);
            observer.searching(file.url);
        }
        const std::optional<qint64> size = fs::allocatedSize(file.url, stop);
        if (!size)
            return;
        file.size = *size;
        if (observer.measured) {
            const std::lock_guard lock(telling);
            observer.measured(file.url, file.size);
        }
    });
    if (onPool)
        pool->reserveThread();
}

// ---------------------------------------------------------------------------
// Related files

namespace {

using Strength = Matcher::Strength;
using Match = FoundReason::Match;
using Doubt = FoundReason::Doubt;

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
    const bool needsAdmin = !fs::isWritable(fs::parentPath(bundle.url));
    return FoundFile{bundle.url, FileCategory::bundle, 0, needsAdmin, true, {}};
}

Claim claimFrom(const LaunchJobMention& mention) {
    Match match = Match::launchLabel;
    switch (mention.field) {
    case LaunchJobMention::Field::label:
        break;
    case LaunchJobMention::Field::program:
        match = Match::launchProgram;
        break;
    case LaunchJobMention::Field::associatedBundle:
        match = Match::launchBundle;
        break;
    }
    return Claim{Strength::strong, FoundReason{match, mention.text, Doubt::none, {}}};
}

// Another installed bundle, as the judge weighs it.
struct Rival {
    Matcher matcher;
    QString displayName;
};

// The working state of one relatedFiles call.
class Search {
public:
    Search(const Scanner& scanner, const AppBundle& bundle, const QList<AppBundle>& competitors,
           const QStringList& userTemp, const LinuxRoots& linuxRoots, const ScanObserver& observer,
           const std::stop_token& stop)
        : scanner_(scanner), bundle_(bundle), linux_(isLinuxApplication(bundle)),
          own_(Scanner::matcherFor(bundle)), bundleItem_(leadItem(bundle, linuxRoots)),
          appPath_(bundleItem_.url), appPrefix_(bundleItem_.url + u'/'),
          appleOwned_(bundle.bundleIdentifier &&
                      SystemPaths::isVendorIdentifier(*bundle.bundleIdentifier)),
          currentUser_(fs::currentUser()), observer_(observer), stop_(stop) {
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
            rivals_.append(Rival{Scanner::matcherFor(competitor), competitor.displayName});
            // Another application's own entry or AppImage is never a leftover.
            if (linux_)
                otherApplications_.insert(competitor.url);
        }
        for (const QString& folder : userTemp)
            userTemp_.insert(fs::standardized(folder));
        // The application is reported once, as the first item, under
        // whatever path a searched folder reaches it.
        if (const std::optional<fs::EntryStatus> status = fs::entryStatus(bundleItem_.url))
            admittedObjects_.insert(objectKey(*status));
        if (observer_.admitted)
            observer_.admitted(bundleItem_);
    }

    bool stopped() const { return stop_.stop_requested(); }

    void searchLinux(const LinuxRoots& roots, bool includeInstallers) {
        const LinuxSearch search(bundle_, own_, roots);
        const LinuxSearch::Host host{
            [this](const QString& name, std::optional<Claim> claim) {
                return settle(name, std::move(claim));
            },
            [this](const QString& path, FileCategory category, bool needsAdmin,
                   FoundReason reason) {
                return admit(path, category, needsAdmin, std::move(reason));
            },
            [this] { return stopped(); },
            [this](const QString& folder) { tellSearching(folder); },
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
        if (stopped())
            return;
        const QString downloads =
            fs::appending(fs::standardized(home), QStringLiteral("Downloads"));
        tellSearching(downloads);
        for (const QString& candidate : source(own_.names(), downloads + u'/')) {
            if (stopped())
                return;
            const QString stem = fs::deletingExtension(fs::lastComponent(candidate));
            if (const std::optional<QString> name = own_.matchingName(stem))
                admit(candidate, FileCategory::installers, false,
                      FoundReason{Match::installer, *name, Doubt::installer, {}});
        }
    }

    // The bundle item first, then the admitted items in result order, sized
    // when asked to.
    QList<FoundFile> result(bool sized) {
        sortByResultOrder(found_);
        found_.prepend(bundleItem_);
        if (sized && !stopped())
            Scanner::fillSizes(found_, observer_, stop_);
        return std::move(found_);
    }

private:
    void tellSearching(const QString& folder) const {
        if (observer_.searching)
            observer_.searching(folder);
    }

    void searchLocation(const QString& folder, const Location& location, bool isSystem) {
        if (stopped())
            return;
        tellSearching(folder);
        const std::optional<QStringList> entries = listed(folder);
        if (!entries || entries->isEmpty())
            return;
        std::optional<bool> folderNeedsAdmin; // asked once, when something is admitted
        for (const QString& name : *entries) {
            if (stopped())
                return;
            std::optional<Claim> claim = settle(name, claimOf(folder, name, location));
            if (!claim)
                continue;
            if (!folderNeedsAdmin)
                folderNeedsAdmin = isSystem && !fs::isWritable(folder);
            admit(fs::appending(folder, name), location.category, *folderNeedsAdmin,
                  std::move(claim->reason));
        }
    }

    void searchByIdentifier(const QString& folder, FileCategory category, bool needsAdmin) {
        if (stopped())
            return;
        tellSearching(folder);
        const std::optional<QStringList> entries = listed(folder);
        if (!entries)
            return;
        for (const QString& name : *entries) {
            if (stopped())
                return;
            std::optional<Claim> claim = settle(name, claimFrom(own_.explain(name, false), own_));
            if (claim)
                admit(fs::appending(folder, name), category, needsAdmin, std::move(claim->reason));
        }
    }

    std::optional<Claim> claimOf(const QString& folder, const QString& name,
                                 const Location& location) const {
        switch (location.rule) {
        case Location::Rule::idOrName:
            return claimFrom(own_.explain(name, true), own_);
        case Location::Rule::idOnly:
            return claimFrom(own_.explain(name, false), own_);
        case Location::Rule::groupContainers:
            return claimFrom(own_.explainGroupContainer(name), own_);
        case Location::Rule::launchd:
            if (std::optional<Claim> byName = claimFrom(own_.explain(name, false), own_))
                return byName;
            if (const std::optional<LaunchJobMention> mention =
                    launchJobMention(fs::appending(folder, name), own_, appPath_))
                return claimFrom(*mention);
            return std::nullopt;
        case Location::Rule::receipts:
        case Location::Rule::installers:
            return std::nullopt;
        }
        return std::nullopt;
    }

    // Settles a claim against the competing bundles: a more specific
    // identifier claim takes the entry away; a strong name claim of another
    // bundle weakens an entry claimed by name only, which then names that
    // bundle. Editions of one product share a normalised identifier; their
    // identifiers as written settle the tie.
    std::optional<Claim> settle(const QString& name, std::optional<Claim> claim) const {
        if (!claim || rivals_.isEmpty())
            return claim;
        const int own = own_.identifierMatchLength(name);
        std::optional<int> ownExact;
        for (const Rival& rival : rivals_) {
            const Matcher& competitor = rival.matcher;
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
                if (linux_ && claim->strength == Strength::weak)
                    return std::nullopt;
                claim->strength = Strength::weak;
                claim->reason.doubt = Doubt::otherClaim;
                claim->reason.rival = rival.displayName;
                return claim;
            }
        }
        return claim;
    }

    // Admits an item; it is ticked by default unless its reason doubts it.
    bool admit(const QString& path, FileCategory category, bool needsAdmin, FoundReason reason) {
        QString url = fs::standardized(path);
        if (url == appPath_ || url.startsWith(appPrefix_) || admitted_.contains(url) ||
            scanner_.isProtectedPath(url, appleOwned_) || insideAdmitted(url) ||
            otherApplications_.contains(url))
            return false;
        // One item per file-system object: a folder reached through two
        // searched paths (a temporary folder that is a link to another one)
        // is admitted once, under the path that reached it first.
        const std::optional<fs::EntryStatus> status = fs::entryStatus(url);
        if (status && admittedObjects_.contains(objectKey(*status)))
            return false;
        // Another user's entry in a per-user temporary folder, or in any
        // sticky folder, is not this user's leftover: it may have been put
        // there to be removed in their name.
        if (mustBeOwn(fs::parentPath(url)) && (!status || status->owner != currentUser_))
            return false;
        if (status)
            admittedObjects_.insert(objectKey(*status));
        admitted_.insert(url);
        const bool selected = reason.doubt == Doubt::none;
        found_.append(
            FoundFile{std::move(url), category, 0, needsAdmin, selected, std::move(reason)});
        if (observer_.admitted)
            observer_.admitted(found_.constLast());
        return true;
    }

    static QPair<quint64, quint64> objectKey(const fs::EntryStatus& status) {
        return {status.device, status.inode};
    }

    // Whether only the current user's entries of the folder are offered: a
    // per-user temporary folder, or a sticky one. Asked once per folder.
    bool mustBeOwn(const QString& folder) {
        if (userTemp_.contains(folder))
            return true;
        auto known = stickyFolders_.constFind(folder);
        if (known == stickyFolders_.cend()) {
            const std::optional<fs::EntryStatus> status = fs::entryStatus(folder, true);
            known = stickyFolders_.insert(folder, status && status->sticky);
        }
        return *known;
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
    // The bundle, or what stands for a Linux application.
    const FoundFile bundleItem_;
    QList<Rival> rivals_;
    const QString appPath_;
    const QString appPrefix_;
    const bool appleOwned_;
    const uint currentUser_;
    const ScanObserver& observer_;
    const std::stop_token& stop_;
    QSet<QString> userTemp_;
    QHash<QString, bool> stickyFolders_;
    QSet<QPair<quint64, quint64>> admittedObjects_;
    QSet<QString> admitted_;
    QSet<QString> otherApplications_; // their locations, for a Linux application
    QList<FoundFile> found_;
};

} // namespace

QList<FoundFile> Scanner::relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                       bool includeInstallers) const {
    return relatedFiles(bundle, competitors, includeInstallers, ScanObserver());
}

QList<FoundFile> Scanner::relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                       bool includeInstallers, const ScanObserver& observer,
                                       const std::stop_token& stop) const {
    const InstallerSource source = installerSource;
    Search search(*this, bundle, competitors, roots_.userTemp, linuxRoots_, observer, stop);
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
