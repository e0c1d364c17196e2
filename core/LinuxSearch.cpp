#include "LinuxSearch.h"

#include "LinuxApps.h"
#include "platform/FileSystem.h"

#include <QSet>
#include <algorithm>

namespace moss {

using namespace Qt::StringLiterals;
using Rule = LinuxLocation::Rule;

namespace {

// Flatpak's exports are a few folders deep: share/icons/hicolor/SIZE/apps.
constexpr int maxExportDepth = 6;
constexpr qint64 maxUnitSize = 1024 * 1024;

bool isUnitTrigger(const QString& name) {
    const QString extension = fs::pathExtension(name);
    return extension == u"timer" || extension == u"socket";
}

// The links below folder (not followed) whose target lies in the app folder
// of the Flatpak `id`: ../../app/ID/current/active/export/...
void collectExports(const QString& folder, const QString& id, int depth, QStringList& links) {
    const std::optional<QStringList> entries = fs::listDirectory(folder);
    if (!entries)
        return;
    const QString marker = u"/app/"_s + id + u'/';
    for (const QString& name : *entries) {
        const QString path = fs::appending(folder, name);
        if (const std::optional<QString> target = fs::symlinkTarget(path)) {
            if ((u'/' + *target).contains(marker))
                links.append(path);
        } else if (depth < maxExportDepth && fs::isRealDirectory(path)) {
            collectExports(path, id, depth + 1, links);
        }
    }
}

// The Flatpak ID of a user installation's application: app/ID/ARCH/BRANCH.
QString flatpakId(const AppBundle& app) {
    const QStringList parts = app.package.split(u'/');
    return parts.size() >= 2 && parts[0] == u"app" ? parts[1] : QString();
}

} // namespace

LinuxSearch::LinuxSearch(const AppBundle& app, const Matcher& own, const LinuxRoots& roots)
    : app_(app), own_(own), roots_(roots), applicationItem_(applicationItemOf(app, roots)),
      mentionKeys_(LinuxApps::mentionKeys(app)), snapNames_(LinuxApps::snapNames(app)) {}

FoundFile LinuxSearch::applicationItemOf(const AppBundle& app, const LinuxRoots& roots) {
    const FoundFile own{app.url, FileCategory::bundle, 0, !fs::isWritable(fs::parentPath(app.url)),
                        true};
    // An entry in the user's own folder is the user's, whatever it starts.
    if (fs::parentPath(app.url) == fs::appending(roots.dataHome, u"applications"_s) &&
        app.source != AppSource::flatpakUser)
        return own;
    switch (app.source) {
    case AppSource::flatpakUser: {
        const QString id = flatpakId(app);
        const QString folder = fs::appending(roots.flatpakUser(), u"app/"_s + id);
        if (!id.isEmpty() && !id.contains(u'/') && fs::isRealDirectory(folder))
            return {folder, FileCategory::bundle, 0, !fs::isWritable(fs::parentPath(folder)), true};
        break; // no app folder: the entry is all there is
    }
    case AppSource::flatpakSystem:
    case AppSource::snap:
    case AppSource::debianPackage:
    case AppSource::systemEntry:
        // Its package system owns the entry and removes it with the package.
        return {app.url, FileCategory::bundle, 0, true, false};
    case AppSource::appImage:
    case AppSource::localEntry:
    case AppSource::bundle:
        break;
    }
    return own;
}

void LinuxSearch::run(const Host& host, bool includeInstallers) const {
    const LinuxLocations::NeverOffered never(roots_);
    for (const LinuxLocation& row : LinuxLocations::table()) {
        if (row.rule == Rule::installers && !includeInstallers)
            continue;
        for (const QString& folder : LinuxLocations::folders(row, roots_)) {
            if (host.stopped())
                return;
            host.searching(folder);
            if (row.rule == Rule::installers)
                searchInstallers(folder, host);
            else
                searchFolder(folder, row, never, host);
        }
    }
    if (app_.source == AppSource::flatpakUser && !host.stopped())
        admitFlatpakExports(host);
}

void LinuxSearch::searchFolder(const QString& folder, const LinuxLocation& row,
                               const LinuxLocations::NeverOffered& never, const Host& host) const {
    const std::optional<QStringList> entries = fs::listDirectory(folder);
    if (!entries || entries->isEmpty())
        return;
    // The units admitted, with their reasons, for the timers and sockets
    // that start them.
    QHash<QString, FoundReason> admittedUnits;
    QList<std::pair<QString, std::optional<Claim>>> triggers;
    for (const QString& name : *entries) {
        if (host.stopped())
            return;
        const std::optional<QString> judged = LinuxLocations::judgedName(row, name);
        if (!judged)
            continue;
        const QString path = fs::appending(folder, name);
        std::optional<Claim> claim = claimOf(row, *judged, path);
        // Only a Snap of that very name has its folder in ~/snap.
        if (row.rule != Rule::snapName)
            claim = host.settle(*judged, std::move(claim));
        if (row.rule == Rule::userUnit && isUnitTrigger(name)) {
            triggers.append({name, std::move(claim)});
            continue;
        }
        if (!claim || never.contains(path) || holdsApplication(path))
            continue;
        if (host.admit(path, row.category, false, claim->reason) && row.rule == Rule::userUnit)
            admittedUnits.insert(name, claim->reason);
    }
    // A timer or socket goes with the service it starts, ticked as that is.
    for (const auto& [name, claim] : std::as_const(triggers)) {
        const QString path = fs::appending(folder, name);
        if (never.contains(path))
            continue;
        const std::optional<QByteArray> unit = fs::readFile(path, maxUnitSize);
        const std::optional<QString> started =
            unit ? LinuxLocations::triggeredUnit(name, *unit) : std::nullopt;
        if (started && admittedUnits.contains(*started)) {
            const FoundReason& service = admittedUnits.value(*started);
            host.admit(path, row.category, false,
                       FoundReason{FoundReason::Match::unitTrigger, *started, service.doubt,
                                   service.rival});
        } else if (claim) {
            host.admit(path, row.category, false, claim->reason);
        }
    }
}

void LinuxSearch::searchInstallers(const QString& folder, const Host& host) const {
    for (const QString& name : fs::listDirectory(folder).value_or(QStringList())) {
        if (host.stopped())
            return;
        const std::optional<QString> stem = LinuxLocations::installerStem(name);
        if (const std::optional<QString> key = stem ? installerKey(*stem) : std::nullopt)
            host.admit(fs::appending(folder, name), FileCategory::installers, false,
                       FoundReason{
                           FoundReason::Match::installer, *key, FoundReason::Doubt::installer, {}});
    }
}

// An installer is named after the application, with any tail (a version, an
// architecture): by a name key or an identifier (ID.flatpakref), or by a
// whole name or a Snap's name, alone or followed by a version.
std::optional<QString> LinuxSearch::installerKey(const QString& stem) const {
    if (std::optional<QString> name = own_.matchingName(stem))
        return name;
    if (const std::optional<Matcher::Match> identifier = own_.explain(stem, false))
        return identifier->key;
    const QString lower = stem.toLower();
    const auto versioned = [&lower](const QString& name) {
        const qsizetype n = name.size();
        return lower == name.toLower() ||
               (lower.size() > n + 1 && lower.startsWith(name.toLower()) &&
                QStringView(u"-_ .").contains(lower.at(n)) && lower.at(n + 1).isDigit());
    };
    for (const QStringList* names : {&own_.exactNames(), &snapNames_}) {
        const auto name = std::find_if(names->cbegin(), names->cend(), versioned);
        if (name != names->cend())
            return *name;
    }
    return std::nullopt;
}

void LinuxSearch::admitFlatpakExports(const Host& host) const {
    const QString id = flatpakId(app_);
    if (id.isEmpty() || applicationItem_.url == app_.url)
        return;
    QStringList links;
    collectExports(fs::appending(roots_.flatpakUser(), u"exports"_s), id, 0, links);
    for (const QString& link : std::as_const(links))
        host.admit(link, FileCategory::other, false,
                   FoundReason{FoundReason::Match::identifier, id, FoundReason::Doubt::none, {}});
}

std::optional<Claim> LinuxSearch::claimOf(const LinuxLocation& row, const QString& judged,
                                          const QString& path) const {
    using Match = FoundReason::Match;
    switch (row.rule) {
    case Rule::idOrName:
    case Rule::dotEntry:
        return claimFrom(own_.explain(judged, true), own_);
    case Rule::idOnly:
        return claimFrom(own_.explain(judged, false), own_);
    case Rule::snapName:
        if (!snapNames_.contains(judged))
            return std::nullopt;
        return Claim{Strength::strong, FoundReason{Match::name, judged, {}, {}}};
    case Rule::autostart:
    case Rule::userUnit:
    case Rule::nativeMessaging:
        // Named after an identifier, or running the application.
        if (std::optional<Claim> byIdentifier = claimFrom(own_.explain(judged, false), own_))
            return byIdentifier;
        if (const std::optional<LinuxLocations::Mention> mention =
                LinuxLocations::fileMention(path, row.rule, mentionKeys_, roots_)) {
            const bool program = mention->kind == LinuxLocations::Mention::Kind::program;
            return Claim{
                Strength::strong,
                FoundReason{
                    program ? Match::launchProgram : Match::launchBundle, mention->text, {}, {}}};
        }
        return std::nullopt;
    case Rule::installers:
        break;
    }
    return std::nullopt;
}

bool LinuxSearch::holdsApplication(const QString& path) const {
    return applicationItem_.url.startsWith(path + u'/');
}

} // namespace moss
