#include "AppBundle.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

using moss::AppBundle;
using moss::BundleKind;
using moss::test::Sandbox;

namespace {

QVariantMap info(std::initializer_list<std::pair<const char*, QVariant>> entries) {
    QVariantMap map;
    for (const auto& [key, value] : entries)
        map.insert(QString::fromUtf8(key), value);
    return map;
}

QVariantMap identified(const QString& identifier) {
    return info({{"CFBundleIdentifier", identifier}});
}

QStringList strings(std::initializer_list<const char*> items) {
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

class AppBundleTest : public ::testing::Test {
protected:
    std::optional<AppBundle> load(const QString& relative, bool readSignature = false) const {
        return AppBundle::load(sandbox.path(relative), readSignature);
    }

    Sandbox sandbox;
};

// --- BundleKind -----------------------------------------------------------

TEST(BundleKindTest, RawValuesRoundTripInCaseOrder) {
    QStringList raw;
    for (BundleKind kind : moss::allBundleKinds()) {
        raw.append(moss::rawValue(kind));
        EXPECT_EQ(moss::bundleKindFromRawValue(moss::rawValue(kind)), kind);
    }
    EXPECT_EQ(raw, strings({"application", "plugin", "widget"}));
}

TEST(BundleKindTest, OtherRawValuesGiveNothing) {
    for (const char* text : {"Application", "PLUGIN", "", " widget", "app"})
        EXPECT_FALSE(moss::bundleKindFromRawValue(QString::fromUtf8(text))) << text;
}

// --- load: what is a bundle, and of which kind --------------------------

TEST_F(AppBundleTest, KindFollowsTheExtensionIgnoringCase) {
    const struct {
        const char* path;
        BundleKind kind;
    } cases[] = {
        {"Foo.app", BundleKind::Application},  {"Loud.APP", BundleKind::Application},
        {"Clock.wdgt", BundleKind::Widget},    {"Stocks.WDGT", BundleKind::Widget},
        {"Pane.prefpane", BundleKind::Plugin}, {"Share.appex", BundleKind::Plugin},
        {"NoExtension", BundleKind::Plugin},   {"Odd.whatever", BundleKind::Plugin},
    };
    for (const auto& c : cases) {
        const QString relative = QString::fromUtf8(c.path);
        sandbox.makeBundle(relative, identified(QStringLiteral("com.vendor.x")));
        const auto bundle = load(relative);
        ASSERT_TRUE(bundle) << c.path;
        EXPECT_EQ(bundle->kind, c.kind) << c.path;
    }
}

TEST_F(AppBundleTest, MissingPathsAndFilesAreNotBundles) {
    EXPECT_FALSE(load(QStringLiteral("Nothing.app")));
    sandbox.writeFile(QStringLiteral("File.app"), "not a folder");
    EXPECT_FALSE(load(QStringLiteral("File.app")));
    sandbox.writeFile(QStringLiteral("file.prefpane"));
    EXPECT_FALSE(load(QStringLiteral("file.prefpane")));
}

TEST_F(AppBundleTest, ApplicationWithoutUsableInfoIsNotABundle) {
    sandbox.makeBundle(QStringLiteral("Bare.app"), {});
    EXPECT_FALSE(load(QStringLiteral("Bare.app")));

    sandbox.writeFile(QStringLiteral("Empty.app/Contents/Info.plist"));
    EXPECT_FALSE(load(QStringLiteral("Empty.app")));

    sandbox.writeFile(QStringLiteral("Broken.app/Contents/Info.plist"), "<plist><dict><key>");
    EXPECT_FALSE(load(QStringLiteral("Broken.app")));

    sandbox.writePlist(QStringLiteral("EmptyDict.app/Contents/Info.plist"), {});
    EXPECT_FALSE(load(QStringLiteral("EmptyDict.app")));
}

TEST_F(AppBundleTest, PluginWithoutInfoKeepsOnlyItsStem) {
    sandbox.makeBundle(QStringLiteral("Library/PreferencePanes/Thing.prefpane"), {});
    const auto bundle = load(QStringLiteral("Library/PreferencePanes/Thing.prefpane"));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->kind, BundleKind::Plugin);
    EXPECT_FALSE(bundle->bundleIdentifier);
    EXPECT_FALSE(bundle->version);
    EXPECT_EQ(bundle->names, strings({"Thing"}));
    // The file manager's name for the folder, which keeps the extension.
    EXPECT_EQ(bundle->displayName, QStringLiteral("Thing.prefpane"));
    EXPECT_TRUE(bundle->nestedIdentifiers.isEmpty());
}

TEST_F(AppBundleTest, InfoIsReadInBothForms) {
    const QVariantMap dict = info({{"CFBundleIdentifier", QStringLiteral("com.vendor.Bin")},
                                   {"CFBundleName", QStringLiteral("Bin")},
                                   {"CFBundleShortVersionString", QStringLiteral("2.0")}});
    sandbox.makeBundle(QStringLiteral("Xml.app"), dict, moss::plist::Format::xml);
    sandbox.makeBundle(QStringLiteral("Bin.app"), dict, moss::plist::Format::binary);
    const auto xml = load(QStringLiteral("Xml.app"));
    const auto binary = load(QStringLiteral("Bin.app"));
    ASSERT_TRUE(xml && binary);
    EXPECT_EQ(binary->bundleIdentifier, QStringLiteral("com.vendor.Bin"));
    EXPECT_EQ(binary->version, QStringLiteral("2.0"));
    EXPECT_EQ(xml->bundleIdentifier, binary->bundleIdentifier);
    EXPECT_EQ(xml->version, binary->version);
}

TEST_F(AppBundleTest, InfoWithByteOrderMarkOrInUtf16IsRead) {
    const QByteArray xml = moss::plist::dataFromDictionary(
        identified(QStringLiteral("com.vendor.Ünï")), moss::plist::Format::xml);
    sandbox.writeFile(QStringLiteral("Bom.app/Contents/Info.plist"), "\xEF\xBB\xBF" + xml);
    QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray utf16 = toUtf16(QString::fromUtf8(xml).replace(
        QStringLiteral("encoding=\"UTF-8\""), QStringLiteral("encoding=\"UTF-16\"")));
    sandbox.writeFile(QStringLiteral("Wide.app/Contents/Info.plist"), utf16);
    for (const char* name : {"Bom.app", "Wide.app"}) {
        const auto bundle = load(QString::fromUtf8(name));
        ASSERT_TRUE(bundle) << name;
        EXPECT_EQ(bundle->bundleIdentifier, QStringLiteral("com.vendor.Ünï")) << name;
    }
}

TEST_F(AppBundleTest, InfoPropertyListLocationsInOrder) {
    const QString widget = sandbox.makeDir(QStringLiteral("Weather.wdgt"));
    sandbox.writePlist(QStringLiteral("Weather.wdgt/Info.plist"),
                       identified(QStringLiteral("root")));
    EXPECT_EQ(AppBundle::load(widget, false)->bundleIdentifier, QStringLiteral("root"));

    sandbox.writePlist(QStringLiteral("Weather.wdgt/Resources/Info.plist"),
                       identified(QStringLiteral("resources")));
    EXPECT_EQ(AppBundle::load(widget, false)->bundleIdentifier, QStringLiteral("resources"));

    sandbox.writePlist(QStringLiteral("Weather.wdgt/Contents/Info.plist"),
                       identified(QStringLiteral("contents")));
    EXPECT_EQ(AppBundle::load(widget, false)->bundleIdentifier, QStringLiteral("contents"));
}

TEST_F(AppBundleTest, AnUnreadableFirstInfoPropertyListHidesTheLaterOnes) {
    sandbox.writeFile(QStringLiteral("Pane.prefpane/Contents/Info.plist"), "garbage");
    sandbox.writePlist(QStringLiteral("Pane.prefpane/Info.plist"),
                       identified(QStringLiteral("x.y.z")));
    const auto bundle = load(QStringLiteral("Pane.prefpane"));
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->bundleIdentifier);
}

