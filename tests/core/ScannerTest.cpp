// The related-files search in a sandbox home with a sandbox system root:
// locations, receipts, temporary folders, installers, arbitration between
// bundles, admission, sizes, and hostile trees (links out of the roots,
// loops, FIFOs named like launch jobs, unreadable folders, a folder with
// 100 000 entries), which the scan finishes without leaving the roots.

#include "Scanner.h"

#include "Child.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QRegularExpression>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
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

class ScannerTest : public ::testing::Test {
protected:
    ScannerTest() {
        sandbox.makeDir(u"sys"_s);
        sketcher = bundleRecord(sandbox.makeDir(u"home/Applications/Sketcher.app"_s),
                                u"com.acme.Sketcher"_s, {u"Sketcher"_s});
    }

    SearchRoots roots() const {
        return SearchRoots{sandbox.home(),
                           {sandbox.path(u"sys"_s)},
                           {sandbox.path(u"tmp"_s), sandbox.path(u"cache"_s)}};
    }
    QString home(const QString& relative) const { return sandbox.home() + u'/' + relative; }
    QString sys(const QString& relative) const { return sandbox.path(u"sys/"_s + relative); }
    // A named pipe below the sandbox.
    QString fifo(const QString& relative) const {
        sandbox.makeDir(fs::parentPath(relative));
        const QString path = sandbox.path(relative);
        EXPECT_EQ(::mkfifo(fs::encodePath(path).constData(), 0600), 0);
        return path;
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

TEST_F(ScannerTest, TheBundleComesFirstEvenWithoutLeftovers) {
    sandbox.writeFile(u"home/Applications/Sketcher.app/Contents/MacOS/x"_s, QByteArray(3000, 'x'));
    const QList<FoundFile> files = search(sketcher);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files.at(0).url, sketcher.url);
    EXPECT_EQ(files.at(0).category, FileCategory::bundle);
    EXPECT_TRUE(files.at(0).selectedByDefault);
    EXPECT_EQ(files.at(0).size, Scanner::allocatedSize(sketcher.url));
    EXPECT_GT(files.at(0).size, 0);
    EXPECT_EQ(files.at(0).needsAdmin, !fs::isWritable(fs::parentPath(sketcher.url)));
}

TEST_F(ScannerTest, EveryRowOfTheUserLibraryAndOnlySharedRowsOfTheSystem) {
    const auto entryFor = [](const Location& row) {
        return row.rule == Location::Rule::groupContainers ? u"group.com.acme.Sketcher"_s
                                                           : u"com.acme.Sketcher.item"_s;
    };
    for (const Location& row : Scanner::libraryLocations()) {
        make(u"home/Library/"_s + row.path + u'/' + entryFor(row));
        make(u"sys/Library/"_s + row.path + u'/' + entryFor(row));
    }
    const QList<FoundFile> files = search(sketcher);
    int userRows = 0;
    int systemRows = 0;
    for (const Location& row : Scanner::libraryLocations()) {
        const QString relative = row.path + u'/' + entryFor(row);
        const FoundFile* user = find(files, home(u"Library/"_s + relative));
        const FoundFile* system = find(files, sys(u"Library/"_s + relative));
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

TEST_F(ScannerTest, RulesOfTheLocations) {
    make(u"home/Library/Application Support/Sketcher/"_s);
    make(u"home/Library/Application Support/Sketcher Notes/"_s);
    make(u"home/Library/Containers/Sketcher/"_s); // identifiers only
    make(u"home/Library/Group Containers/com.acme.Sketcher/"_s);
    make(u"home/Library/Application Support/Sketchbook/"_s);
    make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(urls(files), (QStringList{home(u"Library/Application Support/Sketcher"_s),
                                        home(u"Library/Application Support/Sketcher Notes"_s),
                                        home(u"Library/Preferences/com.acme.Sketcher.plist"_s)}));
    EXPECT_TRUE(files.at(1).selectedByDefault);
    EXPECT_FALSE(files.at(2).selectedByDefault); // a weak name match
}

TEST_F(ScannerTest, SystemEntriesNeedAdminWhenTheirFolderIsNotWritable) {
    make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    const QString system = make(u"sys/Library/Preferences/com.acme.Sketcher.plist"_s);
    QList<FoundFile> files = search(sketcher);
    ASSERT_NE(find(files, system), nullptr);
    EXPECT_FALSE(find(files, system)->needsAdmin);
    EXPECT_FALSE(find(files, home(u"Library/Preferences/com.acme.Sketcher.plist"_s))->needsAdmin);
    if (runningAsRoot())
        GTEST_SKIP() << "every folder is writable for the superuser";
    ::chmod(fs::encodePath(sys(u"Library/Preferences"_s)).constData(), 0555);
    files = search(sketcher);
    ASSERT_NE(find(files, system), nullptr);
    EXPECT_TRUE(find(files, system)->needsAdmin);
}

TEST_F(ScannerTest, WithoutSystemRootsNothingSystemWideIsSearched) {
    make(u"sys/Library/Preferences/com.acme.Sketcher.plist"_s);
    make(u"sys/private/var/db/receipts/com.acme.Sketcher.bom"_s);
    Scanner scanner(SearchRoots{sandbox.home(), {}, {}});
    EXPECT_EQ(scanner.relatedFiles(sketcher, {}, false).size(), 1);
}

TEST_F(ScannerTest, ReceiptsAndTemporaryFolders) {
    const QString bom = make(u"sys/private/var/db/receipts/com.acme.Sketcher.pkg.bom"_s);
    make(u"sys/private/var/db/receipts/Sketcher.pkg.bom"_s); // names do not count
    const QString temp = make(u"tmp/com.acme.Sketcher/"_s);
    const QString cache = make(u"cache/com.acme.Sketcher.ShipIt/"_s);
    make(u"tmp/Sketcher/"_s);
    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(urls(files), (QStringList{cache, temp, bom}));
    EXPECT_EQ(find(files, bom)->category, FileCategory::receipts);
    EXPECT_TRUE(find(files, bom)->needsAdmin);
    EXPECT_TRUE(find(files, bom)->selectedByDefault);
    EXPECT_EQ(find(files, temp)->category, FileCategory::caches);
    EXPECT_FALSE(find(files, temp)->needsAdmin);
    EXPECT_TRUE(find(files, temp)->selectedByDefault);
}

TEST_F(ScannerTest, LaunchJobsByNameAndByContents) {
    const QString byName = make(u"home/Library/LaunchAgents/com.acme.Sketcher.agent.plist"_s);
    const QString byProgram = sandbox.writePlist(
        u"sys/Library/LaunchDaemons/com.vendor.helper.plist"_s,
        {{u"ProgramArguments"_s, QVariantList{sketcher.url + u"/Contents/MacOS/helper"_s}}},
        plist::Format::binary);
    sandbox.writePlist(u"home/Library/LaunchAgents/com.vendor.other.plist"_s,
                       {{u"Label"_s, u"com.vendor.other"_s}});
    const QString vendor =
        sandbox.writePlist(u"home/Library/LaunchAgents/com.apple.sketcherjob.plist"_s,
                           {{u"Program"_s, sketcher.url + u"/Contents/MacOS/job"_s}});

    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(urls(files), (QStringList{byName, byProgram}));
    EXPECT_EQ(find(files, byProgram)->category, FileCategory::launch);

    AppBundle appleOwned = sketcher;
    appleOwned.bundleIdentifier = u"com.apple.Sketcher"_s;
    EXPECT_EQ(urls(search(appleOwned)), (QStringList{vendor, byProgram}));
}

TEST_F(ScannerTest, ABundleWithoutKeysOnlyFindsJobsThatPointIntoIt) {
    const AppBundle keyless = bundleRecord(sandbox.makeDir(u"home/Applications/Git.app"_s), u"ab"_s,
                                           {u"Git"_s, u"Helper"_s});
    make(u"home/Library/Application Support/Git/"_s);
    make(u"home/Library/Preferences/ab.plist"_s);
    const QString job =
        sandbox.writePlist(u"home/Library/LaunchAgents/x.plist"_s,
                           {{u"Program"_s, keyless.url + u"/Contents/MacOS/git"_s}});
    EXPECT_EQ(urls(search(keyless)), QStringList{job});
}

TEST_F(ScannerTest, DegenerateKeysSelectNothingUnrelated) {
    // An identifier of one part, a nested helper's bare name, and names of
    // searched folders.
    const AppBundle degenerate =
        bundleRecord(sandbox.makeDir(u"home/Applications/X.app"_s), u"  com  "_s,
                     {u"DiagnosticReports"_s, u"ByHost"_s}, {u"helper"_s});
    for (const QString& item :
         {u"home/Library/Preferences/com.other.plist"_s,
          u"home/Library/Preferences/ByHost/com.other.host.plist"_s,
          u"home/Library/Caches/com.unrelated/"_s, u"home/Library/Application Support/com.x/"_s,
          u"home/Library/Containers/com.y/"_s, u"home/Library/Logs/DiagnosticReports/Other.crash"_s,
          u"tmp/com.t/"_s, u"cache/helper.cache/"_s})
        make(item);
    EXPECT_EQ(urls(search(degenerate)), QStringList{});
}

// --- admission ---------------------------------------------------------------

TEST_F(ScannerTest, OneItemPerFileSystemObject) {
    // The cache folder is a link to the temporary folder, the diagnostic
    // reports a link to the crash reporter's folder, and a searched folder a
    // link to where the bundle is: each object once, under its first path.
    const QString temp = make(u"tmp/com.acme.Sketcher/"_s);
    sandbox.symlink(sandbox.path(u"tmp"_s), u"cache"_s);
    const QString report =
        make(u"home/Library/Application Support/CrashReporter/Sketcher_1.plist"_s);
    sandbox.symlink(home(u"Library/Application Support/CrashReporter"_s),
                    u"home/Library/Logs/DiagnosticReports"_s);
    sandbox.symlink(fs::parentPath(sketcher.url), u"home/Library/Services"_s);
    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(sorted(urls(files)), sorted({report, temp}));
    EXPECT_EQ(find(files, report)->category, FileCategory::logs);
}

TEST_F(ScannerTest, AnotherUsersEntriesOfTemporaryAndStickyFoldersAreNotOffered) {
    if (!runningAsRoot())
        GTEST_SKIP() << "giving an entry to another user needs the superuser";
    const auto foreign = [this](const QString& relative) {
        const QString path = make(relative);
        test::handOver(path, test::kNobody);
        return path;
    };
    const QString own = make(u"tmp/com.acme.Sketcher.own/"_s);
    foreign(u"tmp/com.acme.Sketcher.planted/"_s);
    foreign(u"cache/com.acme.Sketcher/"_s);
    // A sticky folder anywhere: here a Library location.
    ::chmod(fs::encodePath(sandbox.makeDir(u"home/Library/Caches"_s)).constData(), 01777);
    const QString ownCache = make(u"home/Library/Caches/com.acme.Sketcher/"_s);
    foreign(u"home/Library/Caches/Sketcher/"_s);
    // Another user's entry of a plain folder is offered as before.
    const QString preferences = foreign(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    EXPECT_EQ(sorted(urls(search(sketcher))), sorted({own, ownCache, preferences}));
}

TEST_F(ScannerTest, ABundleInsideASearchedFolderIsListedOnce) {
    AppBundle pane =
        bundleRecord(sandbox.makeDir(u"home/Library/PreferencePanes/Sketcher.prefPane"_s),
                     u"com.acme.Sketcher"_s, {u"Sketcher"_s});
    pane.kind = BundleKind::Plugin;
    make(u"home/Library/PreferencePanes/Sketcher.prefPane/Contents/Info.plist"_s);
    const QList<FoundFile> files = search(pane);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files.at(0).url, pane.url);
    EXPECT_EQ(files.at(0).category, FileCategory::bundle);
}

TEST_F(ScannerTest, NothingInsideTheBundleIsALeftover) {
    make(u"home/Applications/Sketcher.app/Contents/com.acme.Sketcher.plist"_s);
    Scanner scanner(SearchRoots{sandbox.home(), {}, {sketcher.url + u"/Contents"_s}});
    EXPECT_EQ(scanner.relatedFiles(sketcher, {}, false).size(), 1);
}

TEST_F(ScannerTest, TheFirstAdmissionOfAPathWins) {
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    make(u"home/Library/Caches/"_s);
    const QString pathWithDots = home(u"Library/Caches/../Preferences"_s);
    Scanner scanner(SearchRoots{
        sandbox.home(), {sandbox.path(u"sys"_s), sandbox.path(u"sys"_s)}, {pathWithDots}});
    make(u"sys/Library/Caches/com.acme.Sketcher/"_s);
    const QList<FoundFile> files = scanner.relatedFiles(sketcher, {}, false);
    EXPECT_EQ(urls(files), (QStringList{prefs, sys(u"Library/Caches/com.acme.Sketcher"_s)}));
    EXPECT_EQ(find(files, prefs)->category, FileCategory::preferences);
}

TEST_F(ScannerTest, EntriesInsideAnAdmittedFolderAreHidden) {
    const QString folder = make(u"home/Library/Caches/Sketcher/"_s);
    make(u"home/Library/Caches/Sketcher/tmp/com.acme.Sketcher.lock"_s);
    Scanner scanner(SearchRoots{sandbox.home(), {}, {folder + u"/tmp"_s}});
    EXPECT_EQ(urls(scanner.relatedFiles(sketcher, {}, false)), QStringList{folder});
}

TEST_F(ScannerTest, AFolderAdmittedLaterKeepsWhatWasAdmittedBefore) {
    // The home lies inside a temporary folder entry that the search admits last.
    const QString outer = sandbox.makeDir(u"tmp/com.acme.Sketcher.home"_s);
    const QString inner = sandbox.writeFile(
        u"tmp/com.acme.Sketcher.home/Library/Preferences/com.acme.Sketcher.plist"_s);
    Scanner scanner(SearchRoots{outer, {}, {sandbox.path(u"tmp"_s)}});
    EXPECT_EQ(urls(scanner.relatedFiles(sketcher, {}, false)), (QStringList{inner, outer}));
}

TEST_F(ScannerTest, ProtectedNamesAreNeverReported) {
    make(u"home/Library/Preferences/com.apple.Sketcher.plist"_s);
    AppBundle vendorOwned = bundleRecord(sketcher.url, u"com.apple.Sketcher"_s, {u"Sketcher"_s});
    EXPECT_EQ(urls(search(vendorOwned)).size(), 1);
    AppBundle other = bundleRecord(sketcher.url, u"com.acme.Sketcher"_s, {u"Sketcher"_s},
                                   {u"com.apple.Sketcher"_s});
    EXPECT_TRUE(urls(search(other)).isEmpty());
}

TEST_F(ScannerTest, AVendorNamedLaunchAgentStaysHiddenEvenWhenItRunsTheBundle) {
    const QString agent = sandbox.writePlist(
        u"home/Library/LaunchAgents/com.apple.updater.plist"_s,
        {{u"ProgramArguments"_s, QVariantList{sketcher.url + u"/Contents/MacOS/agent"_s}}});
    EXPECT_TRUE(urls(search(sketcher)).isEmpty());

    const AppBundle vendorOwned =
        bundleRecord(sketcher.url, u"com.apple.Sketcher"_s, {u"Sketcher"_s});
    const QList<FoundFile> files = search(vendorOwned);
    EXPECT_EQ(urls(files), QStringList{agent});
    EXPECT_EQ(files.last().category, FileCategory::launch);
}

// --- installers --------------------------------------------------------------

TEST_F(ScannerTest, InstallersFromAReplacedSource) {
    const QString dl = home(u"Downloads/"_s);
    Scanner scanner(roots());
    QStringList askedNames;
    QString askedFolder;
    scanner.installerSource = [&](const QStringList& names, const QString& folder) {
        askedNames = names;
        askedFolder = folder;
        return QStringList{dl + u"Sketcher-2.3.dmg"_s, dl + u"Sketcher Notes.zip"_s,
                           dl + u"Other.pkg"_s, dl + u"Sketchbook.dmg"_s};
    };
    QList<FoundFile> files = scanner.relatedFiles(sketcher, {}, false);
    EXPECT_EQ(files.size(), 1);
    EXPECT_TRUE(askedFolder.isEmpty());

    files = scanner.relatedFiles(sketcher, {}, true);
    EXPECT_EQ(askedFolder, dl);
    EXPECT_EQ(askedNames, QStringList{u"Sketcher"_s});
    EXPECT_EQ(urls(files), (QStringList{dl + u"Sketcher Notes.zip"_s, dl + u"Sketcher-2.3.dmg"_s}));
    for (qsizetype i = 1; i < files.size(); ++i) {
        EXPECT_EQ(files.at(i).category, FileCategory::installers);
        EXPECT_FALSE(files.at(i).selectedByDefault);
        EXPECT_FALSE(files.at(i).needsAdmin);
        EXPECT_EQ(files.at(i).size, 0); // the source's files do not exist
    }
}

TEST_F(ScannerTest, InstallersFromTheDefaultDownloadsListing) {
    if (fs::exists(u"/usr/bin/mdfind"_s))
        GTEST_SKIP() << "the platform's metadata search answers instead";
    const QString dmg = make(u"home/Downloads/Sketcher-2.3.dmg"_s);
    const QString notes = make(u"home/Downloads/Sketcher Notes.zip"_s);
    make(u"home/Downloads/old/Sketcher.dmg"_s);
    make(u"home/Downloads/Sketcher.app/"_s);
    make(u"home/Downloads/Other.dmg"_s);
    const Scanner scanner(roots());
    const QList<FoundFile> files = scanner.relatedFiles(sketcher, {}, true);
    EXPECT_EQ(urls(files), (QStringList{notes, dmg}));
    EXPECT_GT(find(files, dmg)->size, 0);
}

// --- arbitration -------------------------------------------------------------

TEST_F(ScannerTest, ALongerIdentifierOfACompetitorTakesTheEntry) {
    const QString own = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    make(u"home/Library/Preferences/com.acme.Sketcher.helper.plist"_s);
    const AppBundle helper = bundleRecord(sandbox.makeDir(u"home/Applications/Helper.app"_s),
                                          u"com.acme.Sketcher.helper"_s, {u"Sketcher Helper"_s});
    EXPECT_EQ(urls(search(sketcher, {helper})), QStringList{own});
    EXPECT_EQ(urls(search(sketcher)).size(), 2);

    // Nested in the bundle, the helper's identifier is one of the bundle's own.
    AppBundle suite = sketcher;
    suite.nestedIdentifiers = {u"com.acme.Sketcher.helper"_s};
    EXPECT_EQ(urls(search(suite, {helper})).size(), 2);
}

TEST_F(ScannerTest, AStrongNameClaimOfACompetitorWeakensANameOnlyEntry) {
    const QString folder = make(u"home/Library/Application Support/Sketcher/"_s);
    const AppBundle namesake = bundleRecord(sandbox.makeDir(u"Applications/Sketcher.app"_s),
                                            u"org.other.Sketcher"_s, {u"Sketcher"_s});
    QList<FoundFile> files = search(sketcher, {namesake});
    ASSERT_NE(find(files, folder), nullptr);
    EXPECT_FALSE(find(files, folder)->selectedByDefault);
    files = search(sketcher);
    EXPECT_TRUE(find(files, folder)->selectedByDefault);
}

TEST_F(ScannerTest, TheFirstCompetitorThatDecidesWins) {
    const QString folder = make(u"home/Library/Application Support/Sketcher.data/"_s);
    const AppBundle namesake = bundleRecord(sandbox.makeDir(u"Applications/A.app"_s),
                                            u"org.other.Sketcher"_s, {u"Sketcher"_s});
    const AppBundle claimant =
        bundleRecord(sandbox.makeDir(u"Applications/B.app"_s), u"Sketcher.data"_s, {u"Bee"_s});
    const QList<FoundFile> weakened = search(sketcher, {namesake, claimant});
    ASSERT_NE(find(weakened, folder), nullptr);
    EXPECT_FALSE(find(weakened, folder)->selectedByDefault);
    EXPECT_EQ(find(search(sketcher, {claimant, namesake}), folder), nullptr);
}

TEST_F(ScannerTest, CopiesOfTheBundleAreNotCompetitors) {
    const QString folder = make(u"home/Library/Application Support/Sketcher/"_s);
    make(u"home/Library/Preferences/com.acme.Sketcher.helper.plist"_s);
    AppBundle copy =
        bundleRecord(sandbox.makeDir(u"Applications/Sketcher.app"_s), u"COM.ACME.SKETCHER"_s,
                     {u"Sketcher"_s}, {u"com.acme.Sketcher.helper"_s});
    AppBundle same = copy;
    same.url = sketcher.url;
    same.bundleIdentifier = u"org.other.Sketcher"_s;
    const QList<FoundFile> files = search(sketcher, {copy, same, sketcher});
    EXPECT_EQ(files.size(), 3);
    EXPECT_TRUE(find(files, folder)->selectedByDefault);
}

TEST_F(ScannerTest, AnEqualIdentifierClaimKeepsTheEntry) {
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    const AppBundle suite =
        bundleRecord(sandbox.makeDir(u"Applications/Suite.app"_s), u"com.acme.Suite"_s,
                     {u"Suite"_s}, {u"com.acme.Sketcher"_s});
    EXPECT_EQ(urls(search(sketcher, {suite})), QStringList{prefs});
}

TEST_F(ScannerTest, TeamGroupContainersStayWithTheBundle) {
    sketcher.teamIdentifier = u"ABCDE12345"_s;
    const QString group = make(u"home/Library/Group Containers/ABCDE12345.com.acme.Sketcher/"_s);
    AppBundle sibling = bundleRecord(sandbox.makeDir(u"Applications/Other.app"_s),
                                     u"com.acme.Other"_s, {u"Other"_s});
    sibling.teamIdentifier = sketcher.teamIdentifier;
    EXPECT_EQ(urls(search(sketcher, {sibling})), QStringList{group});
}

// Editions of one product normalise to the same identifier; each keeps its own files.
class EditionsTest : public ScannerTest {
protected:
    EditionsTest() {
        tax2023 = bundleRecord(sandbox.makeDir(u"home/Applications/TaxMac 2023.app"_s),
                               u"com.vendor.TaxMac2023"_s, {u"TaxMac 2023"_s});
        tax2024 = bundleRecord(sandbox.makeDir(u"home/Applications/TaxMac 2024.app"_s),
                               u"com.vendor.TaxMac2024"_s, {u"TaxMac 2024"_s});
        for (const char* year : {"2023", "2024"}) {
            const QString id = u"com.vendor.TaxMac"_s + QString::fromLatin1(year);
            make(u"home/Library/Preferences/"_s + id + u".plist"_s);
            make(u"home/Library/Containers/"_s + id + u'/');
            make(u"home/Library/Saved Application State/"_s + id + u".savedState/"_s);
        }
        bare = make(u"home/Library/Preferences/com.vendor.TaxMac.plist"_s);
    }

    QStringList filesOf(const char* year) const {
        const QString id = u"com.vendor.TaxMac"_s + QString::fromLatin1(year);
        return {home(u"Library/Containers/"_s + id),
                home(u"Library/Preferences/"_s + id + u".plist"_s),
                home(u"Library/Saved Application State/"_s + id + u".savedState"_s)};
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
    const QString support = make(u"home/Library/Application Support/TaxMac/"_s);
    AppBundle copy = tax2023;
    copy.url = sandbox.makeDir(u"Applications/TaxMac 2023.app"_s);
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

// --- reasons -----------------------------------------------------------------

TEST_F(ScannerTest, EachItemSaysWhyItIsThereAndWhyItIsUnticked) {
    using Match = FoundReason::Match;
    using Doubt = FoundReason::Doubt;
    sketcher.teamIdentifier = u"ABCDE12345"_s;
    const QString program = sketcher.url + u"/Contents/MacOS/agent"_s;
    const QString job = sandbox.writePlist(u"home/Library/LaunchAgents/com.vendor.job.plist"_s,
                                           {{u"Program"_s, program}});
    const AppBundle namesake = bundleRecord(sandbox.makeDir(u"Applications/Other.app"_s),
                                            u"org.other.Notes"_s, {u"Sketcher Notes"_s});
    const QString dl = home(u"Downloads/"_s);
    Scanner scanner(roots());
    scanner.installerSource = [&](const QStringList&, const QString&) {
        return QStringList{dl + u"Sketcher-2.3.dmg"_s};
    };
    const struct {
        QString url;
        FoundReason reason;
    } rows[] = {
        {sketcher.url, {}},
        {make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s),
         {Match::identifier, u"com.acme.Sketcher"_s, Doubt::none, {}}},
        {make(u"home/Library/Application Support/Sketcher/"_s),
         {Match::name, u"Sketcher"_s, Doubt::none, {}}},
        {make(u"home/Library/Application Support/Sketcher Backup Tool/"_s),
         {Match::name, u"Sketcher"_s, Doubt::foreignWord, {}}},
        {make(u"home/Library/Application Support/Sketcher Notes/"_s),
         {Match::name, u"Sketcher"_s, Doubt::otherClaim, u"Sketcher Notes"_s}},
        {make(u"home/Library/Group Containers/ABCDE12345.Sketcher.shared/"_s),
         {Match::team, u"ABCDE12345"_s, Doubt::partialName, {}}},
        {job, {Match::launchProgram, program, Doubt::none, {}}},
        {make(u"sys/private/var/db/receipts/com.acme.Sketcher.bom"_s),
         {Match::identifier, u"com.acme.Sketcher"_s, Doubt::none, {}}},
        {dl + u"Sketcher-2.3.dmg"_s, {Match::installer, u"Sketcher"_s, Doubt::installer, {}}},
    };
    const QList<FoundFile> files = scanner.relatedFiles(sketcher, {namesake}, true);
    EXPECT_EQ(files.size(), qsizetype(std::size(rows)));
    for (const auto& row : rows) {
        const FoundFile* file = find(files, row.url);
        ASSERT_NE(file, nullptr) << row.url.toStdString();
        EXPECT_EQ(file->reason, row.reason) << row.url.toStdString();
        EXPECT_EQ(file->selectedByDefault, row.reason.doubt == Doubt::none)
            << row.url.toStdString();
    }
}

// --- progress and stopping ----------------------------------------------------

TEST_F(ScannerTest, TheObserverSeesEachItemOnceThenItsSize) {
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    make(u"home/Library/Caches/com.acme.Sketcher/data"_s);
    make(u"tmp/com.acme.Sketcher/"_s);
    QStringList events; // "admitted URL", "searching PATH", "measured URL"
    ScanObserver observer;
    observer.admitted = [&](const FoundFile& item) {
        EXPECT_EQ(item.size, 0);
        events << u"admitted "_s + item.url;
    };
    observer.searching = [&](const QString& path) { events << u"searching "_s + path; };
    observer.measured = [&](const QString& url, qint64) { events << u"measured "_s + url; };
    const QList<FoundFile> files = Scanner(roots()).relatedFiles(sketcher, {}, false, observer);
    ASSERT_EQ(files.size(), 4);

    const auto reported = [&events](const QString& kind) {
        QStringList paths;
        for (const QString& event : std::as_const(events))
            if (event.startsWith(kind + u' '))
                paths << event.mid(kind.size() + 1);
        return paths;
    };
    const QStringList all = sorted(urls(files) << sketcher.url);
    EXPECT_EQ(reported(u"admitted"_s).first(), sketcher.url);
    EXPECT_EQ(sorted(reported(u"admitted"_s)), all);
    EXPECT_EQ(sorted(reported(u"measured"_s)), all);
    EXPECT_LT(events.lastIndexOf(QRegularExpression(u"admitted .*"_s)),
              events.indexOf(QRegularExpression(u"measured .*"_s)));
    // A folder is named before what is found in it.
    EXPECT_LT(events.indexOf(u"searching "_s + fs::parentPath(prefs)),
              events.indexOf(u"admitted "_s + prefs));
}

TEST_F(ScannerTest, AStopEndsTheSearchWithWhatItHasAdmitted) {
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    make(u"home/Library/Caches/com.acme.Sketcher/data"_s);
    make(u"tmp/com.acme.Sketcher/"_s);
    std::stop_source stop;
    int measured = 0;
    ScanObserver observer;
    observer.admitted = [&](const FoundFile& item) {
        if (item.url == prefs)
            stop.request_stop();
    };
    observer.measured = [&](const QString&, qint64) { ++measured; };
    const QList<FoundFile> files =
        Scanner(roots()).relatedFiles(sketcher, {}, false, observer, stop.get_token());
    EXPECT_EQ(urls(files), QStringList{prefs});
    EXPECT_EQ(files.first().url, sketcher.url);
    EXPECT_EQ(measured, 0);
}

// The size walks run on the pool's threads; a stop reaches them inside the
// folder they walk.
TEST_F(ScannerTest, AStopReachesTheSizeWalkOfAHugeTree) {
    const QString huge = make(u"home/Library/Caches/com.acme.Sketcher/"_s);
    for (int folder = 0; folder < 50; ++folder) {
        const QString dir = huge + u"/d"_s + QString::number(folder);
        fs::makePath(dir);
        for (int file = 0; file < 100; ++file)
            ::close(::open(fs::encodePath(dir + u"/f"_s + QString::number(file)).constData(),
                           O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    }
    std::stop_source stop;
    QStringList measured;
    ScanObserver observer;
    observer.searching = [&](const QString& path) {
        if (path == huge) // its walk is about to start on a thread of the pool
            stop.request_stop();
    };
    observer.measured = [&](const QString& url, qint64) { measured << url; };
    const QList<FoundFile> files =
        Scanner(roots()).relatedFiles(sketcher, {}, false, observer, stop.get_token());
    ASSERT_NE(find(files, huge), nullptr);
    EXPECT_EQ(find(files, huge)->size, 0);
    EXPECT_FALSE(measured.contains(huge));
    EXPECT_GT(fs::allocatedSize(huge), 0);
}

// --- sizes and hostile trees --------------------------------------------------

TEST_F(ScannerTest, SizesAreMeasuredAfterAdmission) {
    const QString folder = make(u"home/Library/Application Support/com.acme.Sketcher/"_s);
    sandbox.writeFile(u"home/Library/Application Support/com.acme.Sketcher/a"_s,
                      QByteArray(10000, 'a'));
    sandbox.writeFile(u"home/Library/Application Support/com.acme.Sketcher/b/c"_s,
                      QByteArray(70000, 'c'));
    const QString big = sandbox.writeFile(u"outside/big"_s, QByteArray(1 << 20, 'x'));
    sandbox.symlink(sandbox.path(u"outside"_s),
                    u"home/Library/Application Support/com.acme.Sketcher/link"_s);
    const QString link = sandbox.symlink(big, u"home/Library/Caches/com.acme.Sketcher"_s);
    const QList<FoundFile> files = search(sketcher);
    ASSERT_EQ(files.size(), 3);
    for (const FoundFile& file : files)
        EXPECT_EQ(file.size, Scanner::allocatedSize(file.url)) << file.url.toStdString();
    EXPECT_LT(find(files, folder)->size, Scanner::allocatedSize(big));
    EXPECT_LT(find(files, link)->size, Scanner::allocatedSize(big));
}

TEST_F(ScannerTest, WithoutSizesTheSameFilesComeBackUnmeasured) {
    make(u"home/Applications/Sketcher.app/Contents/Info.plist"_s);
    make(u"home/Library/Application Support/com.acme.Sketcher/"_s);
    sandbox.writeFile(u"home/Library/Application Support/com.acme.Sketcher/a"_s,
                      QByteArray(10000, 'a'));
    make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
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

TEST_F(ScannerTest, LibraryFoldersThatAreLinksAreListedThroughTheirOwnPaths) {
    sandbox.writeFile(u"elsewhere/Library/Preferences/com.acme.Sketcher.plist"_s);
    sandbox.writeFile(u"other/Caches/com.acme.Sketcher"_s);
    sandbox.symlink(sandbox.path(u"other/Caches"_s), u"elsewhere/Library/Caches"_s);
    sandbox.symlink(sandbox.path(u"elsewhere/Library"_s), u"home/Library"_s);
    EXPECT_EQ(urls(search(sketcher)),
              (QStringList{home(u"Library/Preferences/com.acme.Sketcher.plist"_s),
                           home(u"Library/Caches/com.acme.Sketcher"_s)}));
}

TEST_F(ScannerTest, AHostileTreeIsScannedWithoutFollowingLinksOut) {
    // Links out of the roots: to a matching tree, to the whole disk, to itself.
    sandbox.writeFile(u"outside/com.acme.Sketcher/Sketcher/deep"_s, QByteArray(1 << 20, 'x'));
    const QString link = sandbox.symlink(sandbox.path(u"outside/com.acme.Sketcher"_s),
                                         u"home/Library/Caches/com.acme.Sketcher"_s);
    sandbox.symlink(sandbox.path(u"outside"_s), u"home/Library/Application Support/Sketcher"_s);
    sandbox.symlink(u"/"_s, u"home/Library/Logs/Sketcher"_s);
    sandbox.symlink(u"com.acme.Sketcher.loop"_s, u"home/Library/Logs/com.acme.Sketcher.loop"_s);
    sandbox.symlink(u"/etc"_s, u"home/Library/Containers"_s);
    // A matching folder that holds loops and a link to the root.
    const QString folder = make(u"home/Library/Application Support/com.acme.Sketcher/"_s);
    sandbox.symlink(folder, u"home/Library/Application Support/com.acme.Sketcher/loop"_s);
    sandbox.symlink(u"loop/loop"_s, u"home/Library/Application Support/com.acme.Sketcher/deeper"_s);
    sandbox.symlink(u"/"_s, u"home/Library/Application Support/com.acme.Sketcher/root"_s);
    // FIFOs named like launch jobs and leftovers: opening one would block.
    const QString other = fifo(u"home/Library/LaunchAgents/com.other.job.plist"_s);
    fifo(u"home/Library/LaunchAgents/com.acme.Sketcher.plist"_s);
    fifo(u"sys/Library/LaunchDaemons/com.other.daemon.plist"_s);
    fifo(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    // A matching folder that cannot be read is still reported.
    const QString logs = make(u"home/Library/Logs/com.acme.Sketcher/x/y"_s);
    ::chmod(fs::encodePath(fs::parentPath(fs::parentPath(logs))).constData(), 0);

    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(find(files, other), nullptr);
    EXPECT_NE(find(files, link), nullptr);
    EXPECT_NE(find(files, home(u"Library/Logs/com.acme.Sketcher"_s)), nullptr);
    ASSERT_NE(find(files, folder), nullptr);
    EXPECT_EQ(find(files, folder)->size, Scanner::allocatedSize(folder));
    for (const FoundFile& file : files) {
        EXPECT_LT(file.size, 64 * 1024) << file.url.toStdString();
        EXPECT_TRUE(file.url.startsWith(sandbox.root() + u'/')) << file.url.toStdString();
        EXPECT_TRUE(
            fs::resolvingSymlinks(fs::parentPath(file.url)).startsWith(sandbox.root() + u'/'))
            << file.url.toStdString();
    }
}

TEST_F(ScannerTest, UnreadableFoldersAreSkippedAndTheRestIsReported) {
    if (runningAsRoot())
        GTEST_SKIP() << "the superuser reads every folder";
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    const QString agents = make(u"home/Library/LaunchAgents/"_s);
    make(u"home/Library/LaunchAgents/com.acme.Sketcher.plist"_s);
    const QString support = make(u"home/Library/Application Support/"_s);
    make(u"home/Library/Application Support/Sketcher/"_s);
    ::chmod(fs::encodePath(agents).constData(), 0);
    ::chmod(fs::encodePath(support).constData(), 0111);
    const QList<FoundFile> files = search(sketcher);
    ::chmod(fs::encodePath(agents).constData(), 0755);
    ::chmod(fs::encodePath(support).constData(), 0755);
    EXPECT_EQ(urls(files), QStringList{prefs});
}

TEST_F(ScannerTest, AFolderOf100000EntriesIsScannedToTheEnd) {
    const QString caches = sandbox.makeDir(u"home/Library/Caches"_s);
    for (int i = 0; i < 100000; ++i) {
        const QByteArray name = fs::encodePath(caches + u"/entry-"_s + QString::number(i));
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const QString last = make(u"home/Library/Caches/com.acme.Sketcher"_s);
    EXPECT_EQ(urls(search(sketcher)), QStringList{last});
}
