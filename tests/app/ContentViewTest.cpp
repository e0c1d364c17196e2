// The main window's content driven headless: the header switch, the
// installed list's states and context menu, the toast and the alerts.

#include "ViewHarness.h"

namespace moss::test {
namespace {

class ContentViewTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    Store store;
    ViewHarness harness{store};

    QQuickItem* find(const char* name) { return harness.find(QString::fromUtf8(name)); }

    void showList() {
        store.setScreen(Store::Screen::list);
        ASSERT_TRUE(waitFor([&] { return !store.isLoadingList() && find("bundleList"); }));
        ViewHarness::settle();
    }
    // Opens the context menu of a row and returns its protection item.
    QQuickItem* protectItem(const char* rowName) {
        harness.click(find(rowName), Qt::RightButton);
        return harness.find(QStringLiteral("protectItem"));
    }
};

TEST_F(ContentViewTest, HeaderSwitchSelectsTheScreen) {
    EXPECT_NE(find("emblem"), nullptr);
    EXPECT_EQ(find("listScreen"), nullptr);
    harness.click(find("segment:Список"));
    EXPECT_EQ(store.screen(), Store::Screen::list);
    ASSERT_TRUE(waitFor([&] { return find("listScreen") != nullptr; }));
    harness.click(find("segment:Перетащить"));
    EXPECT_EQ(store.screen(), Store::Screen::drop);
    ASSERT_TRUE(
        waitFor([&] { return find("emblem") != nullptr && find("listScreen") == nullptr; }));
}

TEST_F(ContentViewTest, ListShowsLoadingThenSectionsAndNothingFound) {
    DemoApp app(sandbox);
    store.setScreen(Store::Screen::list);
    ViewHarness::settle();
    if (store.isLoadingList()) {
        QQuickItem* loading = find("loadingIndicator");
        ASSERT_NE(loading, nullptr);
        EXPECT_EQ(find("bundleList"), nullptr);
    }
    showList();
    EXPECT_EQ(find("loadingIndicator"), nullptr);
    EXPECT_NE(find("bundleRow:Tiny Paint"), nullptr);

    store.setQuery(QStringLiteral("no such thing"));
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("emptyNote")), QStringLiteral("Ничего не найдено"));
    EXPECT_EQ(find("bundleList"), nullptr);

    store.setQuery(QStringLiteral("  "));
    ViewHarness::settle();
    EXPECT_EQ(find("emptyNote"), nullptr);
    EXPECT_NE(find("bundleRow:Tiny Paint"), nullptr);
}

TEST_F(ContentViewTest, ClickingARowOpensItsBundle) {
    DemoApp app(sandbox);
    showList();
    harness.click(find("bundleRow:Tiny Paint"));
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().displayName, QStringLiteral("Tiny Paint"));
}

TEST_F(ContentViewTest, ContextMenuProtectsAndUnprotects) {
    DemoApp app(sandbox);
    store.setProtectedIDs({});
    showList();
    EXPECT_EQ(find("lock"), nullptr);

    QQuickItem* item = protectItem("bundleRow:Tiny Paint");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ViewHarness::text(item), QStringLiteral("Защитить от удаления"));
    harness.click(item);
    EXPECT_TRUE(store.protectedIDs().contains(QStringLiteral("org.example.tinypaint")));
    EXPECT_NE(find("lock"), nullptr);

    item = protectItem("bundleRow:Tiny Paint");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ViewHarness::text(item), QStringLiteral("Снять защиту"));
    harness.click(item);
    EXPECT_FALSE(store.protectedIDs().contains(QStringLiteral("org.example.tinypaint")));
    EXPECT_EQ(find("lock"), nullptr);
}

TEST_F(ContentViewTest, ContextMenuOffersNoProtectionWithoutIdentifier) {
    sandbox.activate();
    sandbox.makeBundle(QStringLiteral("home/Applications/Nameless.app"),
                       {{QStringLiteral("CFBundleName"), QStringLiteral("Nameless")}});
    showList();
    harness.click(find("bundleRow:Nameless"), Qt::RightButton);
    ViewHarness::settle();
    QQuickItem* item = harness.findAny(QStringLiteral("protectItem"));
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isVisible());
}

TEST_F(ContentViewTest, ToastGoesAwayWhenItsTimerRunsOut) {
    store.setToast(QStringLiteral("Готово"));
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("toastText")), QStringLiteral("Готово"));
    EXPECT_EQ(find("undoButton"), nullptr); // nothing to undo

    QObject* timer = harness.findObject(QStringLiteral("toastTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->property("interval").toInt(), 6000);
    EXPECT_TRUE(timer->property("running").toBool());

    store.setToast(QStringLiteral("Другое"));
    ViewHarness::settle();
    EXPECT_TRUE(timer->property("running").toBool());
    EXPECT_EQ(ViewHarness::text(find("toastText")), QStringLiteral("Другое"));

    QMetaObject::invokeMethod(timer, "triggered");
    EXPECT_EQ(store.toast(), std::nullopt);
    EXPECT_FALSE(timer->property("running").toBool());
}

TEST_F(ContentViewTest, ToastUndoButtonRestoresTheLastRemoval) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    harness.click(find("removeButton"));
    ASSERT_TRUE(waitFor([&] { return store.session() == nullptr && store.toast(); }));
    ViewHarness::settle();
    QQuickItem* undo = find("undoButton");
    ASSERT_NE(undo, nullptr);
    EXPECT_EQ(ViewHarness::text(undo), QStringLiteral("Отменить"));

    harness.click(undo);
    ASSERT_TRUE(store.toast().has_value());
    EXPECT_TRUE(store.toast()->startsWith(QStringLiteral("Возвращено из Корзины: ")));
    EXPECT_FALSE(store.lastRemoval().has_value());
    EXPECT_EQ(find("undoButton"), nullptr);
    EXPECT_TRUE(fs::exists(app.path));
}

TEST_F(ContentViewTest, InformativeAlertOffersOnlyUnderstood) {
    store.open(QStringList{sandbox.writeFile(QStringLiteral("notes.txt"), "text")});
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("alertTitle")), QStringLiteral("Это не приложение"));
    EXPECT_EQ(ViewHarness::text(find("alertMessage")),
              QStringLiteral("«notes.txt» не похоже на приложение, плагин или виджет."));
    EXPECT_EQ(find("removeAnywayButton"), nullptr);
    EXPECT_EQ(find("cancelButton"), nullptr);
    harness.click(find("okButton"));
    EXPECT_FALSE(store.alert().has_value());
    EXPECT_EQ(find("alertTitle"), nullptr);
}

TEST_F(ContentViewTest, ProtectedAlertCancelsOrRemovesAnyway) {
    DemoApp app(sandbox);
    store.setProtectedIDs({QStringLiteral("org.example.tinypaint")});
    store.open(QStringList{app.path});
    ViewHarness::settle();
    EXPECT_EQ(ViewHarness::text(find("alertTitle")), QStringLiteral("Это приложение защищено"));
    EXPECT_EQ(find("okButton"), nullptr);
    harness.click(find("cancelButton"));
    EXPECT_FALSE(store.alert().has_value());
    EXPECT_EQ(store.session(), nullptr);

    store.open(QStringList{app.path});
    ViewHarness::settle();
    harness.click(find("removeAnywayButton"));
    EXPECT_FALSE(store.alert().has_value());
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().displayName, QStringLiteral("Tiny Paint"));
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
}

} // namespace
} // namespace moss::test