TEST_F(AppBundleTest, ValuesOfOtherTypesCountAsMissing) {
    sandbox.makeBundle(QStringLiteral("Typed.app"),
                       info({{"CFBundleIdentifier", 42},
                             {"CFBundleName", QVariantList{QStringLiteral("x")}},
                             {"CFBundleDisplayName", true},
                             {"CFBundleShortVersionString", 3},
                             {"CFBundleVersion", QStringLiteral("77")}}));
    const auto bundle = load(QStringLiteral("Typed.app"));
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->bundleIdentifier);
    EXPECT_EQ(bundle->names, strings({"Typed"}));
    EXPECT_EQ(bundle->displayName, QStringLiteral("Typed"));
    EXPECT_EQ(bundle->version, QStringLiteral("77"));
}

// --- url: standardised, links resolved -----------------------------------

TEST_F(AppBundleTest, UrlIsStandardisedAndResolved) {
    const QString real = sandbox.makeBundle(QStringLiteral("Applications/Foo.app"),
                                            identified(QStringLiteral("com.vendor.foo")));
    sandbox.symlink(real, QStringLiteral("Links/Foo.app"));
    sandbox.symlink(sandbox.path(QStringLiteral("Applications")), QStringLiteral("Apps"));
    const QString inputs[] = {
        real + u'/',
        real + QStringLiteral("//"),
        sandbox.path(QStringLiteral("Links/Foo.app")),
        sandbox.path(QStringLiteral("Links/Foo.app/")),
        sandbox.path(QStringLiteral("Apps/Foo.app")),
        sandbox.path(QStringLiteral("Applications/./x/../Foo.app")),
    };
    for (const QString& input : inputs) {
        const auto bundle = AppBundle::load(input, false);
        ASSERT_TRUE(bundle) << input.toStdString();
        EXPECT_EQ(bundle->url, real) << input.toStdString();
        EXPECT_EQ(bundle->id(), real);
    }
}

