// The related-files search in a sandbox home with a sandbox system root:
// locations, receipts, temporary folders, installers, arbitration between
// bundles, admission, sizes, and hostile trees (links out of the roots,
// loops, FIFOs named like launch jobs, unreadable folders, a folder with
// 100 000 entries), which the scan finishes without leaving the roots.

#include "Scanner.h"

#include "Child.h"
#include "Printers.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QDir>
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
    // Creates below the sandbox a file, a folder ("x/") or a link ("x -> y",
    // y below the sandbox unless absolute).
    QString make(const QString& relative) const {
        if (const qsizetype arrow = relative.indexOf(u" -> "_s); arrow > 0) {
            const QString target = relative.mid(arrow + 4);
            return sandbox.symlink(target.startsWith(u'/') ? target : sandbox.path(target),
                                   relative.left(arrow));
        }
        return relative.endsWith(u'/') ? sandbox.makeDir(relative.chopped(1))
                                       : sandbox.writeFile(relative, QByteArrayLiteral("data"));
    }
    // Empties the searched folders for the next layout.
    void clear() const {
        for (const QString& folder : {u"home/Library"_s, u"sys"_s, u"tmp"_s, u"cache"_s}) {
            if (const QString path = sandbox.path(folder); !QFile::remove(path)) // a link
                QDir(path).removeRecursively();
        }
        sandbox.makeDir(u"sys"_s);
    }

    QList<FoundFile> search(const AppBundle& bundle, const QList<AppBundle>& competitors = {},
                            bool includeInstallers = false) const {
        Scanner scanner(roots());
        scanner.installerSource = [](const QStringList&, const QString&) { return QStringList(); };
        return scanner.relatedFiles(bundle, competitors, includeInstallers);
    }

    static const FoundFile* find(const QList<FoundFile>& files, const QString& url) {
        const auto it = std::find_if(files.cbegin(), files.cend(),
                                     [&url](const FoundFile& file) { return file.url == url; });
        return it == files.cend() ? nullptr : &*it;
    }
    static QStringList urls(const QList<FoundFile>& files) {
        QStringList out;
        for (qsizetype i = 1; i < files.size(); ++i)
            out.append(files.at(i).url);
        return out;
    }
    // What a search found after the bundle, in order, as paths below the
    // sandbox; " -" marks an item that is not ticked by default.
    QStringList found(const QList<FoundFile>& files) const {
        QStringList out;
        for (qsizetype i = 1; i < files.size(); ++i)
            out.append(files.at(i).url.mid(sandbox.root().size() + 1) +
                       (files.at(i).selectedByDefault ? u""_s : u" -"_s));
        return out;
    }

    Sandbox sandbox;
    AppBundle sketcher;
};

} // namespace

TEST_F(ScannerTest, EveryRowOfTheUserLibraryAndOnlySharedRowsOfTheSystem) {
    const auto entryFor = [](const Location& row) {
        return row.rule == Location::Rule::groupContainers ? u"group.com.acme.Sketcher"_s
                                                           : u"com.acme.Sketcher.item"_s;
    };
    for (const Location& row : Scanner::libraryLocations()) {
        make(u"home/Library/"_s + row.path + u'/' + entryFor(row));
        make(u"sys/Library/"_s + row.path + u'/' + entryFor(row));
    }
    const QString receipt = make(u"sys/private/var/db/receipts/com.acme.Sketcher.pkg.bom"_s);
    const QString temp = make(u"tmp/com.acme.Sketcher/"_s);
    const QList<FoundFile> files = search(sketcher);
    for (const Location& row : Scanner::libraryLocations()) {
        const QString relative = row.path + u'/' + entryFor(row);
        const FoundFile* user = find(files, home(u"Library/"_s + relative));
        const FoundFile* system = find(files, sys(u"Library/"_s + relative));
        ASSERT_NE(user, nullptr) << row.path.toStdString();
        EXPECT_EQ(user->category, row.category);
        EXPECT_TRUE(user->selectedByDefault);
        EXPECT_FALSE(user->needsAdmin);
        EXPECT_EQ(system != nullptr, !row.userOnly) << row.path.toStdString();
        EXPECT_EQ(system ? system->category : row.category, row.category);
    }
    EXPECT_EQ(files.size(), 1 + 42 + 30 + 2);
    EXPECT_EQ(find(files, receipt)->category, FileCategory::receipts);
    EXPECT_TRUE(find(files, receipt)->needsAdmin);
    EXPECT_EQ(find(files, temp)->category, FileCategory::caches);
    EXPECT_FALSE(find(files, temp)->needsAdmin);
    // The bundle comes first.
    EXPECT_EQ(files.at(0).url, sketcher.url);
    EXPECT_EQ(files.at(0).category, FileCategory::bundle);
}

