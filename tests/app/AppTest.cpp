#include "App.h"

#include "RozudOdizuv.h"
#include "Sandbox.h"
#include "Store.h"
#include "Wait.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Sandbox;

using test::waitFor;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        setApplicationIdentity();
        QSettings().clear();
    }

    void TearDown() override {
        QSettings().clear();
        watcher.applySetting();
    }

    Sandbox sandbox;
    Store store;
    RozudOdizuv watcher;
};

TEST_F(AppTest, UndoCommandTitleAndEnabling) {
    EXPECT_EQ(App::undoTitle(std::nullopt), u"Отменить удаление"_s);
    EXPECT_FALSE(App::canUndo(std::nullopt));

    // A removal that trashed nothing names the bundle but has nothing to undo.
    const UndoEntry nothing{u"Foo"_s, {}};
    EXPECT_EQ(App::undoTitle(nothing), u"Отменить удаление «Foo»"_s);
    EXPECT_FALSE(App::canUndo(nothing));

    const UndoEntry some{u"Bar Baz"_s, {{u"/a/Bar Baz.app"_s, u"/t/Bar Baz.app"_s}}};
    EXPECT_EQ(App::undoTitle(some), u"Отменить удаление «Bar Baz»"_s);
    EXPECT_TRUE(App::canUndo(some));

    const App app(store, watcher);
    EXPECT_EQ(app.undoTitle(), u"Отменить удаление"_s);
    EXPECT_FALSE(app.canUndo());
}

TEST_F(AppTest, TrayAndLastWindowRuleFollowTheSetting) {
    App app(store, watcher);
    EXPECT_FALSE(app.isTrayVisible());
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());

    int trayChanges = 0;
    QObject::connect(&app, &App::trayVisibleChanged, [&] { ++trayChanges; });
    store.setRozudOdizuv(true);
    EXPECT_TRUE(app.isTrayVisible());
    EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
    EXPECT_EQ(trayChanges, 1);

    store.setRozudOdizuv(false);
    EXPECT_FALSE(app.isTrayVisible());
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
}

TEST_F(AppTest, TurningRozudOdizuvOffFromTheTrayStopsEverything) {
    App app(store, watcher);
    store.setRozudOdizuv(true);
    watcher.applySetting();
    ASSERT_TRUE(watcher.isWatching());
    ASSERT_TRUE(fs::exists(RozudOdizuv::loginItemPath()));

    app.turnOffRozudOdizuv();
    EXPECT_FALSE(QSettings().value(u"rozudOdizuv"_s).toBool());
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_FALSE(fs::exists(RozudOdizuv::loginItemPath()));
    EXPECT_FALSE(app.isTrayVisible());
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
}

TEST_F(AppTest, FileArgumentsAreThePathsAmongTheArguments) {
    const QString cwd = fs::standardized(QDir::currentPath());
    EXPECT_EQ(App::fileArguments({u"mossbin"_s}), QStringList{});
    EXPECT_EQ(App::fileArguments({u"mossbin"_s, u"/A/Foo.app"_s, u"--scan"_s, u"Bar.app"_s, u"-x"_s,
                                  u"/B/./Baz.app/"_s}),
              (QStringList{u"/A/Foo.app"_s, cwd + u"/Bar.app"_s, u"/B/Baz.app"_s}));
}

TEST_F(AppTest, OpenPanelTreatsBundlesAsItems) {
    EXPECT_TRUE(App::isBundlePath(u"/Applications/Foo.app"_s));
    EXPECT_TRUE(App::isBundlePath(u"/x/Foo.APP"_s));
    EXPECT_TRUE(App::isBundlePath(u"/x/Pane.prefpane"_s));
    EXPECT_TRUE(App::isBundlePath(u"/x/Clock.wdgt"_s));
    EXPECT_FALSE(App::isBundlePath(u"/x/Folder"_s));
    EXPECT_FALSE(App::isBundlePath(u"/x/notes.txt"_s));
    const QString expected =
        fs::isDirectory(u"/Applications"_s) ? u"/Applications"_s : sandbox.home();
    EXPECT_EQ(App::panelStartFolder(), expected);
}

TEST_F(AppTest, SingleInstanceSocketLivesInTheRuntimeFolder) {
    EXPECT_EQ(SingleInstance::socketPath(), sandbox.path(u"runtime/mossbin.socket"_s));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(SingleInstance::socketPath().startsWith(fs::tempPath() + u"/mossbin-"_s));
}

TEST_F(AppTest, FilesAreHandedToTheRunningInstance) {
    EXPECT_FALSE(SingleInstance::handOver({u"/A/Foo.app"_s}));

    SingleInstance running;
    ASSERT_TRUE(running.listen());
    QList<QStringList> received;
    QObject::connect(&running, &SingleInstance::filesReceived,
                     [&](const QStringList& paths) { received.append(paths); });
    // A name with a byte that is not UTF-8 arrives unchanged.
    const QString odd = fs::decodePath(QByteArray("/A/Caf\xe9 \"x\".app"));
    ASSERT_TRUE(SingleInstance::handOver({odd, u"/B/Bar.app"_s}));
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
    EXPECT_EQ(received.at(0), (QStringList{odd, u"/B/Bar.app"_s}));

    ASSERT_TRUE(SingleInstance::handOver({}));
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    EXPECT_EQ(received.at(1), QStringList{});
}

TEST_F(AppTest, ASocketLeftBehindIsTakenOver) {
    sandbox.writeFile(u"runtime/mossbin.socket"_s, "stale");
    SingleInstance running;
    EXPECT_TRUE(running.listen());
}

TEST_F(AppTest, ASecondStartHandsItsFilesOverAndEnds) {
    SingleInstance running;
    ASSERT_TRUE(running.listen());
    QList<QStringList> received;
    QObject::connect(&running, &SingleInstance::filesReceived,
                     [&](const QStringList& paths) { received.append(paths); });
    const QString bundle = sandbox.makeDir(u"home/Applications/Foo.app"_s);

    QProcess second;
    second.setProcessEnvironment(sandbox.environment());
    second.setWorkingDirectory(sandbox.home());
    second.start(QStringLiteral(MOSSBIN_EXECUTABLE),
                 {u"Applications/Foo.app"_s, u"/elsewhere/Bar.app"_s});
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
    EXPECT_EQ(received.at(0), (QStringList{bundle, u"/elsewhere/Bar.app"_s}));
}

} // namespace
} // namespace moss
