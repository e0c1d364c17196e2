// Categories, found files and their order, search roots, the location table,
// launch jobs, installer sources and sizes.

#include "Scanner.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QSet>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace moss;
using moss::test::Sandbox;

namespace {

FoundFile found(const QString& url, FileCategory category = FileCategory::caches) {
    return FoundFile{url, category, 0, false, false};
}

QStringList urls(const QList<FoundFile>& files) {
    QStringList out;
    for (const FoundFile& file : files)
        out.append(file.url);
    return out;
}

qint64 blocksOf(const QString& path) {
    struct stat st {};
    ::lstat(fs::encodePath(path).constData(), &st);
    return qint64(st.st_blocks) * 512;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

} // namespace

// --- categories and found files --------------------------------------------

TEST(FileCategoryTest, RawValuesAreTheTitles) {
    EXPECT_EQ(fileCategoryFromRawValue(QStringLiteral("Кэш")), FileCategory::caches);
    EXPECT_EQ(fileCategoryFromRawValue(QStringLiteral("caches")), std::nullopt);
    EXPECT_EQ(fileCategoryFromRawValue(QString()), std::nullopt);
    EXPECT_EQ(rawValue(FileCategory::bundle), QStringLiteral("Приложение"));
    EXPECT_EQ(rawValue(FileCategory::web), QStringLiteral("Веб-данные и cookies"));
    EXPECT_EQ(rawValue(FileCategory::other), QStringLiteral("Прочее"));
}

TEST(FileCategoryTest, AllCasesRoundTripInDisplayOrder) {
    const auto& all = allFileCategories();
    EXPECT_EQ(all.front(), FileCategory::bundle);
    EXPECT_EQ(all.at(4), FileCategory::caches);
    EXPECT_EQ(all.back(), FileCategory::other);
    QSet<QString> titles;
    for (FileCategory category : all) {
        EXPECT_EQ(fileCategoryFromRawValue(rawValue(category)), category);
        titles.insert(rawValue(category));
    }
    EXPECT_EQ(titles.size(), 13);
    EXPECT_EQ(qHash(FileCategory::logs, 7), qHash(rawValue(FileCategory::logs), 7));

    QStringList inOrder;
    for (FileCategory category : all)
        inOrder.append(rawValue(category));
    EXPECT_EQ(inOrder, (QStringList{
                           QStringLiteral("Приложение"),
                           QStringLiteral("Данные приложения"),
                           QStringLiteral("Контейнеры"),
                           QStringLiteral("Настройки"),
                           QStringLiteral("Кэш"),
                           QStringLiteral("Логи и отчёты о сбоях"),
                           QStringLiteral("Сохранённое состояние окон"),
                           QStringLiteral("Автозапуск и фоновые службы"),
                           QStringLiteral("Веб-данные и cookies"),
                           QStringLiteral("Плагины и расширения"),
                           QStringLiteral("Записи установщика"),
                           QStringLiteral("Установщики в Загрузках"),
                           QStringLiteral("Прочее"),
                       }));
}

TEST(FoundFileTest, EqualityCoversEveryFieldButIdIsTheUrl) {
    FoundFile a = found(QStringLiteral("/x/a"));
    FoundFile b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    b.size = 4096;
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
    b = a;
    b.selectedByDefault = true;
    EXPECT_NE(a, b);
}

TEST(ResultOrderTest, NumbersCompareByValueAndCategoriesComeFirst) {
    QList<FoundFile> files = {
        found(QStringLiteral("/L/Logs/a"), FileCategory::logs),
        found(QStringLiteral("/L/Caches/Foo 10")),
        found(QStringLiteral("/L/Caches/Foo 9")),
        found(QStringLiteral("/Z/zzz")),
        found(QStringLiteral("/L/Caches/foo 2")),
    };
    sortByResultOrder(files);
    EXPECT_EQ(urls(files),
              (QStringList{QStringLiteral("/L/Caches/foo 2"), QStringLiteral("/L/Caches/Foo 9"),
                           QStringLiteral("/L/Caches/Foo 10"), QStringLiteral("/Z/zzz"),
                           QStringLiteral("/L/Logs/a")}));
    EXPECT_TRUE(resultOrderLess(found(QStringLiteral("/z"), FileCategory::caches),
                                found(QStringLiteral("/a"), FileCategory::logs)));
}

TEST(ResultOrderTest, EqualItemsKeepTheirOrder) {
    FoundFile first = found(QStringLiteral("/a"));
    FoundFile second = first;
    second.size = 1;
    QList<FoundFile> files = {first, second};
    sortByResultOrder(files);
    EXPECT_EQ(files, (QList<FoundFile>{first, second}));
}

// --- roots and locations ----------------------------------------------------

TEST(SearchRootsTest, LiveDescribesTheRunningUser) {
    Sandbox sandbox;
    sandbox.activate();
    SearchRoots roots = SearchRoots::live();
    EXPECT_EQ(roots.home, sandbox.home());
    EXPECT_EQ(roots.system, QStringList{QStringLiteral("/")});
    EXPECT_EQ(roots.userTemp, (QStringList{sandbox.path(QStringLiteral("tmp")),
                                           sandbox.home() + QStringLiteral("/.cache")}));

    qputenv("XDG_CACHE_HOME", fs::encodePath(sandbox.path(QStringLiteral("cache"))));
    EXPECT_EQ(SearchRoots::live().userTemp.at(1), sandbox.path(QStringLiteral("cache")));
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(SearchRoots::live().userTemp.at(1), sandbox.home() + QStringLiteral("/.cache"));
}

TEST(SearchRootsTest, LiveResolvesTheTemporaryFolder) {
    Sandbox sandbox;
    sandbox.activate();
    const QString link =
        sandbox.symlink(sandbox.path(QStringLiteral("tmp")), QStringLiteral("tmplink"));
    qputenv("TMPDIR", fs::encodePath(link));
    EXPECT_EQ(SearchRoots::live().userTemp.at(0), sandbox.path(QStringLiteral("tmp")));
}

TEST(LibraryLocationsTest, TableRows) {
    const QList<Location>& rows = Scanner::libraryLocations();
    ASSERT_EQ(rows.size(), 42);
    EXPECT_EQ(&rows, &Scanner::libraryLocations());

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
    const QList<Location>& rows = Scanner::libraryLocations();
    for (int nested = 0; nested < rows.size(); ++nested) {
        for (int parent = nested + 1; parent < rows.size(); ++parent)
            EXPECT_FALSE(rows.at(nested).path.startsWith(rows.at(parent).path + u'/'))
                << rows.at(nested).path.toStdString();
    }
}

// --- launch jobs ------------------------------------------------------------

class LaunchJobTest : public ::testing::Test {
protected:
    QString job(const QString& name, const QVariantMap& dict,
                plist::Format format = plist::Format::xml) {
        return sandbox.writePlist(QStringLiteral("LaunchAgents/") + name, dict, format);
    }
    bool mentions(const QString& file) const {
        return scanner.launchdMentions(file, matcher, appPath);
    }