TEST_F(AppBundleTest, LinkNamesDoNotDecideTheKind) {
    const QString real = sandbox.makeBundle(QStringLiteral("Real.prefpane"), {});
    sandbox.symlink(real, QStringLiteral("Alias.app"));
    const auto bundle = load(QStringLiteral("Alias.app"));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->kind, BundleKind::Plugin);
    EXPECT_EQ(bundle->names, strings({"Real"}));
}

TEST_F(AppBundleTest, DanglingAndLoopingLinksAreNotBundles) {
    sandbox.symlink(sandbox.path(QStringLiteral("gone.app")), QStringLiteral("Dangling.app"));
    sandbox.symlink(sandbox.path(QStringLiteral("B.app")), QStringLiteral("A.app"));
    sandbox.symlink(sandbox.path(QStringLiteral("A.app")), QStringLiteral("B.app"));
    EXPECT_FALSE(load(QStringLiteral("Dangling.app")));
    EXPECT_FALSE(load(QStringLiteral("A.app")));
}

// --- names, display name, version ----------------------------------------

TEST_F(AppBundleTest, NamesComeFromTheKeysThenTheStemWithoutCaseDuplicates) {
    sandbox.makeBundle(QStringLiteral("Foo.app"),
                       info({{"CFBundleName", QStringLiteral("Foo")},
                             {"CFBundleDisplayName", QStringLiteral("foo")},
                             {"CFBundleExecutable", QStringLiteral("FooApp")}}));
    EXPECT_EQ(load(QStringLiteral("Foo.app"))->names, strings({"Foo", "FooApp"}));

    sandbox.makeBundle(QStringLiteral("Stem Name.app"),
                       info({{"CFBundleName", QString()},
                             {"CFBundleDisplayName", QStringLiteral("Shown")},
                             {"CFBundleExecutable", QStringLiteral("STEM NAME")}}));
    EXPECT_EQ(load(QStringLiteral("Stem Name.app"))->names, strings({"Shown", "STEM NAME"}));
}