// Layouts of the searched folders, a bundle and its competitors, and what the
// search finds: the rules of the locations, admission, arbitration.
TEST_F(ScannerTest, WhatEachLayoutYields) {
    const auto app = [&](const QString& folder, const QString& identifier, const QString& name,
                         const QStringList& nested = {}) {
        return bundleRecord(sandbox.makeDir(folder), identifier, {name}, nested);
    };
    const AppBundle helper =
        app(u"Applications/Helper.app"_s, u"com.acme.Sketcher.helper"_s, u"Sketcher Helper"_s);
    const AppBundle namesake =
        app(u"Applications/Sketcher.app"_s, u"org.other.Sketcher"_s, u"Sketcher"_s);
    const AppBundle claimant = app(u"Applications/B.app"_s, u"Sketcher.data"_s, u"Bee"_s);
    AppBundle suite = sketcher;
    suite.nestedIdentifiers = {u"com.acme.Sketcher.helper"_s};
    AppBundle copy = app(u"Applications/Copy.app"_s, u"COM.ACME.SKETCHER"_s, u"Sketcher"_s,
                         {u"com.acme.Sketcher.helper"_s});
    AppBundle sameFolder = copy;
    sameFolder.url = sketcher.url;
    sameFolder.bundleIdentifier = u"org.other.Sketcher"_s;
    const AppBundle nesting =
        app(u"Applications/Suite.app"_s, u"com.acme.Suite"_s, u"Suite"_s, {u"com.acme.Sketcher"_s});
    AppBundle teamed = sketcher;
    teamed.teamIdentifier = u"ABCDE12345"_s;
    AppBundle sibling = app(u"Applications/Other.app"_s, u"com.acme.Other"_s, u"Other"_s);
    sibling.teamIdentifier = teamed.teamIdentifier;
    AppBundle pane = app(u"home/Library/PreferencePanes/Sketcher.prefPane"_s,
                         u"com.acme.Sketcher"_s, u"Sketcher"_s);
    pane.kind = BundleKind::Plugin;
    // An identifier of one part, a nested helper's bare name, names of
    // searched folders.
    const AppBundle degenerate =
        bundleRecord(sandbox.makeDir(u"Applications/X.app"_s), u"  com  "_s,
                     {u"DiagnosticReports"_s, u"ByHost"_s}, {u"helper"_s});
    const AppBundle vendor = app(sketcher.url, u"com.apple.Sketcher"_s, u"Sketcher"_s);
    const AppBundle vendorNested =
        app(sketcher.url, u"com.acme.Sketcher"_s, u"Sketcher"_s, {u"com.apple.Sketcher"_s});

    // Entries and findings are separated by '|'; @L/, @S/ and @P/ stand for the
    // Library, its Application Support and its Preferences.
    const auto paths = [](const char* list) {
        QStringList out;
        for (QString entry : QString::fromUtf8(list).split(u'|', Qt::SkipEmptyParts))
            out << entry.replace(u"@L/"_s, u"home/Library/"_s)
                       .replace(u"@S/"_s, u"home/Library/Application Support/"_s)
                       .replace(u"@P/"_s, u"home/Library/Preferences/"_s);
        return out;
    };
    // What lies in the folders, what is found, for which bundle and competitors.
    const struct {
        const char* layout;
        const char* found;
        AppBundle bundle;
        QList<AppBundle> competitors = {};
    } rows[] = {
        // The rules of the locations.
        {"@S/Sketcher/|@S/Sketcher Notes/|@L/Containers/Sketcher/|@S/Sketchbook/|"
         "@L/Group Containers/com.acme.Sketcher/|@P/com.acme.Sketcher.plist",
         "@S/Sketcher|@S/Sketcher Notes -|@P/com.acme.Sketcher.plist", sketcher},
        // Receipts by identifier, temporary folders.
        {"sys/private/var/db/receipts/com.acme.Sketcher.pkg.bom|tmp/com.acme.Sketcher/|"
         "sys/private/var/db/receipts/Sketcher.pkg.bom|tmp/Sketcher/|"
         "cache/com.acme.Sketcher.ShipIt/",
         "cache/com.acme.Sketcher.ShipIt|tmp/com.acme.Sketcher|"
         "sys/private/var/db/receipts/com.acme.Sketcher.pkg.bom",
         sketcher},
        // Degenerate keys.
        {"@P/com.other.plist|@P/ByHost/com.other.host.plist|@L/Caches/com.unrelated/|@S/com.x/|"
         "@L/Containers/com.y/|@L/Logs/DiagnosticReports/x.crash|tmp/com.t/|cache/helper.cache/",
         "", degenerate},
        // One item per file-system object, under its first path.
        {"tmp/com.acme.Sketcher/|cache -> tmp|@S/CrashReporter/Sketcher_1.plist|"
         "@L/Logs/DiagnosticReports -> @S/CrashReporter|@L/Services -> home/Applications",
         "tmp/com.acme.Sketcher|@S/CrashReporter/Sketcher_1.plist", sketcher},
        // A bundle inside a searched folder.
        {"@L/PreferencePanes/Sketcher.prefPane/Contents/Info.plist", "", pane},
        // The vendor's names for the vendor only, and not through nested identifiers.
        {"@P/com.apple.Sketcher.plist", "@P/com.apple.Sketcher.plist", vendor},
        {"@P/com.apple.Sketcher.plist", "", vendorNested},
        // A longer identifier of a competitor; nested in the bundle.
        {"@P/com.acme.Sketcher.plist|@P/com.acme.Sketcher.helper.plist",
         "@P/com.acme.Sketcher.plist",
         sketcher,
         {helper}},
        {"@P/com.acme.Sketcher.plist|@P/com.acme.Sketcher.helper.plist",
         "@P/com.acme.Sketcher.helper.plist|@P/com.acme.Sketcher.plist",
         suite,
         {helper}},
        // A namesake weakens a name-only entry; the first competitor that decides.
        {"@S/Sketcher/", "@S/Sketcher -", sketcher, {namesake}},
        {"@S/Sketcher.data/", "@S/Sketcher.data -", sketcher, {namesake, claimant}},
        {"@S/Sketcher.data/", "", sketcher, {claimant, namesake}},
        // Copies of the bundle are no competitors; an equal identifier claim keeps the entry.
        {"@S/Sketcher/|@P/com.acme.Sketcher.helper.plist",
         "@S/Sketcher|@P/com.acme.Sketcher.helper.plist",
         sketcher,
         {copy, sameFolder, sketcher}},
        {"@P/com.acme.Sketcher.plist", "@P/com.acme.Sketcher.plist", sketcher, {nesting}},
        // A team's group container stays with the bundle.
        {"@L/Group Containers/ABCDE12345.com.acme.Sketcher/",
         "@L/Group Containers/ABCDE12345.com.acme.Sketcher",
         teamed,
         {sibling}},
        // Library folders that are links, listed through their own paths.
        {"elsewhere/Library/Preferences/com.acme.Sketcher.plist|other/Caches/com.acme.Sketcher|"
         "elsewhere/Library/Caches -> other/Caches|home/Library -> elsewhere/Library",
         "@P/com.acme.Sketcher.plist|@L/Caches/com.acme.Sketcher", sketcher},
    };
    for (const auto& row : rows) {
        clear();
        for (const QString& entry : paths(row.layout))
            make(entry);
        EXPECT_EQ(found(search(row.bundle, row.competitors)), paths(row.found)) << row.layout;
    }
}