    Sandbox sandbox;
    const Scanner scanner{SearchRoots{}};
    const Matcher matcher{
        {QStringLiteral("com.acme.Sketcher")}, {QStringLiteral("Sketcher")}, std::nullopt};
    const QString appPath = QStringLiteral("/Applications/Sketcher.app");
    const QString agent = QStringLiteral("/Applications/Sketcher.app/Contents/MacOS/agent");
};

TEST_F(LaunchJobTest, ExecutableInsideTheBundleInBothForms) {
    const QVariantMap dict = {
        {QStringLiteral("Label"), QStringLiteral("com.vendor.updater")},
        {QStringLiteral("ProgramArguments"), QVariantList{agent, QStringLiteral("--run")}}};
    EXPECT_TRUE(mentions(job(QStringLiteral("com.vendor.updater.plist"), dict)));
    EXPECT_TRUE(mentions(job(QStringLiteral("b.plist"), dict, plist::Format::binary)));
    EXPECT_TRUE(mentions(job(QStringLiteral("p.plist"), {{QStringLiteral("Program"), agent}})));
}

TEST_F(LaunchJobTest, OnlyTheFirstArgumentCounts) {
    const QVariantMap dict = {
        {QStringLiteral("Label"), QStringLiteral("com.vendor.updater")},
        {QStringLiteral("Program"), QStringLiteral("/usr/bin/env")},
        {QStringLiteral("ProgramArguments"), QVariantList{QStringLiteral("/usr/bin/env"), agent}}};
    EXPECT_FALSE(mentions(job(QStringLiteral("com.vendor.updater.plist"), dict)));
}

TEST_F(LaunchJobTest, LabelsAndAssociatedBundles) {
    EXPECT_TRUE(
        mentions(job(QStringLiteral("a.plist"),
                     {{QStringLiteral("Label"), QStringLiteral("com.acme.sketcher.agent")}})));
    EXPECT_FALSE(mentions(job(QStringLiteral("b.plist"),
                              {{QStringLiteral("Label"), QStringLiteral("com.acme.sketcherx")}})));
    EXPECT_TRUE(
        mentions(job(QStringLiteral("c.plist"), {{QStringLiteral("AssociatedBundleIdentifiers"),
                                                  QStringLiteral("com.acme.Sketcher")}})));
    EXPECT_TRUE(mentions(
        job(QStringLiteral("d.plist"),
            {{QStringLiteral("AssociatedBundleIdentifiers"),
              QVariantList{QStringLiteral("com.other"), QStringLiteral("com.acme.Sketcher")}}})));
}

TEST_F(LaunchJobTest, ValuesOfTheWrongTypeAreMissing) {
    EXPECT_FALSE(
        mentions(job(QStringLiteral("a.plist"),
                     {{QStringLiteral("Label"), QVariantList{QStringLiteral("com.acme.Sketcher")}},
                      {QStringLiteral("Program"), qint64(1)},
                      {QStringLiteral("ProgramArguments"), agent},
                      {QStringLiteral("AssociatedBundleIdentifiers"),
                       QVariantMap{{QStringLiteral("x"), QStringLiteral("com.acme.Sketcher")}}}})));
    EXPECT_FALSE(mentions(job(QStringLiteral("b.plist"), {{QStringLiteral("ProgramArguments"),
                                                           QVariantList{qint64(5), agent}}})));
    // A list that holds anything but strings is not a list of strings.
    EXPECT_FALSE(mentions(job(QStringLiteral("c.plist"), {{QStringLiteral("ProgramArguments"),
                                                           QVariantList{agent, qint64(5)}}})));
    EXPECT_FALSE(mentions(
        job(QStringLiteral("d.plist"), {{QStringLiteral("AssociatedBundleIdentifiers"),
                                         QVariantList{qint64(3), QStringLiteral("com.other"),
                                                      QStringLiteral("com.acme.Sketcher")}}})));
}

// Jobs written by hand, in which the texts are not spelled as the keys are:
// a quick look at the bytes must not rule them out.
TEST_F(LaunchJobTest, TextsSpelledOtherwiseThanTheKeys) {
    const auto raw = [this](const QString& name, const QByteArray& label) {
        return sandbox.writeFile(QStringLiteral("LaunchAgents/") + name,
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<plist version=\"1.0\"><dict><key>Label</key><string>" +
                                     label + "</string></dict></plist>\n");
    };
    EXPECT_TRUE(mentions(raw(QStringLiteral("upper.plist"), "COM.ACME.SKETCHER.AGENT")));
    EXPECT_TRUE(mentions(raw(QStringLiteral("ref.plist"), "&#99;om.acme.sketcher")));
    EXPECT_TRUE(mentions(raw(QStringLiteral("cdata.plist"), "<![CDATA[com.acme.sketcher]]>")));
    // The Kelvin sign lower-cases to "k".
    EXPECT_TRUE(mentions(raw(QStringLiteral("kelvin.plist"), "com.acme.s\xE2\x84\xAA"
                                                             "etcher")));
    EXPECT_TRUE(mentions(
        raw(QStringLiteral("path.plist"), "/APPLICATIONS/sketcher.app/Contents/MacOS/agent")));
    EXPECT_FALSE(mentions(raw(QStringLiteral("other.plist"), "com.acme.sketchers")));
    EXPECT_FALSE(mentions(raw(QStringLiteral("nothing.plist"), "org.example.tool")));
    // Named only outside the texts that count.
    EXPECT_FALSE(mentions(sandbox.writeFile(
        QStringLiteral("LaunchAgents/key.plist"),
        "<plist><dict><key>com.acme.Sketcher</key><string>x</string></dict></plist>")));
}

TEST_F(LaunchJobTest, UnreadableMalformedAndMisnamedFiles) {
    const QVariantMap dict = {{QStringLiteral("Program"), agent}};
    const QString upper = job(QStringLiteral("Foo.PLIST"), dict);
    EXPECT_FALSE(mentions(upper)); // the extension test is case-sensitive
    EXPECT_FALSE(mentions(job(QStringLiteral("Foo"), dict)));
    EXPECT_FALSE(mentions(sandbox.writeFile(QStringLiteral("LaunchAgents/bad.plist"),
                                            QByteArrayLiteral("<plist><dict><key>"))));
    EXPECT_FALSE(mentions(sandbox.path(QStringLiteral("LaunchAgents/missing.plist"))));
    const QString folder = sandbox.makeDir(QStringLiteral("LaunchAgents/dir.plist"));
    EXPECT_FALSE(mentions(folder));
    const QString fifo = sandbox.path(QStringLiteral("LaunchAgents/fifo.plist"));
    ASSERT_EQ(::mkfifo(fs::encodePath(fifo).constData(), 0600), 0);
    EXPECT_FALSE(mentions(fifo));

    const QString locked = job(QStringLiteral("locked.plist"), dict);
    QFile::setPermissions(locked, {});
    if (!runningAsRoot()) {
        EXPECT_FALSE(mentions(locked));
    }
}

TEST_F(LaunchJobTest, AnEmptyAppPathMatchesNothingByPath) {
    const QString file = job(QStringLiteral("a.plist"), {{QStringLiteral("Program"), agent}});
    EXPECT_FALSE(scanner.launchdMentions(file, matcher, QString()));
}

// --- installers -------------------------------------------------------------

TEST(InstallerSearchTest, QueryHasOneClausePerKey) {
    EXPECT_EQ(Scanner::installerQuery({QStringLiteral("Sketcher"), QStringLiteral("Sketcher Pro")}),
              QStringLiteral("kMDItemFSName == \"Sketcher*\"cd || "
                             "kMDItemFSName == \"Sketcher Pro*\"cd"));
    EXPECT_EQ(Scanner::installerQuery({QStringLiteral("Ske\"tch\\er")}),
              QStringLiteral("kMDItemFSName == \"Sketcher*\"cd"));
}

class MetadataToolTest : public ::testing::Test {
protected:
    QString tool(const QByteArray& body) {
        const QString path = sandbox.writeFile(QStringLiteral("bin/search"),
                                               QByteArrayLiteral("#!/bin/sh\n") + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        return path;
    }

    Sandbox sandbox;
    const QString downloads = QStringLiteral("/dl/");
};

TEST_F(MetadataToolTest, KeepsInstallersDirectlyInTheFolder) {
    const QString search = tool("printf '%s\\n' \"$#\" \"$1\" > \"$0.args\"\n"
                                "printf '/dl/Sketcher.dmg\\n\\n/dl/old/Sketcher.dmg\\n'\n"
                                "printf '/dl/Sketcher.app\\n/dl/Notes.ZIP\\n/elsewhere/S.pkg\\n'\n"
                                "printf '/dl/Sketcher 2.pkg'\n");
    const QStringList names = {QStringLiteral("Sketcher"), QStringLiteral("Sketcher Pro")};
    EXPECT_EQ(Scanner::metadataInstallers(search, names, downloads),
              (QStringList{QStringLiteral("/dl/Sketcher.dmg"), QStringLiteral("/dl/Notes.ZIP"),
                           QStringLiteral("/dl/Sketcher 2.pkg")}));
    QFile args(search + QStringLiteral(".args"));
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()),
              QStringLiteral("1\n") + Scanner::installerQuery(names) + u'\n');
}

