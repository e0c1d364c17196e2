// The main window's commands as the user meets them: the menu that a right
// click on the window opens, with the undo item named after the last removal.

#include "App.h"
#include "ContentView.h"
#include "RozudOdizuv.h"
#include "Sandbox.h"
#include "Store.h"
#include "Wait.h"
#include "platform/FileSystem.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;

using test::waitFor;

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        setApplicationIdentity();
        QSettings().clear();
        ASSERT_TRUE(app.createWindows());
        window = ui::mainWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        menu = window->findChild<QObject*>(u"commandsMenu"_s);
        ASSERT_NE(menu, nullptr);
        undoItem = window->findChild<QQuickItem*>(u"undoItem"_s);
        pickAppItem = window->findChild<QQuickItem*>(u"pickAppItem"_s);
        ASSERT_NE(undoItem, nullptr);
        ASSERT_NE(pickAppItem, nullptr);
    }

    void TearDown() override { QSettings().clear(); }

    // Removes the bundle at path, ticked as the search left it.
    void removeBundle(const QString& path) {
        store.open(QStringList{path});
        Session* session = store.session();
        ASSERT_NE(session, nullptr);
        ASSERT_TRUE(waitFor([&] { return !session->isSearching(); }));
        store.remove(session);
        ASSERT_TRUE(waitFor([&] { return store.session() == nullptr; }));
    }

    test::Sandbox sandbox;
    Store store;
    RozudOdizuv watcher{store};
    App app{store, watcher};
    QQuickWindow* window = nullptr;
    QObject* menu = nullptr;
    QQuickItem* undoItem = nullptr;
    QQuickItem* pickAppItem = nullptr;
};

TEST_F(CommandsTest, ARightClickOnTheWindowOpensTheCommands) {
    EXPECT_FALSE(menu->property("visible").toBool());
    QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, QPoint(240, 400));
    EXPECT_TRUE(waitFor([&] { return menu->property("visible").toBool(); }));

    EXPECT_EQ(undoItem->property("text").toString(), u"Отменить удаление"_s);
    EXPECT_FALSE(undoItem->isEnabled());
    EXPECT_EQ(pickAppItem->property("text").toString(), u"Выбрать приложение…"_s);
    EXPECT_TRUE(pickAppItem->isEnabled());
}

TEST_F(CommandsTest, TheUndoItemNamesTheLastRemovalAndUndoesIt) {
    const QString foo = sandbox.makeBundle(
        u"home/Applications/Foo.app"_s,
        {{u"CFBundleIdentifier"_s, u"com.example.foo"_s}, {u"CFBundleName"_s, u"Foo"_s}});
    removeBundle(foo);
    ASSERT_FALSE(fs::exists(foo));
    EXPECT_EQ(undoItem->property("text").toString(), u"Отменить удаление «Foo»"_s);
    EXPECT_TRUE(undoItem->isEnabled());

    QMetaObject::invokeMethod(undoItem, "triggered");
    EXPECT_TRUE(fs::exists(foo));
    EXPECT_EQ(undoItem->property("text").toString(), u"Отменить удаление"_s);
    EXPECT_FALSE(undoItem->isEnabled());
}

} // namespace
} // namespace moss
