#include "LinuxSearch.h"

#include "LinuxApps.h"
#include "PackageRemoval.h"
#include "platform/FileSystem.h"

#include <QSet>
#include <algorithm>

namespace moss {

using namespace Qt::StringLiterals;
using Rule = LinuxLocation::Rule;

namespace {

constexpr qint64 maxUnitSize = 1024 * 1024;

bool isUnitTrigger(const QString& name) {
    const QString extension = fs::pathExtension(name);
    return extension == u"timer" || extension == u"socket";
}

} // namespace

LinuxSearch::LinuxSearch(const AppBundle& app, const Matcher& own, const LinuxRoots& roots)
    : app_(app), own_(own), roots_(roots), applicationItem_(applicationItemOf(app, roots)),
      mentionKeys_(LinuxApps::mentionKeys(app)), snapNames_(LinuxApps::snapNames(app)) {}

FoundFile LinuxSearch::applicationItemOf(const AppBundle& app, const LinuxRoots& roots) {
    const ApplicationRemoval removal = PackageRemoval::of(app, roots);
    // What its package system removes stays unticked and cannot be ticked.
    const bool ours = removal.way != ApplicationRemoval::Way::elsewhere;
    const bool needsAdmin = !ours || !fs::isWritable(fs::parentPath(removal.item));
    return {removal.item, FileCategory::bundle, 0, needsAdmin, ours};
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
        // A Snap's instance name is its identity, as an identifier is.
        if (!snapNames_.contains(judged))
            return std::nullopt;
        return Claim{Strength::strong, FoundReason{Match::identifier, judged, {}, {}}};
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