TEST_F(AppBundleTest, NamesAreNeverEmptyNorCaseDuplicatesAndStartWithTheBundleName) {
    sandbox.makeBundle(QStringLiteral("bar.app"),
                       info({{"CFBundleName", QStringLiteral("BAR")},
                             {"CFBundleDisplayName", QString()},
                             {"CFBundleExecutable", QStringLiteral("Bar")}}));
    const QStringList names = load(QStringLiteral("bar.app"))->names;
    EXPECT_EQ(names.first(), QStringLiteral("BAR"));
    QSet<QString> folded;
    for (const QString& name : names) {
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(folded.contains(name.toLower())) << name.toStdString();
        folded.insert(name.toLower());
    }
}

TEST_F(AppBundleTest, DisplayNameRules) {
    const struct {
        const char* folder;
        std::optional<const char*> displayKey;
        const char* expected;
    } cases[] = {
        {"Foo Bar.app", std::nullopt, "Foo Bar"}, {"Foo.app.app", std::nullopt, "Foo"},
        {"My.apply", std::nullopt, "Myly"},       {"Case.APP", std::nullopt, "Case.APP"},
        {"Given.app", "Nice Name", "Nice Name"},  {"EmptyKey.app", "", "EmptyKey"},
        {".app", std::nullopt, ".app"},
    };
    for (const auto& c : cases) {
        QVariantMap dict = identified(QStringLiteral("com.vendor.x"));
        if (c.displayKey)
            dict.insert(QStringLiteral("CFBundleDisplayName"), QString::fromUtf8(*c.displayKey));
        sandbox.makeBundle(QStringLiteral("d/") + QString::fromUtf8(c.folder), dict);
        const auto bundle = load(QStringLiteral("d/") + QString::fromUtf8(c.folder));
        ASSERT_TRUE(bundle) << c.folder;
        EXPECT_EQ(bundle->displayName, QString::fromUtf8(c.expected)) << c.folder;
    }
}

TEST_F(AppBundleTest, VersionPrefersTheShortVersion) {
    sandbox.makeBundle(QStringLiteral("Both.app"),
                       info({{"CFBundleShortVersionString", QStringLiteral("1.2")},
                             {"CFBundleVersion", QStringLiteral("345")}}));
    sandbox.makeBundle(QStringLiteral("Build.app"),
                       info({{"CFBundleVersion", QStringLiteral("345")}}));
    sandbox.makeBundle(QStringLiteral("None.app"), identified(QStringLiteral("com.vendor.none")));
    EXPECT_EQ(load(QStringLiteral("Both.app"))->version, QStringLiteral("1.2"));
    EXPECT_EQ(load(QStringLiteral("Build.app"))->version, QStringLiteral("345"));
    EXPECT_FALSE(load(QStringLiteral("None.app"))->version);
}

TEST_F(AppBundleTest, AnEmptyIdentifierIsNoIdentifier) {
    sandbox.makeBundle(QStringLiteral("Blank.app"), identified(QString()));
    const auto bundle = load(QStringLiteral("Blank.app"));
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->bundleIdentifier);
    EXPECT_TRUE(bundle->allIdentifiers().isEmpty());
}

TEST_F(AppBundleTest, InvalidUtf8FolderNamesSurviveLoading) {
    const QString name = moss::fs::decodePath(QByteArray("Caf\xE9 \"q\"\\.app"));
    sandbox.makeBundle(name, identified(QStringLiteral("com.vendor.cafe")));
    const auto bundle = load(name);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->url, sandbox.path(name));
    EXPECT_EQ(moss::fs::encodePath(bundle->displayName), QByteArray("Caf\xE9 \"q\"\\"));
}

// --- equality and hashing -------------------------------------------------

TEST_F(AppBundleTest, TwoLoadsOfOneBundleAreEqualAndHashAlike) {
    sandbox.makeBundle(QStringLiteral("Same.app"), identified(QStringLiteral("com.vendor.same")));
    const auto first = load(QStringLiteral("Same.app"));
    const auto second = AppBundle::load(sandbox.path(QStringLiteral("Same.app/")), false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, *second);
    EXPECT_EQ(qHash(*first), qHash(*second));
    EXPECT_EQ(qHash(*first, 7), qHash(*second, 7));
}