// Roots that overlap: the first admission of a path wins, entries inside an
// admitted folder are hidden, a folder admitted later keeps what was
// admitted before, and nothing inside the bundle is a leftover.
TEST_F(ScannerTest, OverlappingRoots) {
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    make(u"sys/Library/Caches/com.acme.Sketcher/"_s);
    make(u"home/Library/Caches/Sketcher/tmp/com.acme.Sketcher.lock"_s);
    make(u"home/Applications/Sketcher.app/Contents/com.acme.Sketcher.plist"_s);
    const QString cache = home(u"Library/Caches/Sketcher"_s);
    const auto searched = [&](const QString& home, const QStringList& system,
                              const QStringList& temp) {
        return urls(Scanner(SearchRoots{home, system, temp}).relatedFiles(sketcher, {}, false));
    };
    const QString sysRoot = sandbox.path(u"sys"_s);
    EXPECT_EQ(
        searched(sandbox.home(), {sysRoot, sysRoot}, {home(u"Library/Caches/../Preferences"_s)}),
        (QStringList{prefs, cache, sys(u"Library/Caches/com.acme.Sketcher"_s)}));
    EXPECT_EQ(searched(sandbox.home(), {}, {cache + u"/tmp"_s, sketcher.url + u"/Contents"_s}),
              (QStringList{prefs, cache}));

    const QString outer = sandbox.makeDir(u"tmp/com.acme.Sketcher.home"_s);
    const QString inner = sandbox.writeFile(
        u"tmp/com.acme.Sketcher.home/Library/Preferences/com.acme.Sketcher.plist"_s);
    EXPECT_EQ(searched(outer, {}, {sandbox.path(u"tmp"_s)}), (QStringList{inner, outer}));
}

