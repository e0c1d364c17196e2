#include "Main.h"

#include "Remover.h"
#include "Sandbox.h"
#include "Scanner.h"
#include "platform/ByteCount.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "platform/Workspace.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using moss::Main::Dispatch;
using moss::Main::dispatch;

namespace {

// ---------------------------------------------------------------- dispatch

QStringList withProgram(const QStringList& args) {
    return QStringList{u"/usr/bin/mossbin"_s} + args;
}

struct DispatchCase {
    QStringList args;
    Dispatch::Mode mode;
    QStringList values;
};

void expectDispatch(const DispatchCase& c) {
    const Dispatch result = dispatch(c.args);
    EXPECT_EQ(result.mode, c.mode) << c.args.join(u' ').toStdString();
    EXPECT_EQ(result.values, c.values) << c.args.join(u' ').toStdString();
}

TEST(MainDispatch, WithoutAnOptionTheWindowStarts) {
    expectDispatch({{}, Dispatch::Mode::window, {}});
    expectDispatch({withProgram({}), Dispatch::Mode::window, {}});
    expectDispatch({withProgram({u"Foo.app"_s, u"-psn_0_1234"_s}), Dispatch::Mode::window, {}});
}

TEST(MainDispatch, EachOptionTakesItsValues) {
    expectDispatch({withProgram({u"--scan"_s, u"A.app"_s}), Dispatch::Mode::scan, {u"A.app"_s}});
    expectDispatch({withProgram({u"--kill-and-undo"_s, u"A.app"_s}),
                    Dispatch::Mode::killAndUndo,
                    {u"A.app"_s}});
    expectDispatch({withProgram({u"--snapshot"_s, u"main"_s, u"out.png"_s}),
                    Dispatch::Mode::snapshot,
                    {u"main"_s, u"out.png"_s}});
}

TEST(MainDispatch, ScanComesFirstWhateverItsPosition) {
    expectDispatch({withProgram({u"--kill-and-undo"_s, u"X"_s, u"--scan"_s, u"Y"_s}),
                    Dispatch::Mode::scan,
                    {u"Y"_s}});
    expectDispatch({withProgram({u"--snapshot"_s, u"t"_s, u"o"_s, u"--kill-and-undo"_s, u"X"_s}),
                    Dispatch::Mode::killAndUndo,
                    {u"X"_s}});
}

TEST(MainDispatch, AnOptionWithoutEnoughValuesIsSkipped) {
    expectDispatch({withProgram({u"--kill-and-undo"_s, u"X"_s, u"--scan"_s}),
                    Dispatch::Mode::killAndUndo,
                    {u"X"_s}});
    expectDispatch({withProgram({u"--snapshot"_s, u"main"_s}), Dispatch::Mode::window, {}});
    expectDispatch({withProgram({u"--scan"_s}), Dispatch::Mode::window, {}});
    // "--kill-and-undo" is last, so it is skipped and becomes the snapshot's
    // output path.
    expectDispatch({withProgram({u"--snapshot"_s, u"main"_s, u"--kill-and-undo"_s}),
                    Dispatch::Mode::snapshot,
                    {u"main"_s, u"--kill-and-undo"_s}});
}

TEST(MainDispatch, ValuesAreTakenVerbatimEvenWhenTheyLookLikeOptions) {
    expectDispatch(
        {withProgram({u"--scan"_s, u"--snapshot"_s}), Dispatch::Mode::scan, {u"--snapshot"_s}});
    expectDispatch(
        {withProgram({u"--scan"_s, u"  a b\n"_s}), Dispatch::Mode::scan, {u"  a b\n"_s}});
    expectDispatch({withProgram({u"--scan"_s, u""_s}), Dispatch::Mode::scan, {u""_s}});
}

TEST(MainDispatch, OnlyTheFirstOccurrenceCounts) {
    expectDispatch(
        {withProgram({u"--scan"_s, u"a"_s, u"--scan"_s, u"b"_s}), Dispatch::Mode::scan, {u"a"_s}});
    // The first "--scan" is the value of the second one's search: it is the
    // first occurrence that takes the next argument.
    expectDispatch({withProgram({u"--scan"_s, u"--scan"_s}), Dispatch::Mode::scan, {u"--scan"_s}});
}

TEST(MainDispatch, OptionsMatchOnlyAsWholeExactArguments) {
    for (const QString& arg : {u"--scan=A.app"_s, u"--SCAN"_s, u"-scan"_s, u"—scan"_s, u" --scan"_s,
                               u"--Kill-And-Undo"_s, u"-snapshot"_s})
        expectDispatch({withProgram({arg, u"A.app"_s, u"b"_s}), Dispatch::Mode::window, {}});
}

TEST(MainDispatch, TheSearchStartsAtTheProgramPath) {
    expectDispatch({{u"--scan"_s, u"A.app"_s}, Dispatch::Mode::scan, {u"A.app"_s}});
}

// ------------------------------------------------------ the real executable

struct Outcome {
    QByteArray out;
    QByteArray err;
    int status = -1;
};

Outcome runMossbin(const QStringList& args, const QProcessEnvironment& env,
                   const QString& workingDirectory) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(MOSSBIN_EXECUTABLE), args);
    Outcome run;
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.status = process.exitCode();
    return run;
}

