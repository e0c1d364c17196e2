#include "App.h"

#include "RozudOdizuv.h"
#include "Sandbox.h"
#include "Store.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QGuiApplication>
#include <QSettings>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Sandbox;

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
    RozudOdizuv watcher{store};
};

TEST_F(AppTest, UndoCommandTitle) {
    EXPECT_EQ(App::undoTitle(std::nullopt), u"Отменить удаление"_s);
    // A removal that trashed nothing still names the bundle.
    UndoEntry nothingTrashed;
    nothingTrashed.name = u"Bar Baz"_s;
    EXPECT_EQ(App::undoTitle(nothingTrashed), u"Отменить удаление «Bar Baz»"_s);

    const App app(store, watcher);
    EXPECT_EQ(app.undoTitle(), u"Отменить удаление"_s);
    EXPECT_FALSE(app.canUndo());
}

TEST_F(AppTest, TurningRozudOdizuvOnKeepsTheApplicationAndOffFromTheTrayStopsEverything) {
    App app(store, watcher);
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    store.settings().setRozudOdizuv(true);
    EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
    ASSERT_TRUE(watcher.isWatching());
    ASSERT_TRUE(fs::exists(RozudOdizuv::loginItemPath()));

    app.turnOffRozudOdizuv();
    EXPECT_FALSE(QSettings().value(u"rozudOdizuv"_s).toBool());
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_FALSE(fs::exists(RozudOdizuv::loginItemPath()));
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

} // namespace
} // namespace moss