// Another user's entries of the temporary folders and of any sticky folder
// are not offered; of a plain folder they are.
TEST_F(ScannerTest, AnotherUsersEntriesOfTemporaryAndStickyFoldersAreNotOffered) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving an entry to another user needs the superuser";
    const auto foreign = [this](const QString& relative) {
        const QString path = make(relative);
        test::handOver(path, test::kNobody);
        return path;
    };
    make(u"tmp/com.acme.Sketcher.own/"_s);
    foreign(u"tmp/com.acme.Sketcher.planted/"_s);
    foreign(u"cache/com.acme.Sketcher/"_s);
    ::chmod(fs::encodePath(sandbox.makeDir(u"home/Library/Caches"_s)).constData(), 01777);
    make(u"home/Library/Caches/com.acme.Sketcher/"_s);
    foreign(u"home/Library/Caches/Sketcher/"_s);
    foreign(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    EXPECT_EQ(
        found(search(sketcher)),
        (QStringList{u"home/Library/Preferences/com.acme.Sketcher.plist"_s,
                     u"home/Library/Caches/com.acme.Sketcher"_s, u"tmp/com.acme.Sketcher.own"_s}));
}

// Launch jobs by name and by what they run, also without keys; a job named
// for the vendor stays hidden unless the bundle is the vendor's.
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
    make(u"home/Library/Application Support/Git/"_s);
    make(u"home/Library/Preferences/ab.plist"_s);

    const QList<FoundFile> files = search(sketcher);
    EXPECT_EQ(urls(files), (QStringList{byName, byProgram}));
    EXPECT_EQ(find(files, byProgram)->category, FileCategory::launch);
    AppBundle appleOwned = sketcher;
    appleOwned.bundleIdentifier = u"com.apple.Sketcher"_s;
    EXPECT_EQ(urls(search(appleOwned)), (QStringList{vendor, byProgram}));
    // Keys too short to search by: only what runs the bundle.
    const AppBundle keyless = bundleRecord(sketcher.url, u"ab"_s, {u"Git"_s, u"Helper"_s});
    EXPECT_EQ(urls(search(keyless)), QStringList{byProgram});
}

