#include "LibraryLocations.h"

#include "platform/FileSystem.h"

namespace moss {

SearchRoots SearchRoots::live() {
    const QString home = fs::homePath();
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!cache.startsWith(u'/')) // unset, empty or relative: the default applies
        cache = fs::appending(home, QStringLiteral(".cache"));
    return SearchRoots{home, {QStringLiteral("/")}, {fs::tempPath(), fs::standardized(cache)}};
}

const QList<Location>& libraryLocations() {
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

} // namespace moss
