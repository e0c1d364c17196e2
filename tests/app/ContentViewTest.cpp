// The main window's content driven headless: the header switch, the
// installed list and its context menu, drops, the toast and the alerts.

#include "ViewHarness.h"

#include <QSettings>

namespace moss::test {
namespace {

class ContentViewTest : public ::testing::Test {
protected:
    // The settings file's folder is found once per process: what one test
    // protects must not reach the next.
    void TearDown() override { QSettings().clear(); }

    Sandbox sandbox;
    Store store;
    ViewHarness harness{store};

    QQuickItem* find(const char* name) { return harness.find(QString::fromUtf8(name)); }
    // Opens the context menu of Tiny Paint's row and clicks its protection
    // item, which must read `text`.
    void protect(const QString& text) {
        harness.click(find("bundleRow:Tiny Paint"), Qt::RightButton);
        QQuickItem* item = find("protectItem");
        EXPECT_EQ(ViewHarness::text(item), text);
        harness.click(item);
    }
    auto focusedControl() const { return ViewHarness::accessible(harness.focused()); }
    QString focusedName() const { return focusedControl().first; }
    void tabTo(const QString& name) {
        for (int i = 0; i < 20 && focusedName() != name; ++i)
            harness.key(Qt::Key_Tab);
        ASSERT_EQ(focusedName(), name);
    }
};

TEST_F(ContentViewTest, HeaderSwitchListSearchProtectionAndRows) {
    DemoApp app(sandbox);
    harness.click(find("segment:Список"));
    EXPECT_EQ(store.screen(), Store::Screen::List);
    ASSERT_TRUE(waitFor([&] { return !store.isLoadingList() && find("bundleList"); }));
    QQuickItem* row = find("bundleRow:Tiny Paint");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(ViewHarness::text(row->findChild<QQuickItem*>(u"detail"_s)),
              u"2.1 · org.example.tinypaint"_s);
    store.setQuery(u"no such thing"_s);
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("emptyNote")), u"Ничего не найдено"_s);
    store.setQuery(u"  "_s);
    ViewHarness::settle();
    EXPECT_EQ(find("emptyNote"), nullptr);

    // The context menu protects; a protected application asks before it opens.
    EXPECT_EQ(find("lock"), nullptr);
    protect(u"Защитить от удаления"_s);
    EXPECT_NE(find("lock"), nullptr);
    for (const char* button : {"cancelButton", "removeAnywayButton"}) {
        EXPECT_EQ(store.session(), nullptr);
        harness.click(find("bundleRow:Tiny Paint"));
        EXPECT_EQ(ViewHarness::text(find("alertTitle")), u"Это приложение защищено"_s);
        harness.click(find(button));
        EXPECT_FALSE(store.alert().has_value());
    }
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().displayName, u"Tiny Paint"_s);
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
    store.closeSession();
    ASSERT_TRUE(waitFor([&] { return !find("sheet"); }));
    protect(u"Снять защиту"_s);
    EXPECT_EQ(find("lock"), nullptr);
}

TEST_F(ContentViewTest, DropsAreTakenAsACopyOrALinkNeverAsAMoveAndOpenTheFirstFile) {
    DemoApp app(sandbox);
    const QString notes = sandbox.writeFile(u"notes.txt"_s, "text");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(app.path), QUrl::fromLocalFile(notes)});
    const std::pair<Qt::DropActions, Qt::DropAction> offeredAndTaken[] = {
        {Qt::MoveAction, Qt::IgnoreAction},
        {Qt::CopyAction | Qt::MoveAction, Qt::CopyAction},
        {Qt::MoveAction | Qt::LinkAction, Qt::LinkAction},
    };
    for (const auto& [offered, taken] : offeredAndTaken) {
        EXPECT_EQ(harness.dragAndDrop(files, {240, 330}, offered), taken);
        Session* session = store.session();
        ASSERT_EQ(session != nullptr, taken != Qt::IgnoreAction) << int(offered);
        if (session) {
            EXPECT_EQ(session->bundle().url, app.path);
            EXPECT_FALSE(store.alert().has_value());
            ASSERT_TRUE(waitFor([&] { return !session->isSearching(); }));
            store.closeSession();
        }
    }
}