TEST_F(MetadataToolTest, NoKeysOrNoToolGiveNothing) {
    const QString search = tool("echo /dl/Sketcher.dmg\n");
    EXPECT_TRUE(Scanner::metadataInstallers(search, {}, downloads).isEmpty());
    EXPECT_TRUE(Scanner::metadataInstallers(sandbox.path(QStringLiteral("bin/none")),
                                            {QStringLiteral("Sketcher")}, downloads)
                    .isEmpty());
}

TEST_F(MetadataToolTest, AToolThatHangsIsStoppedAndItsOutputKept) {
    const QString search = tool("echo /dl/Sketcher.dmg\nexec sleep 60\n");
    EXPECT_EQ(Scanner::metadataInstallers(search, {QStringLiteral("Sketcher")}, downloads),
              QStringList{QStringLiteral("/dl/Sketcher.dmg")});
}

TEST(InstallerListingTest, PrefixIgnoringCaseAndDiacritics) {
    if (fs::exists(QStringLiteral("/usr/bin/mdfind")))
        GTEST_SKIP() << "the platform's metadata search answers instead";
    Sandbox sandbox;
    const QString dl = sandbox.makeDir(QStringLiteral("Downloads")) + u'/';
    for (const char* name :
         {"Sketcher-2.3.dmg", "Sketcher Notes.zip", "sketcher.PKG", "Skétcher.zip",
          "Sketchbook.dmg", "Sketcher.txt", ".Sketcher.dmg", "Скетчер.dmg"})
        sandbox.writeFile(QStringLiteral("Downloads/") + QString::fromUtf8(name));
    sandbox.makeDir(QStringLiteral("Downloads/Sketcher.app"));
    sandbox.makeDir(QStringLiteral("Downloads/Sketcher-folder.zip"));
    sandbox.writeFile(QStringLiteral("Downloads/old/Sketcher.dmg"));

    const Scanner scanner{SearchRoots{}};
    QStringList result =
        scanner.spotlightInstallers({QStringLiteral("SKETCHER"), QStringLiteral("скетчер")}, dl);
    result.sort();
    QStringList expected;
    for (const char* name :
         {"Sketcher Notes.zip", "Sketcher-2.3.dmg", "Skétcher.zip", "sketcher.PKG", "Скетчер.dmg"})
        expected.append(dl + QString::fromUtf8(name));
    expected.sort();
    EXPECT_EQ(result, expected);
    EXPECT_TRUE(scanner.spotlightInstallers({}, dl).isEmpty());
    EXPECT_TRUE(
        scanner.spotlightInstallers({QStringLiteral("Sketcher")}, dl + QStringLiteral("none/"))
            .isEmpty());
}

