// The catalogue of installed bundles: folder table, walk depth and extension
// rules, sorting and sections.

#include "Catalog.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace moss;
using moss::test::Sandbox;

namespace {

QVariantMap info(const QString& identifier) {
    return {{QStringLiteral("CFBundleIdentifier"), identifier}};
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QStringList displayNames(const QList<AppBundle>& bundles) {
    QStringList names;
    for (const AppBundle& bundle : bundles)
        names.append(bundle.displayName);
    return names;
}

} // namespace

TEST(CatalogTableTest, FoldersAndTitles) {
    const auto& [userApps, systemApps] = Catalog::folders(BundleKind::Application);
    EXPECT_EQ(userApps, QStringList{QStringLiteral("~/Applications")});
    EXPECT_EQ(systemApps, QStringList{QStringLiteral("/Applications")});

    const auto& [userPlugins, systemPlugins] = Catalog::folders(BundleKind::Plugin);
    ASSERT_EQ(userPlugins.size(), 11);
    ASSERT_EQ(systemPlugins.size(), 12);
    EXPECT_EQ(userPlugins.first(), QStringLiteral("~/Library/PreferencePanes"));
    EXPECT_EQ(userPlugins.at(5), QStringLiteral("~/Library/Mail/Bundles"));
    EXPECT_EQ(userPlugins.last(), QStringLiteral("~/Library/Audio/Plug-Ins/Components"));
    EXPECT_EQ(systemPlugins.first(), QStringLiteral("/Library/PreferencePanes"));
    EXPECT_EQ(systemPlugins.at(10), QStringLiteral("/Library/Audio/Plug-Ins/Components"));
    EXPECT_EQ(systemPlugins.last(), QStringLiteral("/Library/Audio/Plug-Ins/HAL"));
    EXPECT_EQ(
        userPlugins,
        (QStringList{
            QStringLiteral("~/Library/PreferencePanes"), QStringLiteral("~/Library/QuickLook"),
            QStringLiteral("~/Library/Screen Savers"), QStringLiteral("~/Library/Spotlight"),
            QStringLiteral("~/Library/Internet Plug-Ins"), QStringLiteral("~/Library/Mail/Bundles"),
            QStringLiteral("~/Library/Contextual Menu Items"), QStringLiteral("~/Library/Services"),
            QStringLiteral("~/Library/ColorPickers"), QStringLiteral("~/Library/Input Methods"),
            QStringLiteral("~/Library/Audio/Plug-Ins/Components")}));
    EXPECT_EQ(
        systemPlugins,
        (QStringList{
            QStringLiteral("/Library/PreferencePanes"), QStringLiteral("/Library/QuickLook"),
            QStringLiteral("/Library/Screen Savers"), QStringLiteral("/Library/Spotlight"),
            QStringLiteral("/Library/Internet Plug-Ins"), QStringLiteral("/Library/Mail/Bundles"),
            QStringLiteral("/Library/Contextual Menu Items"), QStringLiteral("/Library/Services"),
            QStringLiteral("/Library/ColorPickers"), QStringLiteral("/Library/Input Methods"),
            QStringLiteral("/Library/Audio/Plug-Ins/Components"),
            QStringLiteral("/Library/Audio/Plug-Ins/HAL")}));

    const auto& [userWidgets, systemWidgets] = Catalog::folders(BundleKind::Widget);
    EXPECT_EQ(userWidgets, QStringList{QStringLiteral("~/Library/Widgets")});
    EXPECT_EQ(systemWidgets, QStringList{QStringLiteral("/Library/Widgets")});

    EXPECT_EQ(Catalog::titles(BundleKind::Application),
              std::pair(QStringLiteral("Приложения пользователя"), QStringLiteral("Приложения")));
    EXPECT_EQ(Catalog::titles(BundleKind::Plugin), std::pair(QStringLiteral("Плагины пользователя"),
                                                             QStringLiteral("Системные плагины")));
    EXPECT_EQ(Catalog::titles(BundleKind::Widget), std::pair(QStringLiteral("Виджеты пользователя"),
                                                             QStringLiteral("Системные виджеты")));
}

TEST(FindBundlesTest, ApplicationsTwoLevelsDeepOnlyThroughPlainFolders) {
    Sandbox sandbox;
    const QString apps = sandbox.makeDir(QStringLiteral("Applications"));
    for (const char* path : {"Applications/Top.app", "Applications/Utilities/Terminal.app",
                             "Applications/Utilities/More/X.app", "Applications/Games/Chess.APP",
                             "Applications/Games.localized/Hidden.app", "Applications/.Hidden.app",
                             "Applications/Utilities/.Secret.app", "Applications/Notes.txt/N.app"})
        sandbox.makeDir(QString::fromUtf8(path));
    sandbox.writeFile(QStringLiteral("Applications/Plain"));
    sandbox.writeFile(QStringLiteral("Applications/File.app")); // left for the loader to judge
    sandbox.symlink(apps, QStringLiteral("Applications/Loop"));

    EXPECT_EQ(
        sorted(Catalog::findBundles(apps, BundleKind::Application, 2)),
        sorted({apps + QStringLiteral("/Top.app"), apps + QStringLiteral("/Utilities/Terminal.app"),
                apps + QStringLiteral("/Games/Chess.APP"), apps + QStringLiteral("/File.app")}));
    EXPECT_EQ(sorted(Catalog::findBundles(apps, BundleKind::Application, 1)),
              sorted({apps + QStringLiteral("/Top.app"), apps + QStringLiteral("/File.app")}));
    EXPECT_TRUE(Catalog::findBundles(apps, BundleKind::Application, 0).isEmpty());
    EXPECT_TRUE(Catalog::findBundles(apps, BundleKind::Application, -1).isEmpty());
    EXPECT_TRUE(
        Catalog::findBundles(sandbox.path(QStringLiteral("missing")), BundleKind::Application, 2)
            .isEmpty());
}

TEST(FindBundlesTest, PluginAndWidgetExtensions) {
    Sandbox sandbox;
    const QString panes = sandbox.makeDir(QStringLiteral("PreferencePanes"));
    for (const char* path :
         {"PreferencePanes/A.prefPane", "PreferencePanes/B.wdgt", "PreferencePanes/C.qlgenerator",
          "PreferencePanes/D.app", "PreferencePanes/Sub/E.prefPane"})
        sandbox.makeDir(QString::fromUtf8(path));
    EXPECT_EQ(sorted(Catalog::findBundles(panes, BundleKind::Plugin, 1)),
              sorted({panes + QStringLiteral("/A.prefPane"), panes + QStringLiteral("/B.wdgt"),
                      panes + QStringLiteral("/C.qlgenerator")}));
    EXPECT_EQ(Catalog::findBundles(panes, BundleKind::Widget, 1),
              QStringList{panes + QStringLiteral("/B.wdgt")});
}

TEST(CatalogScanTest, SortsByDisplayNameAndDropsNonBundles) {
    Sandbox sandbox;
    sandbox.activate();
    sandbox.makeBundle(QStringLiteral("home/Applications/Beta.app"), info(QStringLiteral("org.b")));
    sandbox.makeBundle(QStringLiteral("home/Applications/Sub/alpha.app"),
                       info(QStringLiteral("org.a")));
    sandbox.makeBundle(QStringLiteral("home/Applications/Gamma.app"), {}); // no Info.plist
    sandbox.writePlist(QStringLiteral("home/Applications/Delta.app/Contents/Info.plist"), {});
    sandbox.makeBundle(QStringLiteral("home/Applications/Яблоко.app"),
                       info(QStringLiteral("org.y")));
    sandbox.makeBundle(QStringLiteral("other/Beta.app"), info(QStringLiteral("org.b2")));

    const QList<AppBundle> bundles =
        Catalog::scan({QStringLiteral("~/Applications"), sandbox.path(QStringLiteral("other"))},
                      BundleKind::Application);
    // Russian collation puts Cyrillic before Latin.
    EXPECT_EQ(displayNames(bundles), (QStringList{QStringLiteral("Яблоко"), QStringLiteral("alpha"),
                                                  QStringLiteral("Beta"), QStringLiteral("Beta")}));
    // Equal names keep folder order; signatures are not read.
    EXPECT_EQ(bundles.at(2).bundleIdentifier, QStringLiteral("org.b"));
    EXPECT_EQ(bundles.at(3).bundleIdentifier, QStringLiteral("org.b2"));
    for (const AppBundle& bundle : bundles)
        EXPECT_EQ(bundle.teamIdentifier, std::nullopt);
}

TEST(CatalogScanTest, AWidgetAmongPanesLoadsAsAWidget) {
    Sandbox sandbox;
    sandbox.activate();
    sandbox.makeBundle(QStringLiteral("home/Library/PreferencePanes/Foo.wdgt"),
                       info(QStringLiteral("org.foo")));
    const QList<AppBundle> bundles =
        Catalog::scan({QStringLiteral("~/Library/PreferencePanes")}, BundleKind::Plugin);
    ASSERT_EQ(bundles.size(), 1);
    EXPECT_EQ(bundles.at(0).kind, BundleKind::Widget);
}

TEST(CatalogSectionsTest, UserSectionFirstAndOnlyWhenItHasBundles) {
    Sandbox sandbox;
    sandbox.activate();
    const auto systemSections = [] {
        return Catalog::scan(Catalog::folders(BundleKind::Application).second,
                             BundleKind::Application)
                       .isEmpty()
                   ? 0
                   : 1;
    };

    QList<CatalogSection> sections = Catalog::sections(BundleKind::Application);
    ASSERT_EQ(sections.size(), systemSections());
    for (const CatalogSection& section : sections) {
        EXPECT_EQ(section.title, QStringLiteral("Приложения"));
        EXPECT_TRUE(section.isSystem);
    }

    sandbox.makeBundle(QStringLiteral("home/Applications/Zed.app"), info(QStringLiteral("org.z")));
    sandbox.makeBundle(QStringLiteral("home/Applications/alpha.app"),
                       info(QStringLiteral("org.a")));
    sections = Catalog::sections(BundleKind::Application);
    ASSERT_EQ(sections.size(), 1 + systemSections());
    EXPECT_EQ(sections.at(0).title, QStringLiteral("Приложения пользователя"));
    EXPECT_EQ(sections.at(0).id(), sections.at(0).title);
    EXPECT_FALSE(sections.at(0).isSystem);
    EXPECT_EQ(displayNames(sections.at(0).bundles),
              (QStringList{QStringLiteral("alpha"), QStringLiteral("Zed")}));

    sandbox.makeBundle(QStringLiteral("home/Library/Widgets/Clock.wdgt"),
                       info(QStringLiteral("org.clock")));
    sections = Catalog::sections(BundleKind::Widget);
    ASSERT_FALSE(sections.isEmpty());
    EXPECT_EQ(sections.at(0).title, QStringLiteral("Виджеты пользователя"));
    ASSERT_EQ(sections.at(0).bundles.size(), 1);
    EXPECT_EQ(sections.at(0).bundles.at(0).bundleIdentifier, QStringLiteral("org.clock"));
}

// The list and a Linux application's competitors take the running user's
// Linux applications after the bundles; a bundle's competitors do not.
TEST(CatalogSectionsTest, LinuxApplicationsFollowTheBundles) {
    Sandbox sandbox;
    sandbox.activate();
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(sandbox.path(QStringLiteral("usr/share"))));
    sandbox.makeBundle(QStringLiteral("home/Applications/Zed.app"), info(QStringLiteral("org.z")));
    sandbox.writeFile(QStringLiteral("home/.local/share/applications/pad.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Pad\n");
    sandbox.writeFile(QStringLiteral("home/.local/share/applications/tool.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Tool\nNoDisplay=true\n");
    QStringList titles;
    for (const CatalogSection& section : Catalog::listSections(BundleKind::Application))
        titles.append(section.title);
    QStringList competitors;
    for (const AppBundle& app : Catalog::allApplications())
        competitors.append(app.displayName);
    const qsizetype bundles = Catalog::installedApplications().size();
    const bool pluginsAlone =
        Catalog::listSections(BundleKind::Plugin) == Catalog::sections(BundleKind::Plugin);
    qputenv("XDG_DATA_DIRS", dataDirs);

    EXPECT_EQ(titles.first(), QStringLiteral("Приложения пользователя"));
    EXPECT_EQ(titles.last(), QStringLiteral("Ярлыки пользователя"));
    // Entries the list does not show still own their files.
    EXPECT_EQ(competitors.mid(bundles),
              (QStringList{QStringLiteral("Pad"), QStringLiteral("Tool")}));
    EXPECT_TRUE(pluginsAlone);
}
