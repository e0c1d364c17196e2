#include "LibraryLocations.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;
using moss::test::Sandbox;

TEST(SearchRootsTest, LiveDescribesTheRunningUser) {
    Sandbox sandbox;
    sandbox.activate();
    SearchRoots roots = SearchRoots::live();
    EXPECT_EQ(roots.home, sandbox.home());
    EXPECT_EQ(roots.system, QStringList{u"/"_s});
    EXPECT_EQ(roots.userTemp, (QStringList{sandbox.path(u"tmp"_s), sandbox.home() + u"/.cache"_s}));

    qputenv("XDG_CACHE_HOME", fs::encodePath(sandbox.path(u"cache"_s)));
    EXPECT_EQ(SearchRoots::live().userTemp.at(1), sandbox.path(u"cache"_s));
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(SearchRoots::live().userTemp.at(1), sandbox.home() + u"/.cache"_s);
}

TEST(SearchRootsTest, LiveResolvesTheTemporaryFolder) {
    Sandbox sandbox;
    sandbox.activate();
    const QString link = sandbox.symlink(sandbox.path(u"tmp"_s), u"tmplink"_s);
    qputenv("TMPDIR", fs::encodePath(link));
    EXPECT_EQ(SearchRoots::live().userTemp.at(0), sandbox.path(u"tmp"_s));
}

TEST(LibraryLocationsTest, TableRows) {
    const QList<Location>& rows = libraryLocations();
    ASSERT_EQ(rows.size(), 42);
    EXPECT_EQ(&rows, &libraryLocations());

    const auto expectRow = [&](int number, const char* path, FileCategory category,
                               Location::Rule rule, bool userOnly) {
        const Location& row = rows.at(number - 1);
        EXPECT_EQ(row.path, QString::fromUtf8(path)) << number;
        EXPECT_EQ(row.category, category) << number;
        EXPECT_EQ(row.rule, rule) << number;
        EXPECT_EQ(row.userOnly, userOnly) << number;
    };
    using C = FileCategory;
    using R = Location::Rule;
    expectRow(1, "Application Support", C::support, R::idOrName, false);
    expectRow(2, "Application Support/CrashReporter", C::logs, R::idOrName, false);
    expectRow(3, "Application Scripts", C::containers, R::idOnly, true);
    expectRow(4, "Containers", C::containers, R::idOnly, true);
    expectRow(5, "Group Containers", C::containers, R::groupContainers, true);
    expectRow(6, "Daemon Containers", C::containers, R::idOnly, true);
    expectRow(7, "Preferences", C::preferences, R::idOrName, false);
    expectRow(8, "Preferences/ByHost", C::preferences, R::idOnly, true);
    expectRow(9, "SyncedPreferences", C::preferences, R::idOnly, true);
    expectRow(10, "Caches", C::caches, R::idOrName, false);
    expectRow(11, "Caches/com.apple.helpd/Generated", C::caches, R::idOnly, true);
    expectRow(12, "HTTPStorages", C::web, R::idOnly, true);
    expectRow(13, "WebKit", C::web, R::idOrName, true);
    expectRow(14, "Cookies", C::web, R::idOnly, true);
    expectRow(15, "Logs", C::logs, R::idOrName, false);
    expectRow(16, "Logs/DiagnosticReports", C::logs, R::idOrName, false);
    expectRow(17, "Saved Application State", C::savedState, R::idOnly, true);
    expectRow(18, "Autosave Information", C::savedState, R::idOnly, true);
    expectRow(19, "LaunchAgents", C::launch, R::launchd, false);
    expectRow(20, "LaunchDaemons", C::launch, R::launchd, false);
    expectRow(21, "PrivilegedHelperTools", C::launch, R::idOnly, false);
    expectRow(22, "StartupItems", C::launch, R::idOrName, false);
    expectRow(23, "Services", C::plugins, R::idOrName, false);
    expectRow(24, "PreferencePanes", C::plugins, R::idOrName, false);
    expectRow(25, "Internet Plug-Ins", C::plugins, R::idOrName, false);
    expectRow(26, "QuickLook", C::plugins, R::idOrName, false);
    expectRow(27, "Spotlight", C::plugins, R::idOrName, false);
    expectRow(28, "Screen Savers", C::plugins, R::idOrName, false);
    expectRow(29, "Audio/Plug-Ins/HAL", C::plugins, R::idOrName, false);
    expectRow(30, "Audio/Plug-Ins/Components", C::plugins, R::idOrName, false);
    expectRow(31, "Components", C::plugins, R::idOrName, false);
    expectRow(32, "Input Methods", C::plugins, R::idOrName, false);
    expectRow(33, "Mail/Bundles", C::plugins, R::idOrName, false);
    expectRow(34, "Contextual Menu Items", C::plugins, R::idOrName, false);
    expectRow(35, "ColorPickers", C::plugins, R::idOrName, false);
    expectRow(36, "Extensions", C::plugins, R::idOrName, false);
    expectRow(37, "SystemExtensions", C::plugins, R::idOrName, false);
    expectRow(38, "Frameworks", C::other, R::idOnly, false);
    expectRow(39, "Fonts", C::other, R::idOnly, false);
    expectRow(40, "Address Book Plug-Ins", C::plugins, R::idOrName, false);
    expectRow(41, "CoreMediaIO/Plug-Ins/DAL", C::plugins, R::idOrName, false);
    expectRow(42, "Widgets", C::plugins, R::idOrName, false);

    int shared = 0;
    QSet<QString> paths;
    for (const Location& row : rows) {
        shared += row.userOnly ? 0 : 1;
        paths.insert(row.path);
        EXPECT_NE(row.rule, R::receipts);
        EXPECT_NE(row.rule, R::installers);
    }
    EXPECT_EQ(shared, 30);
    EXPECT_EQ(paths.size(), 42);
}

TEST(LibraryLocationsTest, ParentsComeBeforeNestedLocations) {
    const QList<Location>& rows = libraryLocations();
    for (int nested = 0; nested < rows.size(); ++nested) {
        for (int parent = nested + 1; parent < rows.size(); ++parent)
            EXPECT_FALSE(rows.at(nested).path.startsWith(rows.at(parent).path + u'/'))
                << rows.at(nested).path.toStdString();
    }
}