Outcome runMossbin(const QStringList& args, const moss::test::Sandbox& sandbox) {
    return runMossbin(args, sandbox.environment(), sandbox.root());
}

// Output compared as text: gtest shows a line diff of std::string.
std::string lines(const QStringList& text) {
    QByteArray out;
    for (const QString& line : text)
        out += moss::fs::encodePath(line) + '\n';
    return out.toStdString();
}

QString sizeText(const QString& path) {
    return moss::formatByteCount(moss::fs::allocatedSize(path));
}

QString total(const QStringList& paths) {
    qint64 bytes = 0;
    for (const QString& path : paths)
        bytes += moss::fs::allocatedSize(path);
    return u"Итого: "_s + QString::number(paths.size()) + u" файлов, "_s +
           moss::formatByteCount(bytes);
}

TEST(MainScan, NotABundleShowsThePathAsTyped) {
    const moss::test::Sandbox sandbox;
    sandbox.makeDir(u"Apps"_s);
    const Outcome run = runMossbin({u"--scan"_s, u"Apps/../Apps/Missing.app"_s}, sandbox);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_EQ(run.err.toStdString(), u"Не бандл: Apps/../Apps/Missing.app\n"_s.toStdString());
}

TEST(MainScan, AValueThatLooksLikeAnOptionIsScannedAsAPath) {
    const moss::test::Sandbox sandbox;
    const Outcome run = runMossbin({u"--scan"_s, u"--snapshot"_s}, sandbox);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_EQ(run.err.toStdString(), u"Не бандл: --snapshot\n"_s.toStdString());
}

TEST(MainScan, AnApplicationWithoutInfoPropertyListIsNoBundle) {
    const moss::test::Sandbox sandbox;
    sandbox.makeDir(u"home/Applications/Empty.app/Contents"_s);
    const Outcome run = runMossbin({u"--scan"_s, u"home/Applications/Empty.app"_s}, sandbox);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.toStdString(), u"Не бандл: home/Applications/Empty.app\n"_s.toStdString());
}

TEST(MainKillAndUndo, NotABundlePrintsNothing) {
    const moss::test::Sandbox sandbox;
    const Outcome run = runMossbin({u"--kill-and-undo"_s, u"Missing.app"_s}, sandbox);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_EQ(run.err, QByteArray());
}

TEST(MainScan, ABundleWithoutVersionIdentifierOrTeam) {
    const moss::test::Sandbox sandbox;
    const QString pane = sandbox.makeDir(u"home/Library/PreferencePanes/Plain Pane.prefPane"_s);
    const Outcome run = runMossbin({u"--scan"_s, pane + u'/'}, sandbox);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, QByteArray());
    EXPECT_EQ(run.out.toStdString(), lines({
                                         u"Plain Pane.prefPane  — без id"_s,
                                         u"team: -, вложенные id: "_s,
                                         u"ключи имён: Plain Pane | PlainPane | Plain-Pane"_s,
                                         u"[Приложение] "_s + pane + u" — "_s + sizeText(pane),
                                         u"Итого: 1 файлов, "_s + sizeText(pane),
                                     }));
}

