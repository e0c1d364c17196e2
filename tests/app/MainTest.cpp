#include "Main.h"

#include "Remover.h"
#include "Sandbox.h"
#include "platform/ByteCount.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::Literals::StringLiterals;
using Mode = Main::Dispatch::Mode;

// Arguments and values separated by "|".
TEST(MainDispatch, OptionsTheirValuesAndPrecedence) {
    const struct {
        QString args;
        Mode mode;
        QString values;
    } rows[] = {
        {u""_s, Mode::window, u""_s},
        {u"--kill-and-undo|A"_s, Mode::killAndUndo, u"A"_s},
        {u"--snapshot|main|o.png"_s, Mode::snapshot, u"main|o.png"_s},
        // --scan comes first wherever it stands; then --kill-and-undo.
        {u"--kill-and-undo|X|--scan|Y"_s, Mode::scan, u"Y"_s},
        {u"--snapshot|t|o|--kill-and-undo|X"_s, Mode::killAndUndo, u"X"_s},
        // Without enough values an option is skipped.
        {u"--snapshot|main|--kill-and-undo"_s, Mode::snapshot, u"main|--kill-and-undo"_s},
        // Values are verbatim; only the first occurrence counts.
        {u"--scan|  a b\n"_s, Mode::scan, u"  a b\n"_s},
        {u"--scan|a|--scan|b"_s, Mode::scan, u"a"_s},
        // Options match only as whole, exact arguments.
        {u"--scan=A.app|A"_s, Mode::window, u""_s},
    };
    for (const auto& row : rows) {
        const QStringList args = row.args.split(u'|', Qt::SkipEmptyParts);
        const auto result = Main::dispatch(QStringList{u"/usr/bin/mossbin"_s} + args);
        EXPECT_EQ(result.mode, row.mode) << row.args.toStdString();
        EXPECT_EQ(result.values, row.values.split(u'|', Qt::SkipEmptyParts))
            << row.args.toStdString();
    }
    // The search starts at the program path.
    EXPECT_EQ(Main::dispatch({u"--scan"_s, u"A"_s}).values, QStringList{u"A"_s});
}

struct Outcome {
    QByteArray out, err;
    int status = -1;
};

Outcome run(const QStringList& args, const QProcessEnvironment& env, const QString& folder) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(MOSSBIN_EXECUTABLE), args);
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.readAllStandardOutput(), process.readAllStandardError(), process.exitCode()};
}

TEST(Main, ExitStatusesErrorTextsAndTheSnapshot) {
    const test::Sandbox sandbox;
    sandbox.makeDir(u"Apps"_s);
    QProcessEnvironment env = sandbox.environment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    const struct {
        QString args;
        int status;
        std::string out, err;
    } rows[] = {
        {u"--scan|Apps/../Apps/Missing.app"_s, 1, "", "Не бандл: Apps/../Apps/Missing.app\n"},
        {u"--kill-and-undo|Missing.app"_s, 1, "", ""},
        {u"--snapshot|drop|drop.png"_s, 0, "Снимок: drop.png\n", ""},
        {u"--snapshot|drop|missing/folder/drop.png"_s, 2, "Снимок: missing/folder/drop.png\n", ""},
    };
    for (const auto& row : rows) {
        const Outcome outcome = run(row.args.split(u'|'), env, sandbox.root());
        EXPECT_EQ(outcome.status, row.status) << row.args.toStdString();
        EXPECT_EQ(outcome.out.toStdString(), row.out);
        EXPECT_EQ(outcome.err.toStdString(), row.err);
    }
    EXPECT_FALSE(fs::exists(sandbox.path(u"missing"_s)));
    const QImage image(sandbox.path(u"drop.png"_s));
    EXPECT_EQ(image.width() * 620, image.height() * 480); // 480 × 620 at any scale
    EXPECT_FALSE(image.isNull());
}

// Control characters are escaped, and only those: no forged report line.
TEST(Main, ReportLinesEscapeControlCharacters) {
    using fs::decodePath;
    const QString cases[][2] = {
        {decodePath("/caf\xE9 \x85"), decodePath("/caf\xE9 \x85")},
        {u"/a\\b\n"_s, u"/a\\\\b\\x0a"_s},
        {u"/\u007f\u0085\u009f\u00a0"_s, u"/\\x7f\\x85\\x9f\u00a0"_s},
        {u"/z"_s + QChar(u'\0'), u"/z\\x00"_s},
    };
    for (const auto& [path, printed] : cases)
        EXPECT_EQ(Main::reportPath(path), printed) << path.toStdString();
    const FoundFile forged{u"/h/x\n[Кэш] /h/y"_s, FileCategory::caches, 0, false, true};
    EXPECT_EQ(Main::foundFileLine(forged), u"[Кэш] /h/x\\x0a[Кэш] /h/y — "_s + formatByteCount(0));
}

