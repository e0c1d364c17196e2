// The catalogue of installed bundles: the walk's depth and extension rules,
// sorting, and sections.

#include "Catalog.h"

#include "Sandbox.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;
using moss::test::Sandbox;

namespace {

QStringList displayNames(const QList<AppBundle>& bundles) {
    QStringList names;
    for (const AppBundle& bundle : bundles)
        names.append(bundle.displayName);
    return names;
}

} // namespace

// Applications are looked for two levels deep, through folders without an
// extension only; plug-ins and widgets one level deep, by their extensions.
TEST(FindBundlesTest, DepthAndExtensionsFollowTheKind) {
    Sandbox sandbox;
    const QString apps = sandbox.path(u"Applications/"_s);
    for (const QString& path :
         {u"Top.app"_s, u"Utilities/Terminal.app"_s, u"Utilities/More/X.app"_s,
          u"Games/Chess.APP"_s, u"Games.localized/Hidden.app"_s, u".Hidden.app"_s,
          u"Notes.txt/N.app"_s, u"A.prefPane"_s, u"B.wdgt"_s, u"Sub/E.prefPane"_s})
        sandbox.makeDir(u"Applications/"_s + path);
    sandbox.writeFile(u"Applications/File.app"_s); // left for the loader to judge
    sandbox.symlink(apps, u"Applications/Loop"_s);

    const auto found = [&](BundleKind kind, int depth) {
        QStringList paths = Catalog::findBundles(sandbox.path(u"Applications"_s), kind, depth);
        for (QString& path : paths)
            path.remove(0, apps.size());
        paths.sort();
        return paths;
    };
    EXPECT_EQ(found(BundleKind::Application, 2),
              (QStringList{u"File.app"_s, u"Games/Chess.APP"_s, u"Top.app"_s,
                           u"Utilities/Terminal.app"_s}));
    EXPECT_EQ(found(BundleKind::Application, 1), (QStringList{u"File.app"_s, u"Top.app"_s}));
    EXPECT_EQ(found(BundleKind::Plugin, 1), (QStringList{u"A.prefPane"_s, u"B.wdgt"_s}));
}

// The user's section comes first, and only when it has bundles.
TEST(CatalogScanTest, SortsByDisplayNameDropsNonBundlesAndPutsTheUserFirst) {
    Sandbox sandbox;
    sandbox.activate();
    const qsizetype systemSections = Catalog::sections(BundleKind::Application).size();
    sandbox.makeBundle(u"home/Applications/Beta.app"_s, test::info(u"org.b"_s));
    sandbox.makeBundle(u"home/Applications/Sub/alpha.app"_s, test::info(u"org.a"_s));
    sandbox.makeBundle(u"home/Applications/Gamma.app"_s, {}); // no Info.plist
    sandbox.makeBundle(u"home/Applications/Яблоко.app"_s, test::info(u"org.y"_s));
    sandbox.makeBundle(u"other/Beta.app"_s, test::info(u"org.b2"_s));
    sandbox.makeBundle(u"home/Library/PreferencePanes/Foo.wdgt"_s, test::info(u"org.foo"_s));

    const QList<AppBundle> bundles =
        Catalog::scan({u"~/Applications"_s, sandbox.path(u"other"_s)}, BundleKind::Application);
    // Russian collation puts Cyrillic before Latin; equal names keep folder order.
    EXPECT_EQ(displayNames(bundles), (QStringList{u"Яблоко"_s, u"alpha"_s, u"Beta"_s, u"Beta"_s}));
    EXPECT_EQ(bundles.at(3).bundleIdentifier, u"org.b2"_s);
    const QList<CatalogSection> sections = Catalog::sections(BundleKind::Application);
    ASSERT_EQ(sections.size(), 1 + systemSections);
    EXPECT_EQ(sections.at(0).title, u"Приложения пользователя"_s);
    // The user's plug-in folders are searched; a widget among them loads as a widget.
    const QList<CatalogSection> panes = Catalog::sections(BundleKind::Plugin);
    ASSERT_EQ(panes.value(0).bundles.size(), 1);
    EXPECT_EQ(panes.at(0).bundles.at(0).kind, BundleKind::Widget);
}

// The list and a Linux application's competitors take the running user's
// Linux applications after the bundles; a bundle's competitors do not.
TEST(CatalogSectionsTest, LinuxApplicationsFollowTheBundles) {
    Sandbox sandbox;
    sandbox.activate();
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(sandbox.path(u"usr/share"_s)));
    sandbox.makeBundle(u"home/Applications/Zed.app"_s, test::info(u"org.z"_s));
    sandbox.writeFile(u"home/.local/share/applications/pad.desktop"_s,
                      "[Desktop Entry]\nType=Application\nName=Pad\n");
    sandbox.writeFile(u"home/.local/share/applications/tool.desktop"_s,
                      "[Desktop Entry]\nType=Application\nName=Tool\nNoDisplay=true\n");
    const QString lastTitle = Catalog::listSections(BundleKind::Application).last().title;
    QStringList competitors;
    for (const AppBundle& app : Catalog::allApplications())
        competitors.append(app.displayName);
    const qsizetype bundles = Catalog::installedApplications().size();
    qputenv("XDG_DATA_DIRS", dataDirs);

    EXPECT_EQ(lastTitle, u"Ярлыки пользователя"_s);
    // Entries the list does not show still own their files.
    EXPECT_EQ(competitors.mid(bundles), (QStringList{u"Pad"_s, u"Tool"_s}));
}