TEST(MainScan, NamesThatAreNotUtf8ComeOutAsTheyAreOnDisk) {
    const moss::test::Sandbox sandbox;
    // A bundle named "Caf\xE9.bundle" (Latin-1, not UTF-8), reached through a
    // link with a plain name: the report shows the resolved, raw name.
    const QString raw = moss::fs::decodePath(QByteArray("Caf\xE9.bundle"));
    const QString bundle = sandbox.makeDir(u"home/Library/Services/"_s + raw);
    sandbox.symlink(bundle, u"link.bundle"_s);
    const Outcome run = runMossbin({u"--scan"_s, u"link.bundle"_s}, sandbox);
    EXPECT_EQ(run.status, 0);
    const QList<QByteArray> out = run.out.split('\n');
    ASSERT_GE(out.size(), 4);
    EXPECT_EQ(out[0].toStdString(), "Caf\xE9.bundle  \xE2\x80\x94 " + u"без id"_s.toStdString());
    EXPECT_TRUE(out[3].startsWith(u"[Приложение] "_s.toUtf8() + moss::fs::encodePath(bundle) +
                                  QByteArray(" \xE2\x80\x94 ")))
        << out[3].toStdString();
}

TEST(MainScan, FoundFileLinesCarryTheAdminMarkBeforeTheUntickedMark) {
    const moss::FoundFile file{u"/Library/Application Support/Sketcher"_s,
                               moss::FileCategory::support, 2048, true, false};
    EXPECT_EQ(moss::Main::foundFileLine(file),
              u"[Данные приложения] /Library/Application Support/Sketcher — "_s +
                  moss::formatByteCount(2048) + u" [admin] [не отмечен]"_s);

    const moss::FoundFile ticked{u"/h/Library/Caches/com.acme.Sketcher"_s,
                                 moss::FileCategory::caches, 0, false, true};
    EXPECT_EQ(moss::Main::foundFileLine(ticked),
              u"[Кэш] /h/Library/Caches/com.acme.Sketcher — "_s + moss::formatByteCount(0));
}