// A failure is reported, and what was trashed, even in part, comes back.
TEST(Main, KillAndUndoReportsAFailureAndPutsAHalfMovedItemBack) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString half = sandbox.makeDir(u"home/Library/Caches/com.acme.x"_s);
    const QString log = sandbox.writeFile(u"home/Library/Caches/com.acme.x/log"_s, "started");
    const QString index = sandbox.writeFile(u"home/Library/Caches/com.acme.x/index"_s, "i");
    // Copied and written to after the copy: only part of it went.
    RemovalResult removal;
    removal.halfMoved = workspace::recycle({half}, [&log](const QString&, const QString&) {
                            QFile file(log);
                            if (file.open(QIODevice::Append))
                                file.write(" late");
                        }).halfMoved;
    ASSERT_FALSE(fs::exists(index));
    removal.failed.insert(half, u"Не удалось"_s);
    QStringList printed;
    EXPECT_EQ(Main::reportAndRestore({{half, FileCategory::caches, 1, false, true}}, removal,
                                     [&printed](const QString& line) { printed.append(line); }),
              2);
    EXPECT_EQ(printed, (QStringList{u"Ошибка: "_s + half + u" — Не удалось"_s,
                                    u"Возвращено: 0 из 0; всё на месте: true"_s}));
    EXPECT_EQ(fs::readFile(index), QByteArray("i"));
    EXPECT_EQ(fs::readFile(log), QByteArray("started late"));
}

