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
    void showList() {
        store.setScreen(Store::Screen::List);
        ASSERT_TRUE(waitFor([&] { return !store.isLoadingList() && find("bundleList"); }));
        ViewHarness::settle();
    }
    // Opens the context menu of Tiny Paint's row and clicks its protection
    // item, which must read `text`.
    void protect(const QString& text) {
        harness.click(find("bundleRow:Tiny Paint"), Qt::RightButton);
        QQuickItem* item = find("protectItem");
        EXPECT_EQ(ViewHarness::text(item), text);
        harness.click(item);
    }
    std::pair<QString, QAccessible::Role> focusedControl() const {
        return ViewHarness::accessible(harness.focused());
    }
    QString focusedName() const { return focusedControl().first; }
    void tabTo(const QString& name) {
        for (int i = 0; i < 20 && focusedName() != name; ++i)
            harness.key(Qt::Key_Tab);
        ASSERT_EQ(focusedName(), name);
    }
};

TEST_F(ContentViewTest, HeaderSwitchListSearchKindsAndRows) {
    DemoApp app(sandbox);
    EXPECT_NE(find("emblem"), nullptr);
    harness.click(find("segment:Список"));
    EXPECT_EQ(store.screen(), Store::Screen::List);
    ASSERT_TRUE(waitFor([&] { return !store.isLoadingList() && find("bundleList"); }));
    EXPECT_EQ(find("emblem"), nullptr);
    QQuickItem* row = find("bundleRow:Tiny Paint");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(ViewHarness::text(row->findChild<QQuickItem*>(QStringLiteral("detail"))),
              QStringLiteral("2.1 · org.example.tinypaint"));

    store.setQuery(QStringLiteral("no such thing"));
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("emptyNote")), QStringLiteral("Ничего не найдено"));
    store.setQuery(QStringLiteral("  "));
    ViewHarness::settle();
    EXPECT_EQ(find("emptyNote"), nullptr);

    // Each kind loads once; returning to it does not load it again.
    int loads = 0;
    QObject::connect(&store, &Store::isLoadingListChanged, &harness.view(),
                     [&] { loads += store.isLoadingList(); });
    for (const char* kind : {"segment:Плагины", "segment:Приложения", "segment:Плагины"}) {
        harness.click(find(kind));
        ASSERT_TRUE(waitFor([&] { return !store.isLoadingList(); }));
    }
    EXPECT_EQ(store.kind(), BundleKind::Plugin);
    EXPECT_EQ(loads, 1);
    harness.click(find("segment:Приложения"));
    harness.click(find("bundleRow:Tiny Paint"));
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().displayName, QStringLiteral("Tiny Paint"));
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
}

TEST_F(ContentViewTest, DropsAreTakenAsACopyOrALinkNeverAsAMoveAndOpenTheFirstFile) {
    DemoApp app(sandbox);
    const QString notes = sandbox.writeFile(QStringLiteral("notes.txt"), "text");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(app.path), QUrl::fromLocalFile(notes)});
    QMimeData text;
    text.setText(QStringLiteral("Tiny Paint"));
    EXPECT_EQ(harness.dragAndDrop(text, {240, 330}, Qt::CopyAction), Qt::IgnoreAction);
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
    showList(); // the list takes drops too
    EXPECT_EQ(harness.dragAndDrop(files, {240, 400}, Qt::CopyAction), Qt::CopyAction);
    ASSERT_NE(store.session(), nullptr);
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
}

TEST_F(ContentViewTest, ContextMenuProtectsAndUnprotects) {
    DemoApp app(sandbox);
    showList();
    EXPECT_EQ(find("lock"), nullptr);
    protect(QStringLiteral("Защитить от удаления"));
    EXPECT_TRUE(store.settings().protectedIDs().contains(QStringLiteral("org.example.tinypaint")));
    EXPECT_NE(find("lock"), nullptr);
    protect(QStringLiteral("Снять защиту"));
    EXPECT_FALSE(store.settings().protectedIDs().contains(QStringLiteral("org.example.tinypaint")));
    EXPECT_EQ(find("lock"), nullptr);
}

TEST_F(ContentViewTest, ToastUndoButtonRestoresTheLastRemoval) {
    DemoApp app(sandbox);
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    harness.click(find("removeButton"));
    ASSERT_TRUE(waitFor([&] { return store.session() == nullptr && store.toast(); }));
    ViewHarness::settle();
    QQuickItem* undo = find("undoButton");
    EXPECT_EQ(ViewHarness::text(undo), QStringLiteral("Отменить"));
    harness.click(undo);
    ASSERT_TRUE(store.toast().has_value());
    EXPECT_TRUE(store.toast()->startsWith(QStringLiteral("Возвращено из Корзины: ")));
    EXPECT_EQ(find("undoButton"), nullptr);
    EXPECT_TRUE(fs::exists(app.path));
}

