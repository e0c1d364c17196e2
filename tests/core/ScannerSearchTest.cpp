// The related-files search in a sandbox home with a sandbox system root:
// locations, receipts, temporary folders, installers, arbitration between
// bundles, admission and sizes.

#include "Sandbox.h"
#include "Scanner.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace moss;
using moss::test::Sandbox;

namespace {

AppBundle bundleRecord(const QString& url, const QString& identifier, const QStringList& names,
                       const QStringList& nested = {}) {
    AppBundle bundle;
    bundle.url = url;
    bundle.kind = BundleKind::Application;
    bundle.bundleIdentifier = identifier;
    bundle.names = names;
    bundle.displayName = names.value(0);
    bundle.nestedIdentifiers = nested;
    return bundle;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

class SearchTest : public ::testing::Test {
protected:
    SearchTest() {
        sandbox.makeDir(QStringLiteral("sys"));
        sketcher = bundleRecord(sandbox.makeDir(QStringLiteral("home/Applications/Sketcher.app")),
                                QStringLiteral("com.acme.Sketcher"), {QStringLiteral("Sketcher")});
    }

    SearchRoots roots() const {
        return SearchRoots{
            sandbox.home(),
            {sandbox.path(QStringLiteral("sys"))},
            {sandbox.path(QStringLiteral("tmp")), sandbox.path(QStringLiteral("cache"))}};
    }
    QString home(const QString& relative) const { return sandbox.home() + u'/' + relative; }
    QString sys(const QString& relative) const {
        return sandbox.path(QStringLiteral("sys/") + relative);
    }
    // Creates a file (or, with a trailing "/", a folder) below the sandbox.
    QString make(const QString& relative) const {
        return relative.endsWith(u'/') ? sandbox.makeDir(relative.chopped(1))
                                       : sandbox.writeFile(relative, QByteArrayLiteral("data"));
    }

    QList<FoundFile> search(const AppBundle& bundle, const QList<AppBundle>& competitors = {},
                            bool includeInstallers = false) const {
        Scanner scanner(roots());
        scanner.installerSource = [](const QStringList&, const QString&) { return QStringList(); };
        return scanner.relatedFiles(bundle, competitors, includeInstallers);
    }

    static const FoundFile* find(const QList<FoundFile>& files, const QString& url) {
        for (const FoundFile& file : files) {
            if (file.url == url)
                return &file;
        }
        return nullptr;
    }
    static QStringList sorted(QStringList list) {
        list.sort();
        return list;
    }
    static QStringList urls(const QList<FoundFile>& files) {
        QStringList out;
        for (qsizetype i = 1; i < files.size(); ++i)
            out.append(files.at(i).url);
        return out;
    }

    Sandbox sandbox;
    AppBundle sketcher;
};

} // namespace

TEST_F(SearchTest, TheBundleComesFirstEvenWithoutLeftovers) {
    sandbox.writeFile(QStringLiteral("home/Applications/Sketcher.app/Contents/MacOS/x"),
                      QByteArray(3000, 'x'));
    const QList<FoundFile> files = search(sketcher);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files.at(0).url, sketcher.url);
    EXPECT_EQ(files.at(0).category, FileCategory::bundle);
    EXPECT_TRUE(files.at(0).selectedByDefault);
    EXPECT_EQ(files.at(0).size, Scanner::allocatedSize(sketcher.url));
    EXPECT_GT(files.at(0).size, 0);
    EXPECT_EQ(files.at(0).needsAdmin, !fs::isWritable(fs::parentPath(sketcher.url)));
}