// The generated demo home, seen alone: the machine's own applications would
// compete with the demo's.
class DemoHome : public ::testing::Test {
protected:
    void SetUp() override {
        QProcess generator;
        generator.start(QStringLiteral(MAKE_DEMO_HOME_EXECUTABLE), {home});
        ASSERT_TRUE(generator.waitForFinished(120'000));
        ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();
        for (const QString& pair :
             u"HOME=|TMPDIR=/.tmp|XDG_CACHE_HOME=/.cache|XDG_DATA_HOME=/.local/share|"
             "XDG_CONFIG_HOME=/.config|XDG_STATE_HOME=/.local/state|DPKG_ADMINDIR=/.demo-system/"
             "dpkg|FLATPAK_SYSTEM_DIR=/.demo-system/flatpak"_s.split(u'|'))
            env.insert(pair.section(u'=', 0, 0), home + pair.section(u'=', 1));
        const QString system = home + u"/.demo-system"_s;
        env.insert(u"XDG_DATA_DIRS"_s, system + u"/usr/local/share:"_s + system + u"/usr/share:"_s +
                                           system + u"/flatpak/exports/share:"_s + system +
                                           u"/snapd/desktop"_s);
    }

    // Every file of the home outside the Trash, with its size.
    QStringList files() const {
        QStringList entries;
        QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            if (const QString path = it.next(); !path.contains(u"/.local/share/Trash/"_s))
                entries << path + u' ' + QString::number(it.fileInfo().size());
        entries.sort();
        return entries;
    }

    test::Sandbox sandbox;
    QString home = sandbox.path(u"demo"_s);
    QProcessEnvironment env = sandbox.environment();
};

// Scan goldens: a bundle added to the demo, and Linux applications of it.
TEST_F(DemoHome, ScanGoldens) {
    sandbox.makeBundle(u"demo/Library/PreferencePanes/Plain.prefPane"_s,
                       test::info(u"org.plain.pane"_s));
    sandbox.writeFile(u"demo/Library/Preferences/org.plain.pane.plist"_s, "<plist/>");
    const struct {
        QString opened;           // relative to the demo home
        QStringList header;       // the three lines before the items
        QList<QStringList> items; // category, path below the home, marks
    } goldens[] = {
        {u"Library/PreferencePanes/Plain.prefPane"_s,
         {u"Plain.prefPane  — org.plain.pane"_s, u"team: -, вложенные id: "_s,
          u"ключи имён: Plain"_s},
         {{u"Приложение"_s, u"Library/PreferencePanes/Plain.prefPane"_s},
          {u"Настройки"_s, u"Library/Preferences/org.plain.pane.plist"_s}}},
        // The user's own desktop entry goes with what its program keeps in
        // every XDG folder; ".config/driftwoods" only begins like it.
        {u".local/share/applications/net.driftwood.Reader.desktop"_s,
         {u"Плавник  — net.driftwood.Reader"_s, u"team: -, вложенные id: "_s,
          u"ключи имён: Driftwood Reader | DriftwoodReader | Driftwood-Reader | Driftwood"_s},
         {{u"Приложение"_s, u".local/share/applications/net.driftwood.Reader.desktop"_s},
          {u"Данные приложения"_s, u".local/share/net.driftwood.Reader"_s},
          {u"Данные приложения"_s, u".local/state/driftwood"_s},
          {u"Настройки"_s, u".config/driftwood"_s},
          {u"Кэш"_s, u".cache/driftwood"_s},
          {u"Автозапуск и фоновые службы"_s, u".config/autostart/reader-tray.desktop"_s},
          {u"Установщики в Загрузках"_s, u"Downloads/driftwood_2.3.0_amd64.deb"_s,
           u" [не отмечен]"_s},
          {u"Прочее"_s, u".local/share/icons/hicolor/128x128/apps/net.driftwood.Reader.png"_s},
          {u"Прочее"_s, u".local/share/mime/packages/net.driftwood.Reader.xml"_s}}},
    };
    for (const auto& golden : goldens) {
        QString expected = golden.header.join(u'\n') + u'\n';
        qint64 bytes = 0;
        for (const QStringList& item : golden.items) {
            const QString path = home + u'/' + item[1];
            bytes += fs::allocatedSize(path);
            expected += u'[' + item[0] + u"] "_s + path + u" — "_s +
                        formatByteCount(fs::allocatedSize(path)) + item.value(2) + u'\n';
        }
        expected += u"Итого: %1 файлов, "_s.arg(golden.items.size()) + formatByteCount(bytes);
        const Outcome outcome = run({u"--scan"_s, golden.opened}, env, home);
        EXPECT_EQ(outcome.status, 0) << golden.opened.toStdString();
        EXPECT_EQ(outcome.err.toStdString(), "");
        EXPECT_EQ(outcome.out.toStdString(), (expected + u'\n').toStdString());
    }
}

// Kill-and-undo of the demo's bundle, AppImage and own entry: whatever it
// moved comes back, nothing is lost and the Trash is left empty. A Flatpak,
// which its tool would remove for good, is refused untouched.
TEST_F(DemoHome, KillAndUndoGoldens) {
    const QString flatpak =
        u".local/share/flatpak/exports/share/applications/org.lumen.Palette.desktop"_s;
    for (const QString& opened :
         {u"Applications/Quillstone.app"_s, u"Applications/Cartographer-1.4.2-x86_64.AppImage"_s,
          u".local/share/applications/net.driftwood.Reader.desktop"_s, flatpak}) {
        SCOPED_TRACE(opened.toStdString());
        const QStringList before = files();
        const Outcome outcome = run({u"--kill-and-undo"_s, opened}, env, home);
        EXPECT_EQ(files(), before);
        EXPECT_TRUE(fs::listDirectory(home + u"/.local/share/Trash/files"_s)
                        .value_or(QStringList{})
                        .isEmpty());
        if (opened == flatpak) {
            EXPECT_EQ(outcome.status, 3);
            EXPECT_EQ(outcome.err, (u"Отказ: "_s + home + u'/' + flatpak +
                                    u" удаляется через Flatpak и из Корзины не вернётся\n"_s)
                                       .toUtf8());
            EXPECT_EQ(outcome.out, QByteArray());
            continue;
        }
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, QByteArray());
        const QStringList out = QString::fromUtf8(outcome.out).split(u'\n', Qt::SkipEmptyParts);
        const qsizetype moved =
            out.filter(QRegularExpression(u"^В Корзину: .+ → .+; на месте: false$"_s)).size();
        EXPECT_GE(moved, 3) << outcome.out.toStdString();
        EXPECT_EQ(out.value(out.size() - 1),
                  u"Возвращено: %1 из %1; всё на месте: true"_s.arg(moved));
    }
}

} // namespace
} // namespace moss
