#include "Scanner.h"

#include "InstallerSearch.h"
#include "LaunchJobs.h"
#include "LinuxLocations.h"
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
#include <utility>

namespace moss {

Scanner::Scanner(SearchRoots roots) : roots_(std::move(roots)) {
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

// The working state of one relatedFiles call.
class Search {
public:
    Search(const Scanner& scanner, const AppBundle& bundle, const QList<AppBundle>& competitors,
           const QStringList& userTemp)
        : scanner_(scanner), bundle_(bundle), own_(Scanner::matcherFor(bundle)),
          appPath_(bundle.url), appPrefix_(bundle.url + u'/'),
          appleOwned_(bundle.bundleIdentifier &&
                      SystemPaths::isVendorIdentifier(*bundle.bundleIdentifier)),
          currentUser_(fs::currentUser()) {
        QSet<QString> ownIdentifiers;
        for (const QString& identifier : bundle.allIdentifiers())
            ownIdentifiers.insert(identifier.toLower());
        for (const AppBundle& competitor : competitors) {
            if (competitor.url == bundle.url ||
                ownIdentifiers.contains(competitor.bundleIdentifier.value_or(QString()).toLower()))
                continue;
            competitors_.append(Scanner::matcherFor(competitor));
        }
        for (const QString& folder : userTemp)
            userTemp_.insert(fs::standardized(folder));
        // The bundle is reported once, as the first item, under whatever
        // path a searched folder reaches it.
        if (const std::optional<fs::EntryStatus> status = fs::entryStatus(bundle.url))
            admittedObjects_.insert(objectKey(*status));
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
        // One item per file-system object: a folder reached through two
        // searched paths (a temporary folder that is a link to another one)
        // is admitted once, under the path that reached it first.
        const std::optional<fs::EntryStatus> status = fs::entryStatus(url);
        if (status && admittedObjects_.contains(objectKey(*status)))
            return;
        // Another user's entry in a per-user temporary folder, or in any
        // sticky folder, is not this user's leftover: it may have been put
        // there to be removed in their name.
        if (mustBeOwn(fs::parentPath(url)) && (!status || status->owner != currentUser_))
            return;
        if (status)
            admittedObjects_.insert(objectKey(*status));
        admitted_.insert(url);
        found_.append(FoundFile{std::move(url), category, 0, needsAdmin, selected});
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
    const Matcher own_;
    QList<Matcher> competitors_;
    const QString appPath_;
    const QString appPrefix_;
    const bool appleOwned_;
    const uint currentUser_;
    QSet<QString> userTemp_;
    QHash<QString, bool> stickyFolders_;
    QSet<QPair<quint64, quint64>> admittedObjects_;
    QSet<QString> admitted_;
    QList<FoundFile> found_;
};

} // namespace

QList<FoundFile> Scanner::relatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                       bool includeInstallers) const {
    const InstallerSource source = installerSource;
    Search search(*this, bundle, competitors, roots_.userTemp);
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