TEST_F(SearchTest, EveryRowOfTheUserLibraryAndOnlySharedRowsOfTheSystem) {
    const auto entryFor = [](const Location& row) {
        return row.rule == Location::Rule::groupContainers
                   ? QStringLiteral("group.com.acme.Sketcher")
                   : QStringLiteral("com.acme.Sketcher.item");
    };
    for (const Location& row : Scanner::libraryLocations()) {
        make(QStringLiteral("home/Library/") + row.path + u'/' + entryFor(row));
        make(QStringLiteral("sys/Library/") + row.path + u'/' + entryFor(row));
    }
    const QList<FoundFile> files = search(sketcher);
    int userRows = 0;
    int systemRows = 0;
    for (const Location& row : Scanner::libraryLocations()) {
        const QString relative = row.path + u'/' + entryFor(row);
        const FoundFile* user = find(files, home(QStringLiteral("Library/") + relative));
        const FoundFile* system = find(files, sys(QStringLiteral("Library/") + relative));
        ASSERT_NE(user, nullptr) << row.path.toStdString();
        EXPECT_EQ(user->category, row.category);
        EXPECT_TRUE(user->selectedByDefault);
        EXPECT_FALSE(user->needsAdmin);
        ++userRows;
        if (row.userOnly) {
            EXPECT_EQ(system, nullptr) << row.path.toStdString();
        } else {
            ASSERT_NE(system, nullptr) << row.path.toStdString();
            EXPECT_EQ(system->category, row.category);
            ++systemRows;
        }
    }
    EXPECT_EQ(userRows, 42);
    EXPECT_EQ(systemRows, 30);
    EXPECT_EQ(files.size(), 1 + 42 + 30);
}

TEST_F(SearchTest, RulesOfTheLocations) {
    make(QStringLiteral("home/Library/Application Support/Sketcher/"));
    make(QStringLiteral("home/Library/Application Support/Sketcher Notes/"));
    make(QStringLiteral("home/Library/Containers/Sketcher/")); // identifiers only
    make(QStringLiteral("home/Library/Group Containers/com.acme.Sketcher/"));
    make(QStringLiteral("home/Library/Application Support/Sketchbook/"));
    make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.plist"));
    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(urls(files),
              (QStringList{home(QStringLiteral("Library/Application Support/Sketcher")),
                           home(QStringLiteral("Library/Application Support/Sketcher Notes")),
                           home(QStringLiteral("Library/Preferences/com.acme.Sketcher.plist"))}));
    EXPECT_TRUE(files.at(1).selectedByDefault);
    EXPECT_FALSE(files.at(2).selectedByDefault); // a weak name match
}

TEST_F(SearchTest, SystemEntriesNeedAdminWhenTheirFolderIsNotWritable) {
    make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.plist"));
    const QString system = make(QStringLiteral("sys/Library/Preferences/com.acme.Sketcher.plist"));
    QList<FoundFile> files = search(sketcher);
    ASSERT_NE(find(files, system), nullptr);
    EXPECT_FALSE(find(files, system)->needsAdmin);
    EXPECT_FALSE(find(files, home(QStringLiteral("Library/Preferences/com.acme.Sketcher.plist")))
                     ->needsAdmin);
    if (runningAsRoot())
        GTEST_SKIP() << "every folder is writable for the superuser";
    ::chmod(fs::encodePath(sys(QStringLiteral("Library/Preferences"))).constData(), 0555);
    files = search(sketcher);
    ASSERT_NE(find(files, system), nullptr);
    EXPECT_TRUE(find(files, system)->needsAdmin);
}

TEST_F(SearchTest, WithoutSystemRootsNothingSystemWideIsSearched) {
    make(QStringLiteral("sys/Library/Preferences/com.acme.Sketcher.plist"));
    make(QStringLiteral("sys/private/var/db/receipts/com.acme.Sketcher.bom"));
    Scanner scanner(SearchRoots{sandbox.home(), {}, {}});
    EXPECT_EQ(scanner.relatedFiles(sketcher, {}, false).size(), 1);
}