// Editions of one product normalise to the same identifier; each keeps its
// own files whatever the order of the competitors.
TEST_F(ScannerTest, EditionsKeepTheirOwnFiles) {
    const auto edition = [&](const QString& year) {
        const QString id = u"com.vendor.TaxMac"_s + year;
        for (const QString& entry :
             {u"Preferences/"_s + id + u".plist"_s, u"Containers/"_s + id + u'/',
              u"Saved Application State/"_s + id + u".savedState/"_s})
            make(u"home/Library/"_s + entry);
        return bundleRecord(sandbox.makeDir(u"home/Applications/TaxMac "_s + year + u".app"_s), id,
                            {u"TaxMac "_s + year});
    };
    const AppBundle tax2023 = edition(u"2023"_s);
    const AppBundle tax2024 = edition(u"2024"_s);
    const QString bare = make(u"home/Library/Preferences/com.vendor.TaxMac.plist"_s);
    const auto filesOf = [&](const AppBundle& bundle) {
        const QString id = *bundle.bundleIdentifier;
        return QStringList{home(u"Library/Containers/"_s + id), bare,
                           home(u"Library/Preferences/"_s + id + u".plist"_s),
                           home(u"Library/Saved Application State/"_s + id + u".savedState"_s)};
    };
    const std::pair<AppBundle, QList<AppBundle>> searches[] = {
        {tax2023, {tax2024}}, {tax2023, {tax2024, tax2023}}, {tax2023, {tax2023, tax2024}},
        {tax2024, {tax2023}}, {tax2024, {tax2024, tax2023}},
    };
    for (const auto& [bundle, competitors] : searches) {
        const QList<FoundFile> files = search(bundle, competitors);
        EXPECT_EQ(urls(files), filesOf(bundle)) << bundle.displayName.toStdString();
        for (const FoundFile& file : files)
            EXPECT_TRUE(file.selectedByDefault) << file.url.toStdString();
    }
    EXPECT_EQ(urls(search(tax2023)).size(), 7);
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
    QStringList asked; // the names, then the folder
    scanner.installerSource = [&](const QStringList& names, const QString& folder) {
        asked = names + QStringList{folder};
        return QStringList{dl + u"Sketcher-2.3.dmg"_s, dl + u"Other.pkg"_s,
                           dl + u"Sketchbook.dmg"_s};
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
        {sandbox.writePlist(u"home/Library/LaunchAgents/com.vendor.tool.plist"_s,
                            {{u"Label"_s, u"com.acme.sketcher.tool"_s}}),
         {Match::launchLabel, u"com.acme.sketcher.tool"_s, Doubt::none, {}}},
        {make(u"sys/private/var/db/receipts/com.acme.Sketcher.bom"_s),
         {Match::identifier, u"com.acme.Sketcher"_s, Doubt::none, {}}},
        {dl + u"Sketcher-2.3.dmg"_s, {Match::installer, u"Sketcher"_s, Doubt::installer, {}}},
    };
    // Installers only when asked for, from the source, by name.
    EXPECT_EQ(scanner.relatedFiles(sketcher, {namesake}, false).size(),
              qsizetype(std::size(rows)) - 1);
    EXPECT_TRUE(asked.isEmpty());
    const QList<FoundFile> files = scanner.relatedFiles(sketcher, {namesake}, true);
    EXPECT_EQ(asked, (QStringList{u"Sketcher"_s, dl}));
    EXPECT_EQ(find(files, dl + u"Sketcher-2.3.dmg"_s)->category, FileCategory::installers);
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

// The observer sees the bundle first, each item once and then its size, and
// a folder before what is found in it; a stop ends the search with what it
// has admitted, unmeasured.
TEST_F(ScannerTest, TheObserverSeesEachItemOnceThenItsSizeAndAStopEndsTheSearch) {
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    make(u"home/Library/Caches/com.acme.Sketcher/data"_s);
    make(u"tmp/com.acme.Sketcher/"_s);
    QStringList admitted, measured;
    QList<qsizetype> searchedAt; // the number admitted when the preferences were searched
    std::stop_source stop;
    bool stopAtPrefs = false;
    ScanObserver observer;
    observer.admitted = [&](const FoundFile& item) {
        EXPECT_EQ(item.size, 0);
        EXPECT_TRUE(measured.isEmpty());
        admitted << item.url;
        if (stopAtPrefs && item.url == prefs)
            stop.request_stop();
    };
    observer.searching = [&](const QString& path) {
        if (path == fs::parentPath(prefs))
            searchedAt << admitted.size();
    };
    observer.measured = [&](const QString& url, qint64) { measured << url; };
    QList<FoundFile> files = Scanner(roots()).relatedFiles(sketcher, {}, false, observer);
    ASSERT_EQ(files.size(), 4);
    QStringList all = urls(files) << sketcher.url;
    all.sort();
    EXPECT_EQ(admitted.first(), sketcher.url);
    admitted.sort();
    measured.sort();
    EXPECT_EQ(admitted, all);
    EXPECT_EQ(measured, all);
    EXPECT_EQ(searchedAt, QList<qsizetype>{1});

    admitted.clear();
    measured.clear();
    stopAtPrefs = true;
    files = Scanner(roots()).relatedFiles(sketcher, {}, false, observer, stop.get_token());
    EXPECT_EQ(urls(files), QStringList{prefs});
    EXPECT_TRUE(measured.isEmpty());
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

// Sizes are measured after admission, links not followed; without sizes the
// same items come back unmeasured.
TEST_F(ScannerTest, SizesAreMeasuredAfterAdmission) {
    const QString folder = make(u"home/Library/Application Support/com.acme.Sketcher/"_s);
    sandbox.writeFile(u"home/Library/Application Support/com.acme.Sketcher/a"_s,
                      QByteArray(10000, 'a'));
    sandbox.writeFile(u"home/Library/Application Support/com.acme.Sketcher/b/c"_s,
                      QByteArray(70000, 'c'));
    const QString big = sandbox.writeFile(u"outside/big"_s, QByteArray(1 << 20, 'x'));
    sandbox.symlink(sandbox.path(u"outside"_s),
                    u"home/Library/Application Support/com.acme.Sketcher/link"_s);
    sandbox.symlink(big, u"home/Library/Caches/com.acme.Sketcher"_s);
    const QList<FoundFile> files = search(sketcher);
    ASSERT_EQ(files.size(), 3);
    for (const FoundFile& file : files)
        EXPECT_EQ(file.size, Scanner::allocatedSize(file.url)) << file.url.toStdString();
    EXPECT_GT(find(files, folder)->size, 80000);

    Scanner scanner(roots());
    scanner.measureSizes = false;
    const QList<FoundFile> unsized = scanner.relatedFiles(sketcher, {}, false);
    ASSERT_EQ(urls(unsized), urls(files));
    for (qsizetype i = 0; i < unsized.size(); ++i) {
        EXPECT_EQ(unsized.at(i).size, 0);
        EXPECT_EQ(unsized.at(i).selectedByDefault, files.at(i).selectedByDefault);
    }
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
    const QString other = sandbox.makeFifo(u"home/Library/LaunchAgents/com.other.job.plist"_s);
    sandbox.makeFifo(u"home/Library/LaunchAgents/com.acme.Sketcher.plist"_s);
    sandbox.makeFifo(u"sys/Library/LaunchDaemons/com.other.daemon.plist"_s);
    sandbox.makeFifo(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
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

// Searched as an unprivileged user: an entry of a system folder that the
// user cannot write needs an administrator, one of the home does not, and
// folders the user cannot read are skipped while the rest is reported.
TEST_F(ScannerTest, AsAnUnprivilegedUser) {
    const QString prefs = make(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    const QString system = make(u"sys/Library/Preferences/com.acme.Sketcher.plist"_s);
    const QString agents = make(u"home/Library/LaunchAgents/"_s);
    make(u"home/Library/LaunchAgents/com.acme.Sketcher.plist"_s);
    const QString support = make(u"home/Library/Application Support/"_s);
    make(u"home/Library/Application Support/Sketcher/"_s);
    test::handOver(sandbox.home(), test::kNobody);
    ::chmod(fs::encodePath(agents).constData(), 0);
    ::chmod(fs::encodePath(support).constData(), 0111);
    test::letIn(sandbox.root());
    // Sizes unmeasured: the child starts no thread of its own.
    Scanner scanner(roots());
    scanner.measureSizes = false;
    const int status = test::runInChild(test::ChildSetup::asNobody, [&] {
        const QList<FoundFile> files = scanner.relatedFiles(sketcher, {}, false);
        return files.size() == 3 && find(files, prefs) && !find(files, prefs)->needsAdmin &&
                       find(files, system) && find(files, system)->needsAdmin
                   ? 0
                   : 1;
    });
    if (status < 0)
        GTEST_SKIP() << "this machine cannot drop privileges in a child";
    EXPECT_EQ(status, 0);
}

TEST_F(ScannerTest, AFolderOf100000EntriesIsScannedToTheEnd) {
    const QString caches = sandbox.makeDir(u"home/Library/Caches"_s);
    for (int i = 0; i < 100000; ++i)
        ASSERT_EQ(
            ::close(::open(fs::encodePath(caches + u"/entry-"_s + QString::number(i)).constData(),
                           O_CREAT | O_WRONLY | O_CLOEXEC, 0600)),
            0);
    const QString last = make(u"home/Library/Caches/com.acme.Sketcher"_s);
    EXPECT_EQ(urls(search(sketcher)), QStringList{last});
}
