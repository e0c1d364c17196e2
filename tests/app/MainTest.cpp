#include "Main.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QProcess>
#include <gtest/gtest.h>

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

std::string utf8(const QString& text) {
    return text.toStdString();
}

TEST(MainScan, NotABundleShowsThePathAsTyped) {
    const moss::test::Sandbox sandbox;
    sandbox.makeDir(u"Apps"_s);
    const Outcome run = runMossbin({u"--scan"_s, u"Apps/../Apps/Missing.app"_s}, sandbox);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_EQ(run.err.toStdString(), utf8(u"Не бандл: Apps/../Apps/Missing.app\n"_s));
}

TEST(MainScan, AValueThatLooksLikeAnOptionIsScannedAsAPath) {
    const moss::test::Sandbox sandbox;
    const Outcome run = runMossbin({u"--scan"_s, u"--snapshot"_s}, sandbox);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_EQ(run.err.toStdString(), utf8(u"Не бандл: --snapshot\n"_s));
}

TEST(MainScan, AnApplicationWithoutInfoPropertyListIsNoBundle) {
    const moss::test::Sandbox sandbox;
    sandbox.makeDir(u"home/Applications/Empty.app/Contents"_s);
    const Outcome run = runMossbin({u"--scan"_s, u"home/Applications/Empty.app"_s}, sandbox);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.toStdString(), utf8(u"Не бандл: home/Applications/Empty.app\n"_s));
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
    ASSERT_GE(out.size(), 2);
    EXPECT_EQ(out[0].toStdString(), "Caf\xE9.bundle  \xE2\x80\x94 " + utf8(u"без id"_s));
}

} // namespace