TEST_F(SearchTest, ReceiptsAndTemporaryFolders) {
    const QString bom =
        make(QStringLiteral("sys/private/var/db/receipts/com.acme.Sketcher.pkg.bom"));
    make(QStringLiteral("sys/private/var/db/receipts/Sketcher.pkg.bom")); // names do not count
    const QString temp = make(QStringLiteral("tmp/com.acme.Sketcher/"));
    const QString cache = make(QStringLiteral("cache/com.acme.Sketcher.ShipIt/"));
    make(QStringLiteral("tmp/Sketcher/"));
    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(urls(files), (QStringList{cache, temp, bom}));
    EXPECT_EQ(find(files, bom)->category, FileCategory::receipts);
    EXPECT_TRUE(find(files, bom)->needsAdmin);
    EXPECT_TRUE(find(files, bom)->selectedByDefault);
    EXPECT_EQ(find(files, temp)->category, FileCategory::caches);
    EXPECT_FALSE(find(files, temp)->needsAdmin);
    EXPECT_TRUE(find(files, temp)->selectedByDefault);
}

TEST_F(SearchTest, LaunchJobsByNameAndByContents) {
    const QString byName =
        make(QStringLiteral("home/Library/LaunchAgents/com.acme.Sketcher.agent.plist"));
    const QString byProgram = sandbox.writePlist(
        QStringLiteral("sys/Library/LaunchDaemons/com.vendor.helper.plist"),
        {{QStringLiteral("ProgramArguments"),
          QVariantList{sketcher.url + QStringLiteral("/Contents/MacOS/helper")}}},
        plist::Format::binary);
    sandbox.writePlist(QStringLiteral("home/Library/LaunchAgents/com.vendor.other.plist"),
                       {{QStringLiteral("Label"), QStringLiteral("com.vendor.other")}});
    const QString vendor = sandbox.writePlist(
        QStringLiteral("home/Library/LaunchAgents/com.apple.sketcherjob.plist"),
        {{QStringLiteral("Program"), sketcher.url + QStringLiteral("/Contents/MacOS/job")}});

    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(urls(files), (QStringList{byName, byProgram}));
    EXPECT_EQ(find(files, byProgram)->category, FileCategory::launch);

    AppBundle appleOwned = sketcher;
    appleOwned.bundleIdentifier = QStringLiteral("com.apple.Sketcher");
    EXPECT_EQ(urls(search(appleOwned)), (QStringList{vendor, byProgram}));
}

TEST_F(SearchTest, ABundleWithoutKeysOnlyFindsJobsThatPointIntoIt) {
    const AppBundle keyless =
        bundleRecord(sandbox.makeDir(QStringLiteral("home/Applications/Git.app")),
                     QStringLiteral("ab"), {QStringLiteral("Git"), QStringLiteral("Helper")});
    make(QStringLiteral("home/Library/Application Support/Git/"));
    make(QStringLiteral("home/Library/Preferences/ab.plist"));
    const QString job = sandbox.writePlist(
        QStringLiteral("home/Library/LaunchAgents/x.plist"),
        {{QStringLiteral("Program"), keyless.url + QStringLiteral("/Contents/MacOS/git")}});
    EXPECT_EQ(urls(search(keyless)), QStringList{job});
}

// --- admission ---------------------------------------------------------------

TEST_F(SearchTest, ABundleInsideASearchedFolderIsListedOnce) {
    AppBundle pane = bundleRecord(
        sandbox.makeDir(QStringLiteral("home/Library/PreferencePanes/Sketcher.prefPane")),
        QStringLiteral("com.acme.Sketcher"), {QStringLiteral("Sketcher")});
    pane.kind = BundleKind::Plugin;
    make(QStringLiteral("home/Library/PreferencePanes/Sketcher.prefPane/Contents/Info.plist"));
    const QList<FoundFile> files = search(pane);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files.at(0).url, pane.url);
    EXPECT_EQ(files.at(0).category, FileCategory::bundle);
}

TEST_F(SearchTest, NothingInsideTheBundleIsALeftover) {
    make(QStringLiteral("home/Applications/Sketcher.app/Contents/com.acme.Sketcher.plist"));
    Scanner scanner(SearchRoots{sandbox.home(), {}, {sketcher.url + QStringLiteral("/Contents")}});
    EXPECT_EQ(scanner.relatedFiles(sketcher, {}, false).size(), 1);
}