TEST(MainReport, PathsWithControlCharactersAreEscapedAndOnlyThose) {
    using moss::fs::decodePath;
    struct Case {
        QString path;
        QString printed;
    };
    const Case cases[] = {
        {u"/a/b \"c\" \\d"_s, u"/a/b \"c\" \\d"_s},
        {decodePath("/caf\xE9 \x85"), decodePath("/caf\xE9 \x85")},
        {u"/a\nb"_s, u"/a\\x0ab"_s},
        {u"/a\\b\n"_s, u"/a\\\\b\\x0a"_s},
        {u"/t\tq\r"_s, u"/t\\x09q\\x0d"_s},
        {u"/\u007f\u0085\u009f\u00a0"_s, u"/\\x7f\\x85\\x9f\u00a0"_s},
        {u"/z"_s + QChar(u'\0'), u"/z\\x00"_s},
        {decodePath("/caf\xE9\n"), decodePath("/caf\xE9") + u"\\x0a"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(moss::Main::reportPath(c.path), c.printed) << c.path.toStdString();
    const moss::FoundFile forged{u"/h/x\n[Кэш] /h/y"_s, moss::FileCategory::caches, 0, false, true};
    EXPECT_EQ(moss::Main::foundFileLine(forged),
              u"[Кэш] /h/x\\x0a[Кэш] /h/y — "_s + moss::formatByteCount(0));
}

TEST(MainReport, KillAndUndoPutsAHalfMovedItemBackAndCountsTheTrashedOnes) {
    moss::test::Sandbox sandbox;
    sandbox.activate();
    const QString moved = sandbox.writeFile(u"home/Library/Preferences/com.acme.x.plist"_s, "p");
    const QString half = sandbox.makeDir(u"home/Library/Caches/com.acme.x"_s);
    const QString log = sandbox.writeFile(u"home/Library/Caches/com.acme.x/log"_s, "started");
    const QString index = sandbox.writeFile(u"home/Library/Caches/com.acme.x/index"_s, "i");
    // One item renamed into the Trash; the other copied, and written to after
    // the copy, so that only part of it went.
    moss::RemovalResult removal;
    removal.trashed.insert(moved, moss::trash::moveToTrash(moved).location);
    removal.halfMoved = moss::workspace::recycle({half}, [&log](const QString&, const QString&) {
                            QFile file(log);
                            if (file.open(QIODevice::Append))
                                file.write(" late");
                        }).halfMoved;
    ASSERT_EQ(removal.halfMoved.keys(), QStringList{half});
    ASSERT_FALSE(moss::fs::exists(index));
    removal.failed.insert(half, u"Не удалось переместить"_s);

    QStringList lines;
    const int status = moss::Main::reportAndRestore(
        {{moved, moss::FileCategory::preferences, 1, false, true},
         {half, moss::FileCategory::caches, 1, false, true}},
        removal, [&lines](const QString& line) { lines.append(line); });
    EXPECT_EQ(status, 2);
    EXPECT_EQ(lines, (QStringList{
                         u"В Корзину: "_s + moved + u" → com.acme.x.plist; на месте: false"_s,
                         u"Ошибка: "_s + half + u" — Не удалось переместить"_s,
                         u"Возвращено: 1 из 1; всё на месте: true"_s,
                     }));
    EXPECT_EQ(moss::fs::readFile(index), QByteArray("i"));
    EXPECT_EQ(moss::fs::readFile(log), QByteArray("started late"));
}

// A folder that the current user cannot change, also when that user is root
// (through the immutable flag). Undone on destruction.
class LockedFolder {
public:
    explicit LockedFolder(const QString& path) : path_(moss::fs::encodePath(path)) {
        ::chmod(path_.constData(), 0555);
        if (::access(path_.constData(), W_OK) == 0)
            immutable_ = setImmutable(true);
    }
    ~LockedFolder() {
        if (immutable_)
            setImmutable(false);
        ::chmod(path_.constData(), 0755);
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    bool locked() const { return ::access(path_.constData(), W_OK) != 0; }

private:
    bool setImmutable(bool on) {
        const int fd = ::open(path_.constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QByteArray path_;
    bool immutable_ = false;
};

// A home with one application, a separately installed competitor and the
// application's leftovers in several categories.
class SandboxHome : public ::testing::Test {
protected:
    void SetUp() override {
        app = sandbox.makeBundle(u"home/Applications/Quillstone.app"_s,
                                 {{u"CFBundleIdentifier"_s, u"com.fernleaf.Quillstone"_s},
                                  {u"CFBundleName"_s, u"Quillstone"_s},
                                  {u"CFBundleExecutable"_s, u"Quillstone"_s},
                                  {u"CFBundleShortVersionString"_s, u"2.4"_s},
                                  {u"CFBundleVersion"_s, u"240"_s}});
        sandbox.writeFile(u"home/Applications/Quillstone.app/Contents/MacOS/Quillstone"_s,
                          QByteArray(5000, 'q'));
        sandbox.makeBundle(
            u"home/Applications/Quillstone.app/Contents/Library/LoginItems/Quillstone Helper.app"_s,
            {{u"CFBundleIdentifier"_s, u"com.fernleaf.Quillstone.Helper"_s}});
        sandbox.makeBundle(u"home/Applications/Quillstone Sync.app"_s,
                           {{u"CFBundleIdentifier"_s, u"com.fernleaf.Quillstone.Sync"_s},
                            {u"CFBundleName"_s, u"Quillstone Sync"_s}});

        supportFolder = sandbox.makeDir(u"home/Library/Application Support/Quillstone"_s);
        sandbox.writeFile(u"home/Library/Application Support/Quillstone/library.db"_s,
                          QByteArray(9000, 'd'));
        notes = sandbox.makeDir(u"home/Library/Application Support/Quillstone Notes"_s);
        sandbox.writeFile(u"home/Library/Application Support/Quillstone Notes/n.txt"_s, "notes");
        preferences =
            sandbox.writePlist(u"home/Library/Preferences/com.fernleaf.Quillstone.plist"_s,
                               {{u"LastOpened"_s, u"today"_s}});
        helperPreferences =
            sandbox.writePlist(u"home/Library/Preferences/com.fernleaf.Quillstone.Helper.plist"_s,
                               {{u"Enabled"_s, true}}, moss::plist::Format::binary);
        competitorPreferences = sandbox.writePlist(
            u"home/Library/Preferences/com.fernleaf.Quillstone.Sync.plist"_s, {{u"On"_s, true}});
        sandbox.writePlist(u"home/Library/Preferences/org.unrelated.Thing.plist"_s,
                           {{u"On"_s, true}});
        cacheFolder = sandbox.makeDir(u"home/Library/Caches/com.fernleaf.Quillstone"_s);
        sandbox.writeFile(u"home/Library/Caches/com.fernleaf.Quillstone/Cache.db"_s,
                          QByteArray(20000, 'c'));
        temporary = sandbox.writeFile(u"tmp/com.fernleaf.Quillstone.tmp-1"_s, "t");
        crashReport = sandbox.writeFile(
            u"home/Library/Logs/DiagnosticReports/Quillstone_2024-01-05-101010_host.crash"_s,
            "crash");
        launchAgent = sandbox.writePlist(
            u"home/Library/LaunchAgents/org.example.sync.plist"_s,
            {{u"Label"_s, u"org.example.sync"_s},
             {u"ProgramArguments"_s,
              QVariantList{app + u"/Contents/MacOS/Quillstone"_s, u"--sync"_s}}});
        installer = sandbox.writeFile(u"home/Downloads/Quillstone-2.4.dmg"_s, "dmg");
        sandbox.writeFile(u"home/Downloads/Report.pdf"_s, "pdf");
    }

    QString line(const QString& category, const QString& path, const QString& flags = {}) const {
        return u'[' + category + u"] "_s + path + u" — "_s + sizeText(path) + flags;
    }

    QString trashFolder() const { return sandbox.home() + u"/.local/share/Trash/files"_s; }

    moss::test::Sandbox sandbox;
    QString app, supportFolder, notes, preferences, helperPreferences, competitorPreferences,
        cacheFolder, temporary, crashReport, launchAgent, installer;
};

TEST_F(SandboxHome, ScanPrintsTheBundleItsLeftoversAndTheTotal) {
    const LockedFolder applications(sandbox.path(u"home/Applications"_s));
    const QString admin = applications.locked() ? u" [admin]"_s : QString();

    const Outcome run = runMossbin({u"--scan"_s, u"home/Applications/Quillstone.app"_s}, sandbox);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, QByteArray());
    const QString unticked = u" [не отмечен]"_s;
    EXPECT_EQ(run.out.toStdString(),
              (lines({
                  u"Quillstone 2.4 — com.fernleaf.Quillstone"_s,
                  u"team: -, вложенные id: com.fernleaf.Quillstone.Helper"_s,
                  u"ключи имён: Quillstone"_s,
                  line(u"Приложение"_s, app, admin),
                  line(u"Данные приложения"_s, supportFolder),
                  // Only a name claims it, and "Notes" is not the application's own
                  // word.
                  line(u"Данные приложения"_s, notes, unticked),
                  // The competitor's longer identifier takes its preferences away.
                  line(u"Настройки"_s, helperPreferences),
                  line(u"Настройки"_s, preferences),
                  line(u"Кэш"_s, cacheFolder),
                  line(u"Кэш"_s, temporary),
                  line(u"Логи и отчёты о сбоях"_s, crashReport),
                  line(u"Автозапуск и фоновые службы"_s, launchAgent),
                  line(u"Установщики в Загрузках"_s, installer, unticked),
                  total({app, supportFolder, notes, helperPreferences, preferences, cacheFolder,
                         temporary, crashReport, launchAgent, installer}),
              })));
}

TEST_F(SandboxHome, APlugInIsArbitratedAgainstTheInstalledApplications) {
    const QString pane = sandbox.makeBundle(u"home/Library/PreferencePanes/Fernleaf.prefPane"_s,
                                            {{u"CFBundleIdentifier"_s, u"com.fernleaf"_s}});
    const QString own =
        sandbox.writePlist(u"home/Library/Preferences/com.fernleaf.plist"_s, {{u"On"_s, true}});

    const Outcome run = runMossbin({u"--scan"_s, pane}, sandbox);
    EXPECT_EQ(run.status, 0);
    // The applications' longer identifiers take their own files away.
    EXPECT_EQ(run.out.toStdString(), (lines({
                                         u"Fernleaf.prefPane  — com.fernleaf"_s,
                                         u"team: -, вложенные id: "_s,
                                         u"ключи имён: Fernleaf"_s,
                                         line(u"Приложение"_s, pane),
                                         line(u"Настройки"_s, own),
                                         total({pane, own}),
                                     })));
}

TEST_F(SandboxHome, KillAndUndoMovesTheDefaultSelectionAndPutsItBack) {
    const Outcome run =
        runMossbin({u"--kill-and-undo"_s, u"home/Applications/Quillstone.app"_s}, sandbox);
    // Without competitors the other application's preferences are chosen too;
    // unticked items and installers are never touched.
    QStringList chosen{app,         supportFolder,         helperPreferences,
                       preferences, competitorPreferences, cacheFolder,
                       temporary,   crashReport,           launchAgent};
    std::sort(chosen.begin(), chosen.end());
    QStringList expected;
    for (const QString& path : chosen)
        expected << u"В Корзину: "_s + path + u" → "_s + moss::fs::lastComponent(path) +
                        u"; на месте: false"_s;
    expected << u"Возвращено: 9 из 9; всё на месте: true"_s;
    EXPECT_EQ(run.out.toStdString(), lines(expected));
    EXPECT_EQ(run.err, QByteArray());
    EXPECT_EQ(run.status, 0);

    for (const QString& path : chosen + QStringList{notes, installer})
        EXPECT_TRUE(moss::fs::exists(path)) << path.toStdString();
    EXPECT_EQ(moss::fs::listDirectory(trashFolder()).value_or(QStringList{}), QStringList{});
}

TEST_F(SandboxHome, KillAndUndoReportsAnItemThatCannotMoveAndLosesNothing) {
    const QString cacheFile = cacheFolder + u"/Cache.db"_s;
    const LockedFolder caches(sandbox.path(u"home/Library/Caches"_s));
    if (!caches.locked())
        GTEST_SKIP() << "this machine cannot make a folder read-only for the current user";

    const Outcome run =
        runMossbin({u"--kill-and-undo"_s, u"home/Applications/Quillstone.app"_s}, sandbox);
    EXPECT_EQ(run.status, 2);
    const QStringList out = QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(out.size(), 10) << run.out.toStdString();
    const QString failurePrefix = u"Ошибка: "_s + cacheFolder + u" — "_s;
    EXPECT_EQ(out.filter(failurePrefix).size(), 1) << run.out.toStdString();
    EXPECT_GT(out[8].size(), failurePrefix.size());
    EXPECT_TRUE(out[8].startsWith(failurePrefix)) << out[8].toStdString();
    EXPECT_EQ(out[9], u"Возвращено: 8 из 8; всё на месте: true"_s);
    for (qsizetype i = 0; i < 8; ++i)
        EXPECT_TRUE(out[i].startsWith(u"В Корзину: "_s)) << out[i].toStdString();

    EXPECT_EQ(moss::fs::readFile(cacheFile).value_or(QByteArray()), QByteArray(20000, 'c'));
    for (const QString& path : {app, supportFolder, preferences, temporary, launchAgent})
        EXPECT_TRUE(moss::fs::exists(path)) << path.toStdString();
    EXPECT_EQ(moss::fs::listDirectory(trashFolder()).value_or(QStringList{}), QStringList{});
}

// ---------------------------------------------------------------- the demo

class DemoHome : public ::testing::Test {
protected:
    void SetUp() override {
        QProcess generator;
        generator.start(QStringLiteral(MAKE_DEMO_HOME_EXECUTABLE), {home()});
        ASSERT_TRUE(generator.waitForFinished(120'000));
        ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();
    }

    QString home() const { return sandbox.path(u"demo"_s); }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = sandbox.environment();
        env.insert(u"HOME"_s, home());
        env.insert(u"TMPDIR"_s, home() + u"/.tmp"_s);
        env.insert(u"XDG_CACHE_HOME"_s, home() + u"/.cache"_s);
        env.insert(u"XDG_DATA_HOME"_s, home() + u"/.local/share"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, home() + u"/.config"_s);
        env.insert(u"XDG_STATE_HOME"_s, home() + u"/.local/state"_s);
        // The demo's system side only: the machine's own applications would
        // compete with the demo's.
        const QString system = home() + u"/.demo-system"_s;
        env.insert(u"XDG_DATA_DIRS"_s, system + u"/usr/local/share:"_s + system + u"/usr/share:"_s +
                                           system + u"/flatpak/exports/share:"_s + system +
                                           u"/snapd/desktop"_s);
        env.insert(u"DPKG_ADMINDIR"_s, system + u"/dpkg"_s);
        env.insert(u"FLATPAK_SYSTEM_DIR"_s, system + u"/flatpak"_s);
        return env;
    }

    QStringList scan(const QString& relative) const {
        const Outcome run = runMossbin({u"--scan"_s, relative}, environment(), home());
        EXPECT_EQ(run.status, 0) << relative.toStdString() << run.err.toStdString();
        return QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts);
    }

    moss::test::Sandbox sandbox;
};

TEST_F(DemoHome, EveryDemoBundleHasLeftovers) {
    QStringList bundles;
    for (const QString& folder :
         {u"Applications"_s, u"Library/PreferencePanes"_s, u"Library/Widgets"_s})
        for (const QString& name :
             moss::fs::listDirectory(home() + u'/' + folder).value_or(QStringList{}))
            bundles << folder + u'/' + name;
    ASSERT_GE(bundles.size(), 5);
    for (const QString& bundle : bundles) {
        const QStringList out = scan(bundle);
        // Three header lines, the bundle, at least one leftover, the total.
        ASSERT_GE(out.size(), 6) << bundle.toStdString();
        EXPECT_TRUE(out[3].startsWith(u"[Приложение] "_s)) << out[3].toStdString();
        EXPECT_TRUE(out.last().startsWith(u"Итого: "_s));
    }
}

TEST_F(DemoHome, TheMainApplicationShowsMostCategoriesACompetitorAndAWeakMatch) {
    const QStringList out = scan(u"Applications/Quillstone.app"_s);
    const QString joined = out.join(u'\n');
    int categories = 0;
    for (const QString& title : {u"Данные приложения"_s, u"Контейнеры"_s, u"Настройки"_s, u"Кэш"_s,
                                 u"Логи и отчёты о сбоях"_s, u"Сохранённое состояние окон"_s,
                                 u"Автозапуск и фоновые службы"_s, u"Веб-данные и cookies"_s,
                                 u"Плагины и расширения"_s, u"Установщики в Загрузках"_s})
        categories += joined.contains(u'[' + title + u"] "_s) ? 1 : 0;
    EXPECT_GE(categories, 9) << joined.toStdString();

    // The separately installed companion claims its own preferences.
    EXPECT_FALSE(joined.contains(u"com.fernleaf.Quillstone.Sync.plist"_s));
    // A folder that only shares the name is offered unticked.
    EXPECT_EQ(out.filter(u"/Application Support/Quillstone Notes — "_s).size(), 1);
    EXPECT_TRUE(out.filter(u"/Application Support/Quillstone Notes — "_s)
                    .value(0)
                    .endsWith(u" [не отмечен]"_s));
    // The team comes from the signed executable; the bundled updater's
    // services are not among the nested identifiers.
    EXPECT_EQ(out.value(0), u"Quillstone 3.2.1 — com.fernleaf.Quillstone"_s);
    EXPECT_EQ(out.value(1),
              u"team: FERN7LEAF2, вложенные id: com.fernleaf.Quillstone.LaunchHelper, "
              "com.fernleaf.Quillstone.PrivilegedTool, "
              "com.fernleaf.Quillstone.Renderer, "
              "com.fernleaf.Quillstone.ShareExtension"_s);
}

struct ScanGolden {
    QString opened;           // as typed, relative to the demo home
    QStringList header;       // the three lines before the items
    QList<QStringList> items; // category, path below the home, marks
};

TEST_F(DemoHome, LinuxApplicationsScanAsExpected) {
    const QString unticked = u" [не отмечен]"_s;
    const QList<ScanGolden> goldens{
        // The user's own desktop entry: the entry goes with what its program
        // keeps in every XDG folder; ".config/driftwoods" only begins like it.
        {u".local/share/applications/net.driftwood.Reader.desktop"_s,
         {u"Плавник  — net.driftwood.Reader"_s, u"team: -, вложенные id: "_s,
          u"ключи имён: Driftwood Reader | DriftwoodReader | Driftwood-Reader | Driftwood"_s},
         {{u"Приложение"_s, u".local/share/applications/net.driftwood.Reader.desktop"_s},
          {u"Данные приложения"_s, u".local/share/net.driftwood.Reader"_s},
          {u"Данные приложения"_s, u".local/state/driftwood"_s},
          {u"Настройки"_s, u".config/driftwood"_s},
          {u"Кэш"_s, u".cache/driftwood"_s},
          {u"Автозапуск и фоновые службы"_s, u".config/autostart/reader-tray.desktop"_s},
          {u"Установщики в Загрузках"_s, u"Downloads/driftwood_2.3.0_amd64.deb"_s, unticked},
          {u"Прочее"_s, u".local/share/icons/hicolor/128x128/apps/net.driftwood.Reader.png"_s},
          {u"Прочее"_s, u".local/share/mime/packages/net.driftwood.Reader.xml"_s}}},
        // A Flatpak of the user's installation, opened by its exported entry:
        // the installed folder goes with its data and its exported links; the
        // identifier that only begins like it is another application's.
        {u".local/share/flatpak/exports/share/applications/org.lumen.Palette.desktop"_s,
         {u"Палитра Люмен 5.1.2 — org.lumen.Palette"_s, u"team: -, вложенные id: "_s,
          u"ключи имён: "_s},
         {{u"Приложение"_s, u".local/share/flatpak/app/org.lumen.Palette"_s},
          {u"Контейнеры"_s, u".var/app/org.lumen.Palette"_s},
          {u"Прочее"_s,
           u".local/share/flatpak/exports/share/applications/org.lumen.Palette.desktop"_s},
          {u"Прочее"_s, u".local/share/flatpak/exports/share/icons/hicolor/128x128/apps/"
                        "org.lumen.Palette.png"_s}}},
    };
    for (const ScanGolden& golden : goldens) {
        QStringList expected = golden.header;
        QStringList paths;
        for (const QStringList& item : golden.items) {
            const QString path = home() + u'/' + item[1];
            paths << path;
            expected << u'[' + item[0] + u"] "_s + path + u" — "_s + sizeText(path) + item.value(2);
        }
        expected << total(paths);
        const Outcome run = runMossbin({u"--scan"_s, golden.opened}, environment(), home());
        EXPECT_EQ(run.status, 0) << golden.opened.toStdString();
        EXPECT_EQ(run.err.toStdString(), "") << golden.opened.toStdString();
        EXPECT_EQ(run.out.toStdString(), lines(expected)) << golden.opened.toStdString();
    }
}

// Every entry below root with its modification time, in a fixed order.
QStringList manifest(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::lstat(moss::fs::encodePath(path).constData(), &st);
        entries << path.mid(root.size()) + u' ' + QString::number(st.st_mtim.tv_sec);
    }
    entries.sort();
    return entries;
}

TEST_F(DemoHome, TheGeneratorIsDeterministic) {
    const QString second = sandbox.path(u"second"_s);
    QProcess generator;
    generator.start(QStringLiteral(MAKE_DEMO_HOME_EXECUTABLE), {second});
    ASSERT_TRUE(generator.waitForFinished(120'000));
    ASSERT_EQ(generator.exitCode(), 0);
    EXPECT_EQ(manifest(home()), manifest(second));

    QProcess diff;
    diff.start(u"diff"_s, {u"-rq"_s, u"--no-dereference"_s, home(), second});
    ASSERT_TRUE(diff.waitForFinished(120'000));
    // Only launch jobs and package file lists differ: they name files in the
    // home by absolute path.
    const QString differences = QString::fromUtf8(diff.readAllStandardOutput());
    for (const QString& line : differences.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains(u"/Library/LaunchAgents/"_s) ||
                    line.contains(u"/.demo-system/dpkg/info/"_s))
            << line.toStdString();
}

} // namespace

// ---------------------------------------------------------------- snapshot

TEST(MainSnapshot, WritesA480By620PictureAndSaysWhere) {
    moss::test::Sandbox sandbox;
    QProcessEnvironment env = sandbox.environment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    const Outcome run =
        runMossbin({u"--snapshot"_s, u"drop"_s, u"drop.png"_s}, env, sandbox.root());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.toStdString(), "Снимок: drop.png\n");
    const QImage image(sandbox.path(u"drop.png"_s));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width() * 620, image.height() * 480); // 480 × 620 points at any scale
}

TEST(MainSnapshot, APictureThatCannotBeWrittenIsAFailure) {
    moss::test::Sandbox sandbox;
    QProcessEnvironment env = sandbox.environment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    const Outcome run =
        runMossbin({u"--snapshot"_s, u"drop"_s, u"missing/folder/drop.png"_s}, env, sandbox.root());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out.toStdString(), "Снимок: missing/folder/drop.png\n");
    EXPECT_FALSE(moss::fs::exists(sandbox.path(u"missing"_s)));
}