TEST(AppBundleEqualityTest, EveryFieldTakesPart) {
    AppBundle base;
    base.url = QStringLiteral("/A/Foo.app");
    base.kind = BundleKind::Application;
    base.bundleIdentifier = QStringLiteral("com.vendor.foo");
    base.names = strings({"Foo"});
    base.displayName = QStringLiteral("Foo");
    base.version = QStringLiteral("1");
    base.nestedIdentifiers = strings({"com.vendor.foo.helper"});

    std::vector<AppBundle> variants(12, base);
    variants[0].url = QStringLiteral("/B/Foo.app");
    variants[1].kind = BundleKind::Plugin;
    variants[2].bundleIdentifier = QStringLiteral("com.vendor.FOO");
    variants[3].names = strings({"Foo", "Bar"});
    variants[4].displayName = QStringLiteral("foo");
    variants[5].version = std::nullopt;
    variants[6].teamIdentifier = QStringLiteral("ABCDE12345");
    variants[7].nestedIdentifiers.clear();
    variants[8].bundleIdentifier = std::nullopt;
    variants[9].source = moss::AppSource::localEntry;
    variants[10].package = QStringLiteral("foo");
    variants[11].icon = QStringLiteral("foo");
    QSet<size_t> hashes{qHash(base)};
    for (const AppBundle& variant : variants) {
        EXPECT_NE(variant, base);
        hashes.insert(qHash(variant));
    }
    EXPECT_EQ(hashes.size(), 13); // distinct for these inputs
}

TEST(AppBundleEqualityTest, OptionalAndListBoundariesAreKeptApartInTheHash) {
    AppBundle a;
    a.names = strings({"ab"});
    AppBundle b;
    b.names = strings({"a", "b"});
    EXPECT_NE(qHash(a), qHash(b));

    AppBundle emptyVersion;
    emptyVersion.version = QString();
    EXPECT_NE(emptyVersion, AppBundle());
    EXPECT_NE(qHash(emptyVersion), qHash(AppBundle()));
}

// --- static tables --------------------------------------------------------

TEST(AppBundleTablesTest, Tables) {
    EXPECT_EQ(AppBundle::pluginExtensions(),
              strings({"prefpane", "qlgenerator", "appex", "saver", "mdimporter", "plugin",
                       "bundle", "mailbundle", "component", "colorpicker", "service", "wdgt"}));
    EXPECT_EQ(AppBundle::nestedFolders(),
              strings({"Library/LoginItems", "XPCServices", "PlugIns", "Extensions", "Helpers",
                       "Library/LaunchServices", "MacOS", "Resources"}));
    EXPECT_EQ(AppBundle::nestedBundleExtensions(),
              strings({"app", "appex", "xpc", "bundle", "plugin", "systemextension"}));
    EXPECT_EQ(AppBundle::ignoredNestedPrefixes(),
              strings({"org.sparkle-project.", "com.squirrel.", "com.github.electron"}));
}

// --- nested identifiers ---------------------------------------------------

class NestedIdentifiersTest : public AppBundleTest {
protected:
    QString host = sandbox.makeDir(QStringLiteral("Host.app"));

    void nest(const QString& relative, const QString& identifier) const {
        sandbox.makeBundle(QStringLiteral("Host.app/Contents/") + relative, identified(identifier));
    }
    QStringList nested(const std::optional<QString>& own = std::nullopt) const {
        return moss::nestedIdentifiers(host, own);
    }
};

TEST_F(NestedIdentifiersTest, NoContentsFolderGivesNothing) {
    EXPECT_TRUE(nested().isEmpty());
    EXPECT_TRUE(moss::nestedIdentifiers(sandbox.path(QStringLiteral("missing.app")), {}).isEmpty());
}

TEST_F(NestedIdentifiersTest, LoginItemIsFound) {
    nest(QStringLiteral("Library/LoginItems/Helper.app"), QStringLiteral("com.vendor.app.helper"));
    EXPECT_EQ(nested(), strings({"com.vendor.app.helper"}));
}