TEST_F(SearchTest, TheFirstAdmissionOfAPathWins) {
    const QString prefs = make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.plist"));
    make(QStringLiteral("home/Library/Caches/"));
    const QString pathWithDots = home(QStringLiteral("Library/Caches/../Preferences"));
    Scanner scanner(
        SearchRoots{sandbox.home(),
                    {sandbox.path(QStringLiteral("sys")), sandbox.path(QStringLiteral("sys"))},
                    {pathWithDots}});
    make(QStringLiteral("sys/Library/Caches/com.acme.Sketcher/"));
    const QList<FoundFile> files = scanner.relatedFiles(sketcher, {}, false);
    EXPECT_EQ(urls(files),
              (QStringList{prefs, sys(QStringLiteral("Library/Caches/com.acme.Sketcher"))}));
    EXPECT_EQ(find(files, prefs)->category, FileCategory::preferences);
}

TEST_F(SearchTest, EntriesInsideAnAdmittedFolderAreHidden) {
    const QString folder = make(QStringLiteral("home/Library/Caches/Sketcher/"));
    make(QStringLiteral("home/Library/Caches/Sketcher/tmp/com.acme.Sketcher.lock"));
    Scanner scanner(SearchRoots{sandbox.home(), {}, {folder + QStringLiteral("/tmp")}});
    EXPECT_EQ(urls(scanner.relatedFiles(sketcher, {}, false)), QStringList{folder});
}

TEST_F(SearchTest, AFolderAdmittedLaterKeepsWhatWasAdmittedBefore) {
    // The home lies inside a temporary folder entry that the search admits last.
    const QString outer = sandbox.makeDir(QStringLiteral("tmp/com.acme.Sketcher.home"));
    const QString inner = sandbox.writeFile(
        QStringLiteral("tmp/com.acme.Sketcher.home/Library/Preferences/com.acme.Sketcher.plist"));
    Scanner scanner(SearchRoots{outer, {}, {sandbox.path(QStringLiteral("tmp"))}});
    EXPECT_EQ(urls(scanner.relatedFiles(sketcher, {}, false)), (QStringList{inner, outer}));
}

TEST_F(SearchTest, ProtectedNamesAreNeverReported) {
    make(QStringLiteral("home/Library/Preferences/com.apple.Sketcher.plist"));
    AppBundle vendorOwned = bundleRecord(sketcher.url, QStringLiteral("com.apple.Sketcher"),
                                         {QStringLiteral("Sketcher")});
    EXPECT_EQ(urls(search(vendorOwned)).size(), 1);
    AppBundle other =
        bundleRecord(sketcher.url, QStringLiteral("com.acme.Sketcher"),
                     {QStringLiteral("Sketcher")}, {QStringLiteral("com.apple.Sketcher")});
    EXPECT_TRUE(urls(search(other)).isEmpty());
}

TEST_F(SearchTest, AVendorNamedLaunchAgentStaysHiddenEvenWhenItRunsTheBundle) {
    const QString agent = sandbox.writePlist(
        QStringLiteral("home/Library/LaunchAgents/com.apple.updater.plist"),
        {{QStringLiteral("ProgramArguments"),
          QVariantList{sketcher.url + QStringLiteral("/Contents/MacOS/agent")}}});
    EXPECT_TRUE(urls(search(sketcher)).isEmpty());

    const AppBundle vendorOwned = bundleRecord(sketcher.url, QStringLiteral("com.apple.Sketcher"),
                                               {QStringLiteral("Sketcher")});
    const QList<FoundFile> files = search(vendorOwned);
    EXPECT_EQ(urls(files), QStringList{agent});
    EXPECT_EQ(files.last().category, FileCategory::launch);
}

// --- installers --------------------------------------------------------------