TEST_F(ContentViewTest, AlertsForAFileAndForAProtectedApplication) {
    DemoApp app(sandbox);
    const QString notes = sandbox.writeFile(QStringLiteral("notes.txt"), "text");
    store.open(QStringList{notes});
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("alertTitle")), QStringLiteral("Это не приложение"));
    EXPECT_EQ(ViewHarness::text(find("alertMessage")),
              QStringLiteral("«notes.txt» не похоже на приложение, плагин или виджет."));
    EXPECT_EQ(find("cancelButton"), nullptr);
    harness.key(Qt::Key_Escape);
    EXPECT_FALSE(store.alert().has_value());

    store.settings().setProtectedIDs({QStringLiteral("org.example.tinypaint")});
    for (const char* button : {"cancelButton", "removeAnywayButton"}) {
        store.open(QStringList{app.path});
        ViewHarness::settle();
        EXPECT_EQ(ViewHarness::text(find("alertTitle")), QStringLiteral("Это приложение защищено"));
        EXPECT_EQ(find("okButton"), nullptr);
        harness.click(find(button));
        EXPECT_FALSE(store.alert().has_value());
    }
    ASSERT_NE(store.session(), nullptr);
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
}

TEST_F(ContentViewTest, TheKeyboardGoesRoundNamedControlsAndOpensRowsAndMenus) {
    DemoApp app(sandbox);
    sandbox.makeBundle(QStringLiteral("home/Applications/Zeta.app"),
                       {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.example.zeta")},
                        {QStringLiteral("CFBundleName"), QStringLiteral("Zeta")}});
    tabTo(QStringLiteral("Перетащить"));
    harness.key(Qt::Key_Right);
    EXPECT_EQ(store.screen(), Store::Screen::List);
    ASSERT_TRUE(waitFor([&] { return !store.isLoadingList() && find("bundleList"); }));
    using Stop = std::pair<QString, QAccessible::Role>;
    const QList<Stop> chain = {
        {QStringLiteral("Список"), QAccessible::RadioButton},
        {QStringLiteral("Настройки"), QAccessible::Button},
        {QStringLiteral("Поиск"), QAccessible::EditableText},
        {QStringLiteral("Приложения"), QAccessible::RadioButton},
        {QStringLiteral("Tiny Paint"), QAccessible::ListItem},
        {QStringLiteral("Закрыть окно"), QAccessible::Button},
        {QStringLiteral("Свернуть окно"), QAccessible::Button},
        {QStringLiteral("Развернуть окно"), QAccessible::Button},
        {QStringLiteral("Список"), QAccessible::RadioButton},
    };
    EXPECT_EQ(focusedControl(), chain.first());
    for (qsizetype i = 1; i < chain.size(); ++i) {
        harness.key(Qt::Key_Tab);
        EXPECT_EQ(focusedControl(), chain[i]);
    }
    harness.key(Qt::Key_Backtab);
    EXPECT_EQ(focusedName(), QStringLiteral("Развернуть окно"));

    tabTo(QStringLiteral("Tiny Paint"));
    for (const auto& [key, row] : {std::pair(Qt::Key_Down, "Zeta"), std::pair(Qt::Key_Down, "Zeta"),
                                   std::pair(Qt::Key_Up, "Tiny Paint")}) {
        harness.key(key);
        EXPECT_EQ(focusedName(), QString::fromUtf8(row));
    }
    for (const Qt::Key opening : {Qt::Key_Return, Qt::Key_Space}) {
        harness.key(opening);
        ASSERT_NE(store.session(), nullptr);
        EXPECT_EQ(store.session()->bundle().displayName, QStringLiteral("Tiny Paint"));
        ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
        harness.key(Qt::Key_Escape);
        EXPECT_EQ(store.session(), nullptr);
        ASSERT_TRUE(waitFor([&] { return focusedName() == u"Tiny Paint"; }));
    }
    harness.key(Qt::Key_Menu);
    EXPECT_EQ(focusedControl(),
              Stop(QStringLiteral("Показать в файловом менеджере"), QAccessible::MenuItem));
    harness.key(Qt::Key_Escape);
    EXPECT_EQ(find("revealBundleItem"), nullptr);
    EXPECT_EQ(focusedName(), QStringLiteral("Tiny Paint"));
}

} // namespace
} // namespace moss::test