TEST_F(ContentViewTest, ToastUndoButtonRestoresTheLastRemoval) {
    DemoApp app(sandbox);
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    harness.click(find("removeButton"));
    ASSERT_TRUE(waitFor([&] { return store.session() == nullptr && store.toast(); }));
    ViewHarness::settle();
    QQuickItem* undo = find("undoButton");
    EXPECT_EQ(ViewHarness::text(undo), u"Отменить"_s);
    harness.click(undo);
    ASSERT_TRUE(store.toast().has_value());
    EXPECT_TRUE(store.toast()->startsWith(u"Возвращено из Корзины: "_s));
    EXPECT_EQ(find("undoButton"), nullptr);
    EXPECT_TRUE(fs::exists(app.path));
}

TEST_F(ContentViewTest, AFileThatIsNoApplicationIsToldAndEscapeDismisses) {
    sandbox.activate();
    const QString notes = sandbox.writeFile(u"notes.txt"_s, "text");
    store.open(QStringList{notes});
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("alertTitle")), u"Это не приложение"_s);
    EXPECT_EQ(ViewHarness::text(find("alertMessage")),
              u"«notes.txt» не похоже на приложение, плагин или виджет."_s);
    EXPECT_EQ(find("cancelButton"), nullptr);
    harness.key(Qt::Key_Escape);
    EXPECT_FALSE(store.alert().has_value());
}

TEST_F(ContentViewTest, TheKeyboardGoesRoundNamedControlsAndOpensRowsAndMenus) {
    DemoApp app(sandbox);
    tabTo(u"Перетащить"_s);
    harness.key(Qt::Key_Right);
    EXPECT_EQ(store.screen(), Store::Screen::List);
    ASSERT_TRUE(waitFor([&] { return !store.isLoadingList() && find("bundleList"); }));
    using Stop = std::pair<QString, QAccessible::Role>;
    const QList<Stop> chain = {
        {u"Список"_s, QAccessible::RadioButton},   {u"Настройки"_s, QAccessible::Button},
        {u"Поиск"_s, QAccessible::EditableText},   {u"Приложения"_s, QAccessible::RadioButton},
        {u"Tiny Paint"_s, QAccessible::ListItem},  {u"Закрыть окно"_s, QAccessible::Button},
        {u"Свернуть окно"_s, QAccessible::Button}, {u"Развернуть окно"_s, QAccessible::Button},
        {u"Список"_s, QAccessible::RadioButton},
    };
    EXPECT_EQ(focusedControl(), chain.first());
    for (qsizetype i = 1; i < chain.size(); ++i) {
        harness.key(Qt::Key_Tab);
        EXPECT_EQ(focusedControl(), chain[i]);
    }
    harness.key(Qt::Key_Backtab);
    EXPECT_EQ(focusedName(), u"Развернуть окно"_s);

    tabTo(u"Tiny Paint"_s);
    for (const Qt::Key opening : {Qt::Key_Return, Qt::Key_Space}) {
        harness.key(opening);
        ASSERT_NE(store.session(), nullptr);
        EXPECT_EQ(store.session()->bundle().displayName, u"Tiny Paint"_s);
        ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
        harness.key(Qt::Key_Escape);
        EXPECT_EQ(store.session(), nullptr);
        ASSERT_TRUE(waitFor([&] { return focusedName() == u"Tiny Paint"; }));
    }
    harness.key(Qt::Key_Menu);
    EXPECT_EQ(focusedControl(), Stop(u"Показать в файловом менеджере"_s, QAccessible::MenuItem));
    harness.key(Qt::Key_Escape);
    EXPECT_EQ(find("revealBundleItem"), nullptr);
    EXPECT_EQ(focusedName(), u"Tiny Paint"_s);
}

} // namespace
} // namespace moss::test