TEST_F(SearchTest, InstallersFromAReplacedSource) {
    const QString dl = home(QStringLiteral("Downloads/"));
    Scanner scanner(roots());
    QStringList askedNames;
    QString askedFolder;
    scanner.installerSource = [&](const QStringList& names, const QString& folder) {
        askedNames = names;
        askedFolder = folder;
        return QStringList{dl + QStringLiteral("Sketcher-2.3.dmg"),
                           dl + QStringLiteral("Sketcher Notes.zip"),
                           dl + QStringLiteral("Other.pkg"), dl + QStringLiteral("Sketchbook.dmg")};
    };
    QList<FoundFile> files = scanner.relatedFiles(sketcher, {}, false);
    EXPECT_EQ(files.size(), 1);
    EXPECT_TRUE(askedFolder.isEmpty());

    files = scanner.relatedFiles(sketcher, {}, true);
    EXPECT_EQ(askedFolder, dl);
    EXPECT_EQ(askedNames, QStringList{QStringLiteral("Sketcher")});
    EXPECT_EQ(urls(files), (QStringList{dl + QStringLiteral("Sketcher Notes.zip"),
                                        dl + QStringLiteral("Sketcher-2.3.dmg")}));
    for (qsizetype i = 1; i < files.size(); ++i) {
        EXPECT_EQ(files.at(i).category, FileCategory::installers);
        EXPECT_FALSE(files.at(i).selectedByDefault);
        EXPECT_FALSE(files.at(i).needsAdmin);
        EXPECT_EQ(files.at(i).size, 0); // the source's files do not exist
    }
}

TEST_F(SearchTest, InstallersFromTheDefaultDownloadsListing) {
    if (fs::exists(QStringLiteral("/usr/bin/mdfind")))
        GTEST_SKIP() << "the platform's metadata search answers instead";
    const QString dmg = make(QStringLiteral("home/Downloads/Sketcher-2.3.dmg"));
    const QString notes = make(QStringLiteral("home/Downloads/Sketcher Notes.zip"));
    make(QStringLiteral("home/Downloads/old/Sketcher.dmg"));
    make(QStringLiteral("home/Downloads/Sketcher.app/"));
    make(QStringLiteral("home/Downloads/Other.dmg"));
    const Scanner scanner(roots());
    const QList<FoundFile> files = scanner.relatedFiles(sketcher, {}, true);
    EXPECT_EQ(urls(files), (QStringList{notes, dmg}));
    EXPECT_GT(find(files, dmg)->size, 0);
}

// --- arbitration -------------------------------------------------------------

TEST_F(SearchTest, ALongerIdentifierOfACompetitorTakesTheEntry) {
    const QString own = make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.plist"));
    make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.helper.plist"));
    const AppBundle helper = bundleRecord(
        sandbox.makeDir(QStringLiteral("home/Applications/Helper.app")),
        QStringLiteral("com.acme.Sketcher.helper"), {QStringLiteral("Sketcher Helper")});
    EXPECT_EQ(urls(search(sketcher, {helper})), QStringList{own});
    EXPECT_EQ(urls(search(sketcher)).size(), 2);

    // Nested in the bundle, the helper's identifier is one of the bundle's own.
    AppBundle suite = sketcher;
    suite.nestedIdentifiers = {QStringLiteral("com.acme.Sketcher.helper")};
    EXPECT_EQ(urls(search(suite, {helper})).size(), 2);
}

TEST_F(SearchTest, AStrongNameClaimOfACompetitorWeakensANameOnlyEntry) {
    const QString folder = make(QStringLiteral("home/Library/Application Support/Sketcher/"));
    const AppBundle namesake =
        bundleRecord(sandbox.makeDir(QStringLiteral("Applications/Sketcher.app")),
                     QStringLiteral("org.other.Sketcher"), {QStringLiteral("Sketcher")});
    QList<FoundFile> files = search(sketcher, {namesake});
    ASSERT_NE(find(files, folder), nullptr);
    EXPECT_FALSE(find(files, folder)->selectedByDefault);
    files = search(sketcher);
    EXPECT_TRUE(find(files, folder)->selectedByDefault);
}