// --- sizes ------------------------------------------------------------------

TEST(AllocatedSizeTest, FilesFoldersAndLinks) {
    Sandbox sandbox;
    const QString one = sandbox.writeFile(QStringLiteral("one/byte"), QByteArray(1, 'x'));
    EXPECT_EQ(Scanner::allocatedSize(one), blocksOf(one));
    EXPECT_EQ(Scanner::allocatedSize(sandbox.path(QStringLiteral("one"))), blocksOf(one));
    EXPECT_EQ(Scanner::allocatedSize(sandbox.path(QStringLiteral("missing"))), 0);

    const QString big = sandbox.writeFile(QStringLiteral("outside/big"), QByteArray(1 << 20, 'x'));
    const QString link = sandbox.symlink(big, QStringLiteral("tree/link"));
    sandbox.symlink(sandbox.path(QStringLiteral("outside")), QStringLiteral("tree/dirlink"));
    const QString sub = sandbox.makeDir(QStringLiteral("tree/sub"));
    const QString inner = sandbox.writeFile(QStringLiteral("tree/sub/f"), QByteArray(5000, 'y'));
    const QString dirlink = sandbox.path(QStringLiteral("tree/dirlink"));

    EXPECT_EQ(Scanner::allocatedSize(link), blocksOf(link));
    EXPECT_LT(Scanner::allocatedSize(link), blocksOf(big));
    EXPECT_EQ(Scanner::allocatedSize(sandbox.path(QStringLiteral("tree"))),
              blocksOf(link) + blocksOf(dirlink) + blocksOf(sub) + blocksOf(inner));
}

