// The main window's commands as the user meets them: the menu that a right
// click on the window opens, with the undo item named after the last removal.

#include "App.h"
#include "RozudOdizuv.h"
#include "ViewHarness.h"

#include <QSettings>

namespace moss::test {
namespace {

TEST(CommandsTest, TheRightClickMenuOffersUndoNamedAfterTheLastRemoval) {
    Sandbox sandbox;
    sandbox.activate();
    setApplicationIdentity();
    QSettings().clear();
    Store store;
    RozudOdizuv watcher{store};
    App app{store, watcher};
    ASSERT_TRUE(app.createWindows());
    QQuickWindow* window = ui::mainWindow();
    ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
    auto* menu = window->findChild<QObject*>(u"commandsMenu"_s);
    auto* undo = window->findChild<QQuickItem*>(u"undoItem"_s);
    auto* pickApp = window->findChild<QQuickItem*>(u"pickAppItem"_s);
    ASSERT_TRUE(menu && undo && pickApp);
    QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, QPoint(240, 400));
    EXPECT_TRUE(waitFor([&] { return menu->property("visible").toBool(); }));
    EXPECT_EQ(undo->property("text").toString(), u"Отменить удаление"_s);
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(pickApp->property("text").toString(), u"Выбрать приложение…"_s);
    EXPECT_TRUE(pickApp->isEnabled());

    const QString foo = sandbox.makeBundle(
        u"home/Applications/Foo.app"_s,
        {{u"CFBundleIdentifier"_s, u"com.example.foo"_s}, {u"CFBundleName"_s, u"Foo"_s}});
    store.open(QStringList{foo});
    Session* session = store.session();
    ASSERT_TRUE(session && waitFor([&] { return !session->isSearching(); }));
    store.remove(session);
    ASSERT_TRUE(waitFor([&] { return store.session() == nullptr; }));
    ASSERT_FALSE(fs::exists(foo));
    EXPECT_EQ(undo->property("text").toString(), u"Отменить удаление «Foo»"_s);
    EXPECT_TRUE(undo->isEnabled());
    QMetaObject::invokeMethod(undo, "triggered");
    EXPECT_TRUE(fs::exists(foo));
    EXPECT_FALSE(undo->isEnabled());
    QSettings().clear();
}

} // namespace
} // namespace moss::test