TEST_F(SearchTest, TheFirstCompetitorThatDecidesWins) {
    const QString folder = make(QStringLiteral("home/Library/Application Support/Sketcher/"));
    const AppBundle namesake =
        bundleRecord(sandbox.makeDir(QStringLiteral("Applications/A.app")),
                     QStringLiteral("org.other.Sketcher"), {QStringLiteral("Sketcher")});
    const AppBundle claimant = bundleRecord(sandbox.makeDir(QStringLiteral("Applications/B.app")),
                                            QStringLiteral("Sketcher"), {QStringLiteral("Bee")});
    const QList<FoundFile> weakened = search(sketcher, {namesake, claimant});
    ASSERT_NE(find(weakened, folder), nullptr);
    EXPECT_FALSE(find(weakened, folder)->selectedByDefault);
    EXPECT_EQ(find(search(sketcher, {claimant, namesake}), folder), nullptr);
}

TEST_F(SearchTest, CopiesOfTheBundleAreNotCompetitors) {
    const QString folder = make(QStringLiteral("home/Library/Application Support/Sketcher/"));
    make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.helper.plist"));
    AppBundle copy = bundleRecord(sandbox.makeDir(QStringLiteral("Applications/Sketcher.app")),
                                  QStringLiteral("COM.ACME.SKETCHER"), {QStringLiteral("Sketcher")},
                                  {QStringLiteral("com.acme.Sketcher.helper")});
    AppBundle same = copy;
    same.url = sketcher.url;
    same.bundleIdentifier = QStringLiteral("org.other.Sketcher");
    const QList<FoundFile> files = search(sketcher, {copy, same, sketcher});
    EXPECT_EQ(files.size(), 3);
    EXPECT_TRUE(find(files, folder)->selectedByDefault);
}

TEST_F(SearchTest, AnEqualIdentifierClaimKeepsTheEntry) {
    const QString prefs = make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.plist"));
    const AppBundle suite = bundleRecord(
        sandbox.makeDir(QStringLiteral("Applications/Suite.app")), QStringLiteral("com.acme.Suite"),
        {QStringLiteral("Suite")}, {QStringLiteral("com.acme.Sketcher")});
    EXPECT_EQ(urls(search(sketcher, {suite})), QStringList{prefs});
}

TEST_F(SearchTest, TeamGroupContainersStayWithTheBundle) {
    sketcher.teamIdentifier = QStringLiteral("ABCDE12345");
    const QString group =
        make(QStringLiteral("home/Library/Group Containers/ABCDE12345.com.acme.Sketcher/"));
    AppBundle sibling = bundleRecord(sandbox.makeDir(QStringLiteral("Applications/Other.app")),
                                     QStringLiteral("com.acme.Other"), {QStringLiteral("Other")});
    sibling.teamIdentifier = sketcher.teamIdentifier;
    EXPECT_EQ(urls(search(sketcher, {sibling})), QStringList{group});
}

// Editions of one product normalise to the same identifier; each keeps its own files.
class EditionsTest : public SearchTest {
protected:
    EditionsTest() {
        tax2023 =
            bundleRecord(sandbox.makeDir(QStringLiteral("home/Applications/TaxMac 2023.app")),
                         QStringLiteral("com.vendor.TaxMac2023"), {QStringLiteral("TaxMac 2023")});
        tax2024 =
            bundleRecord(sandbox.makeDir(QStringLiteral("home/Applications/TaxMac 2024.app")),
                         QStringLiteral("com.vendor.TaxMac2024"), {QStringLiteral("TaxMac 2024")});
        for (const char* year : {"2023", "2024"}) {
            const QString id = QStringLiteral("com.vendor.TaxMac") + QString::fromLatin1(year);
            make(QStringLiteral("home/Library/Preferences/") + id + QStringLiteral(".plist"));
            make(QStringLiteral("home/Library/Containers/") + id + u'/');
            make(QStringLiteral("home/Library/Saved Application State/") + id +
                 QStringLiteral(".savedState/"));
        }
        bare = make(QStringLiteral("home/Library/Preferences/com.vendor.TaxMac.plist"));
    }