TEST_F(NestedIdentifiersTest, EveryListedFolderAndExtensionIsLookedAt) {
    nest(QStringLiteral("Library/LoginItems/A.app"), QStringLiteral("n.login.app"));
    nest(QStringLiteral("XPCServices/B.xpc"), QStringLiteral("n.xpc.svc"));
    nest(QStringLiteral("PlugIns/C.appex"), QStringLiteral("n.plugins.appex"));
    nest(QStringLiteral("Extensions/D.systemextension"), QStringLiteral("n.ext.sys"));
    nest(QStringLiteral("Helpers/E.APP"), QStringLiteral("n.helpers.app"));
    nest(QStringLiteral("MacOS/F.bundle"), QStringLiteral("n.macos.bundle"));
    nest(QStringLiteral("Resources/G.Plugin"), QStringLiteral("n.res.plugin"));
    nest(QStringLiteral("Resources/H.framework"), QStringLiteral("n.res.framework"));
    nest(QStringLiteral("Frameworks/I.app"), QStringLiteral("n.frameworks.app"));
    nest(QStringLiteral("PlugIns/Deep/J.appex"), QStringLiteral("n.too.deep"));
    nest(QStringLiteral("PlugIns/C.appex/Contents/PlugIns/K.appex"),
         QStringLiteral("n.nested.twice"));
    EXPECT_EQ(nested(), strings({"n.ext.sys", "n.helpers.app", "n.login.app", "n.macos.bundle",
                                 "n.plugins.appex", "n.res.plugin", "n.xpc.svc"}));
}

TEST_F(NestedIdentifiersTest, HiddenEntriesAndLinkedBundlesCount) {
    nest(QStringLiteral("PlugIns/.Hidden.appex"), QStringLiteral("n.hidden.appex"));
    const QString outside = sandbox.makeBundle(QStringLiteral("Elsewhere.xpc"),
                                               identified(QStringLiteral("n.linked.xpc")));
    sandbox.symlink(outside, QStringLiteral("Host.app/Contents/XPCServices/Linked.xpc"));
    EXPECT_EQ(nested(), strings({"n.hidden.appex", "n.linked.xpc"}));
}

TEST_F(NestedIdentifiersTest, UnopenableAndUnidentifiedEntriesAreSkipped) {
    sandbox.writeFile(QStringLiteral("Host.app/Contents/PlugIns/File.appex"), "x");
    sandbox.makeBundle(QStringLiteral("Host.app/Contents/PlugIns/NoInfo.appex"), {});
    sandbox.writeFile(QStringLiteral("Host.app/Contents/PlugIns/Bad.appex/Contents/Info.plist"),
                      "\x00\x01");
    nest(QStringLiteral("PlugIns/Blank.appex"), QString());
    sandbox.writeFile(QStringLiteral("Host.app/Contents/XPCServices"), "a file, not a folder");
    EXPECT_TRUE(nested().isEmpty());
}

TEST_F(NestedIdentifiersTest, OwnIdentifierIsLeftOutOnlyWhenExactlyEqual) {
    nest(QStringLiteral("PlugIns/Same.appex"), QStringLiteral("com.vendor.app"));
    nest(QStringLiteral("PlugIns/Case.appex"), QStringLiteral("com.Vendor.App"));
    EXPECT_EQ(nested(QStringLiteral("com.vendor.app")), strings({"com.Vendor.App"}));
    EXPECT_EQ(nested(), strings({"com.Vendor.App", "com.vendor.app"}));
}

TEST_F(NestedIdentifiersTest, SharedFrameworksAndResourceBundlesAreIgnored) {
    nest(QStringLiteral("XPCServices/Downloader.xpc"),
         QStringLiteral("org.sparkle-project.Downloader"));
    nest(QStringLiteral("Helpers/Update.app"), QStringLiteral("COM.Squirrel.Update"));
    nest(QStringLiteral("Helpers/Foo.app"), QStringLiteral("com.github.electronfoo"));
    nest(QStringLiteral("Helpers/Squirrel.app"), QStringLiteral("com.squirrelly.keep"));
    nest(QStringLiteral("Resources/Res.bundle"), QStringLiteral("com.vendor.app.resources"));
    nest(QStringLiteral("Resources/Res2.bundle"), QStringLiteral("com.vendor.app.Resources"));
    EXPECT_EQ(nested(), strings({"com.squirrelly.keep", "com.vendor.app.Resources"}));
}