TEST(AllocatedSizeTest, DeepTreesAreMeasuredToTheBottom) {
    Sandbox sandbox;
    // Deeper than the walk keeps folders open, so the bottom is walked by path.
    QString relative = QStringLiteral("deep");
    qint64 expected = 0;
    for (int level = 0; level < 80; ++level) {
        relative += QStringLiteral("/d");
        sandbox.writeFile(relative + QStringLiteral("/f"), QByteArray(3000, 'z'));
        expected += blocksOf(sandbox.path(relative)) +
                    blocksOf(sandbox.path(relative + QStringLiteral("/f")));
    }
    sandbox.symlink(sandbox.path(QStringLiteral("deep")), relative + QStringLiteral("/up"));
    expected += blocksOf(sandbox.path(relative + QStringLiteral("/up")));
    EXPECT_EQ(Scanner::allocatedSize(sandbox.path(QStringLiteral("deep"))), expected);
}

TEST(AllocatedSizeTest, AFolderReachedThroughALinkIsMeasuredAsTheLink) {
    Sandbox sandbox;
    sandbox.writeFile(QStringLiteral("real/f"), QByteArray(9000, 'q'));
    const QString link =
        sandbox.symlink(sandbox.path(QStringLiteral("real")), QStringLiteral("link"));
    EXPECT_EQ(Scanner::allocatedSize(link), blocksOf(link));
}