    QStringList filesOf(const char* year) const {
        const QString id = QStringLiteral("com.vendor.TaxMac") + QString::fromLatin1(year);
        return {home(QStringLiteral("Library/Containers/") + id),
                home(QStringLiteral("Library/Preferences/") + id + QStringLiteral(".plist")),
                home(QStringLiteral("Library/Saved Application State/") + id +
                     QStringLiteral(".savedState"))};
    }

    AppBundle tax2023;
    AppBundle tax2024;
    QString bare;
};

TEST_F(EditionsTest, EachEditionKeepsItsOwnFilesWhateverTheCompetitorOrder) {
    const QStringList with2023 = sorted(filesOf("2023") << bare);
    const QStringList with2024 = sorted(filesOf("2024") << bare);
    EXPECT_EQ(sorted(urls(search(tax2023, {tax2024}))), with2023);
    EXPECT_EQ(sorted(urls(search(tax2023, {tax2024, tax2023}))), with2023);
    EXPECT_EQ(sorted(urls(search(tax2023, {tax2023, tax2024}))), with2023);
    EXPECT_EQ(sorted(urls(search(tax2024, {tax2023}))), with2024);
    EXPECT_EQ(sorted(urls(search(tax2024, {tax2024, tax2023}))), with2024);
    for (const FoundFile& file : search(tax2023, {tax2024}))
        EXPECT_TRUE(file.selectedByDefault) << file.url.toStdString();
}

TEST_F(EditionsTest, WithoutCompetitorsBothEditionsMatch) {
    EXPECT_EQ(urls(search(tax2023)).size(), 7);
}

TEST_F(EditionsTest, ASecondCopyOfTheSameEditionIsStillNoCompetitor) {
    const QString support = make(QStringLiteral("home/Library/Application Support/TaxMac/"));
    AppBundle copy = tax2023;
    copy.url = sandbox.makeDir(QStringLiteral("Applications/TaxMac 2023.app"));
    const QList<FoundFile> alone = search(tax2023, {copy});
    ASSERT_NE(find(alone, support), nullptr);
    EXPECT_TRUE(find(alone, support)->selectedByDefault);
    EXPECT_EQ(alone.size(), 1 + 7 + 1);

    const QList<FoundFile> files = search(tax2023, {copy, tax2024});
    for (const QString& file : filesOf("2023"))
        EXPECT_NE(find(files, file), nullptr) << file.toStdString();
    for (const QString& file : filesOf("2024"))
        EXPECT_EQ(find(files, file), nullptr) << file.toStdString();
}

// --- sizes and hostile trees --------------------------------------------------

TEST_F(SearchTest, SizesAreMeasuredAfterAdmission) {
    const QString folder =
        make(QStringLiteral("home/Library/Application Support/com.acme.Sketcher/"));
    sandbox.writeFile(QStringLiteral("home/Library/Application Support/com.acme.Sketcher/a"),
                      QByteArray(10000, 'a'));
    sandbox.writeFile(QStringLiteral("home/Library/Application Support/com.acme.Sketcher/b/c"),
                      QByteArray(70000, 'c'));
    const QString big = sandbox.writeFile(QStringLiteral("outside/big"), QByteArray(1 << 20, 'x'));
    sandbox.symlink(sandbox.path(QStringLiteral("outside")),
                    QStringLiteral("home/Library/Application Support/com.acme.Sketcher/link"));
    const QString link =
        sandbox.symlink(big, QStringLiteral("home/Library/Caches/com.acme.Sketcher"));
    const QList<FoundFile> files = search(sketcher);
    ASSERT_EQ(files.size(), 3);
    for (const FoundFile& file : files)
        EXPECT_EQ(file.size, Scanner::allocatedSize(file.url)) << file.url.toStdString();
    EXPECT_LT(find(files, folder)->size, Scanner::allocatedSize(big));
    EXPECT_LT(find(files, link)->size, Scanner::allocatedSize(big));
}