TEST_F(NestedIdentifiersTest, LaunchServicesFileNamesLookingLikeIdentifiers) {
    sandbox.writeFile(
        QStringLiteral("Host.app/Contents/Library/LaunchServices/com.vendor.app.helper"));
    sandbox.writeFile(QStringLiteral("Host.app/Contents/Library/LaunchServices/helper"));
    sandbox.writeFile(QStringLiteral("Host.app/Contents/Library/LaunchServices/a..b"));
    sandbox.writeFile(QStringLiteral("Host.app/Contents/Library/LaunchServices/.x.y."));
    sandbox.writeFile(
        QStringLiteral("Host.app/Contents/Library/LaunchServices/org.sparkle-project.x"));
    nest(QStringLiteral("Library/LaunchServices/com.vendor.tool.xpc"),
         QStringLiteral("com.vendor.tool"));
    sandbox.writeFile(QStringLiteral("Host.app/Contents/Helpers/com.vendor.not.here"));
    EXPECT_EQ(nested(QStringLiteral("com.vendor.tool")),
              strings({"com.vendor.app.helper", "com.vendor.tool.xpc", "org.sparkle-project.x"}));
    EXPECT_EQ(nested(), strings({"com.vendor.app.helper", "com.vendor.tool", "com.vendor.tool.xpc",
                                 "org.sparkle-project.x"}));
}

TEST_F(NestedIdentifiersTest, DuplicatesGoAndTheResultIsSortedByCodePoint) {
    nest(QStringLiteral("XPCServices/C.xpc"), QStringLiteral("com.c"));
    nest(QStringLiteral("PlugIns/B.appex"), QStringLiteral("com.b"));
    nest(QStringLiteral("Helpers/B.app"), QStringLiteral("com.b"));
    nest(QStringLiteral("Helpers/Lower.app"), QStringLiteral("a"));
    nest(QStringLiteral("Helpers/Upper.app"), QStringLiteral("Z"));
    nest(QStringLiteral("Helpers/Private.app"), QStringLiteral("x.\uFF21"));
    nest(QStringLiteral("Helpers/Astral.app"), QString::fromUtf8("x.\xF0\x9F\x98\x80"));
    EXPECT_EQ(nested(),
              QStringList({QStringLiteral("Z"), QStringLiteral("a"), QStringLiteral("com.b"),
                           QStringLiteral("com.c"), QStringLiteral("x.\uFF21"),
                           QString::fromUtf8("x.\xF0\x9F\x98\x80")}));
}

TEST_F(NestedIdentifiersTest, LoadExcludesTheOwnIdentifier) {
    sandbox.makeBundle(QStringLiteral("Host.app"), identified(QStringLiteral("com.vendor.host")));
    nest(QStringLiteral("PlugIns/Self.appex"), QStringLiteral("com.vendor.host"));
    nest(QStringLiteral("PlugIns/Other.appex"), QStringLiteral("com.vendor.host.share"));
    const auto bundle = AppBundle::load(host, false);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->nestedIdentifiers, strings({"com.vendor.host.share"}));
    EXPECT_EQ(bundle->allIdentifiers(), strings({"com.vendor.host", "com.vendor.host.share"}));
}

TEST(AllIdentifiersTest, OwnFirstThenNestedWithoutCaseDuplicates) {
    AppBundle bundle;
    bundle.bundleIdentifier = QStringLiteral("com.vendor.App");
    bundle.nestedIdentifiers = strings({"com.vendor.app", "com.vendor.App.helper"});
    EXPECT_EQ(bundle.allIdentifiers(), strings({"com.vendor.App", "com.vendor.App.helper"}));

    bundle.bundleIdentifier.reset();
    EXPECT_EQ(bundle.allIdentifiers(), strings({"com.vendor.app", "com.vendor.App.helper"}));
    bundle.nestedIdentifiers.clear();
    EXPECT_TRUE(bundle.allIdentifiers().isEmpty());
}

} // namespace