TEST_F(SearchTest, WithoutSizesTheSameFilesComeBackUnmeasured) {
    make(QStringLiteral("home/Applications/Sketcher.app/Contents/Info.plist"));
    make(QStringLiteral("home/Library/Application Support/com.acme.Sketcher/"));
    sandbox.writeFile(QStringLiteral("home/Library/Application Support/com.acme.Sketcher/a"),
                      QByteArray(10000, 'a'));
    make(QStringLiteral("home/Library/Preferences/com.acme.Sketcher.plist"));
    const QList<FoundFile> sized = search(sketcher);
    Scanner scanner(roots());
    scanner.installerSource = [](const QStringList&, const QString&) { return QStringList(); };
    scanner.measureSizes = false;
    const QList<FoundFile> unsized = scanner.relatedFiles(sketcher, {}, false);
    ASSERT_EQ(unsized.size(), 3);
    ASSERT_EQ(urls(unsized), urls(sized));
    for (qsizetype i = 0; i < unsized.size(); ++i) {
        EXPECT_GT(sized.at(i).size, 0);
        EXPECT_EQ(unsized.at(i).size, 0);
        EXPECT_EQ(unsized.at(i).category, sized.at(i).category);
        EXPECT_EQ(unsized.at(i).selectedByDefault, sized.at(i).selectedByDefault);
    }
}

TEST_F(SearchTest, ALibraryFolderThatIsALinkIsListedThroughIt) {
    const QString real = sandbox.makeDir(QStringLiteral("elsewhere/Preferences"));
    sandbox.writeFile(QStringLiteral("elsewhere/Preferences/com.acme.Sketcher.plist"));
    sandbox.symlink(real, QStringLiteral("home/Library/Preferences"));
    EXPECT_EQ(urls(search(sketcher)),
              QStringList{home(QStringLiteral("Library/Preferences/com.acme.Sketcher.plist"))});
}

TEST_F(SearchTest, AHostileTreeIsScannedWithoutFollowingLinksOut) {
    const QString folder =
        make(QStringLiteral("home/Library/Application Support/com.acme.Sketcher/"));
    sandbox.symlink(folder,
                    QStringLiteral("home/Library/Application Support/com.acme.Sketcher/loop"));
    sandbox.symlink(QStringLiteral("loop/loop"),
                    QStringLiteral("home/Library/Application Support/com.acme.Sketcher/deeper"));
    sandbox.symlink(QStringLiteral("/"),
                    QStringLiteral("home/Library/Application Support/com.acme.Sketcher/root"));
    const QString fifo = home(QStringLiteral("Library/LaunchAgents/com.other.job.plist"));
    sandbox.makeDir(QStringLiteral("home/Library/LaunchAgents"));
    ASSERT_EQ(::mkfifo(fs::encodePath(fifo).constData(), 0600), 0);
    const QString caches = sandbox.makeDir(QStringLiteral("home/Library/Caches"));
    make(QStringLiteral("home/Library/Caches/com.acme.Sketcher/"));
    make(QStringLiteral("home/Library/Logs/com.acme.Sketcher/x/y"));
    ::chmod(fs::encodePath(home(QStringLiteral("Library/Logs/com.acme.Sketcher"))).constData(), 0);
    ::chmod(fs::encodePath(caches).constData(), 0);
    sandbox.symlink(QStringLiteral("/etc"), QStringLiteral("home/Library/Containers"));

    const QList<FoundFile> files = search(sketcher);
    EXPECT_NE(find(files, folder), nullptr);
    EXPECT_EQ(find(files, folder)->size, Scanner::allocatedSize(folder));
    EXPECT_LT(find(files, folder)->size, 64 * 1024);
    EXPECT_NE(find(files, home(QStringLiteral("Library/Logs/com.acme.Sketcher"))), nullptr);
    EXPECT_EQ(find(files, fifo), nullptr);
}
