// The main window's content driven headless: the header switch, the
// installed list's states and context menu, the toast and the alerts.

#include "ViewHarness.h"

#include <QScopeGuard>
#include <QSettings>
#include <functional>
#include <memory>

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
    // Opens the context menu of a row and returns its protection item.
    QQuickItem* protectItem(const char* rowName) {
        harness.click(find(rowName), Qt::RightButton);
        return harness.find(QStringLiteral("protectItem"));
    }
    // How screen readers name the focused control, and its role.
    std::pair<QString, QAccessible::Role> focusedControl() const {
        QQuickItem* item = harness.focused();
        return {ViewHarness::accessibleName(item), ViewHarness::accessibleRole(item)};
    }
    QString focusedName() const { return focusedControl().first; }
    // Presses Tab until the control named `name` has the focus.
    void tabTo(const QString& name) {
        for (int i = 0; i < 20 && focusedName() != name; ++i)
            harness.key(Qt::Key_Tab);
        ASSERT_EQ(focusedName(), name);
    }
    int visibleFocusRings() {
        int rings = 0;
        std::function<void(QQuickItem*)> count = [&](QQuickItem* item) {
            if (!item->isVisible())
                return;
            rings += item->objectName() == u"focusRing";
            for (QQuickItem* child : item->childItems())
                count(child);
        };
        count(harness.view().contentItem());
        return rings;
    }
};

TEST_F(ContentViewTest, HeaderSwitchSelectsTheScreen) {
    EXPECT_NE(find("emblem"), nullptr);
    EXPECT_EQ(find("listScreen"), nullptr);
    harness.click(find("segment:Список"));
    EXPECT_EQ(store.screen(), Store::Screen::List);
    ASSERT_TRUE(waitFor([&] { return find("listScreen") != nullptr; }));
    harness.click(find("segment:Перетащить"));
    EXPECT_EQ(store.screen(), Store::Screen::Drop);
    ASSERT_TRUE(
        waitFor([&] { return find("emblem") != nullptr && find("listScreen") == nullptr; }));
}

// The drop zone's state while a drag hovers over it.
bool dropZoneTargeted(ViewHarness& harness) {
    const QQuickItem* screen = harness.find(QStringLiteral("dropScreen"));
    const auto* zone = screen ? screen->property("item").value<QQuickItem*>() : nullptr;
    return zone && zone->property("targeted").toBool();
}

QMimeData* mimeWithUrls(const QList<QUrl>& urls) {
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

TEST_F(ContentViewTest, DropZoneHighlightsOnlyDragsOfFiles) {
    DemoApp app(sandbox);
    const QPoint centre(240, 330);
    const std::unique_ptr<QMimeData> files(mimeWithUrls({QUrl::fromLocalFile(app.path)}));
    harness.dragEnter(*files, centre);
    EXPECT_TRUE(dropZoneTargeted(harness));
    harness.dragLeave();
    EXPECT_FALSE(dropZoneTargeted(harness));

    QMimeData text;
    text.setText(QStringLiteral("Tiny Paint"));
    harness.dragEnter(text, centre);
    EXPECT_FALSE(dropZoneTargeted(harness));
    harness.dragLeave();

    const std::unique_ptr<QMimeData> link(
        mimeWithUrls({QUrl(QStringLiteral("https://example.org/Tiny%20Paint.app"))}));
    harness.dragEnter(*link, centre);
    EXPECT_FALSE(dropZoneTargeted(harness));
    harness.dragLeave();
    EXPECT_EQ(store.session(), nullptr);
}

TEST_F(ContentViewTest, DropsAreTakenAsACopyOrALinkNeverAsAMove) {
    DemoApp app(sandbox);
    const std::unique_ptr<QMimeData> mime(mimeWithUrls({QUrl::fromLocalFile(app.path)}));
    const QPoint centre(240, 330);
    const std::pair<Qt::DropActions, Qt::DropAction> offeredAndTaken[] = {
        {Qt::CopyAction | Qt::MoveAction, Qt::CopyAction},
        {Qt::MoveAction | Qt::LinkAction, Qt::LinkAction},
        {Qt::MoveAction, Qt::IgnoreAction},
    };
    for (const auto& [offered, taken] : offeredAndTaken) {
        EXPECT_EQ(harness.dragEnter(*mime, centre, offered), taken);
        EXPECT_EQ(harness.drop(*mime, centre, offered), taken);
        harness.dragLeave();
        Session* session = store.session();
        ASSERT_EQ(session != nullptr, taken != Qt::IgnoreAction) << int(offered);
        if (session) {
            ASSERT_TRUE(waitFor([&] { return !session->isSearching(); }));
            store.closeSession();
        }
    }
}

TEST_F(ContentViewTest, DroppingSeveralFilesOpensOnlyTheFirst) {
    DemoApp app(sandbox);
    const QString other = sandbox.makeBundle(
        QStringLiteral("home/Applications/Other.app"),
        {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.example.other")}});
    const QString notes = sandbox.writeFile(QStringLiteral("notes.txt"), "text");
    const std::unique_ptr<QMimeData> mime(mimeWithUrls(
        {QUrl::fromLocalFile(app.path), QUrl::fromLocalFile(other), QUrl::fromLocalFile(notes)}));
    const QPoint centre(240, 330);
    harness.dragEnter(*mime, centre);
    harness.drop(*mime, centre);
    EXPECT_FALSE(dropZoneTargeted(harness));
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().url, app.path);
    EXPECT_FALSE(store.alert().has_value());
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
}

TEST_F(ContentViewTest, DroppingOnTheListOpensTheBundle) {
    DemoApp app(sandbox);
    showList();
    const QPoint point(240, 400);
    const std::unique_ptr<QMimeData> link(
        mimeWithUrls({QUrl(QStringLiteral("https://example.org/Tiny%20Paint.app"))}));
    EXPECT_FALSE(harness.dragEnter(*link, point));
    harness.dragLeave();

    const std::unique_ptr<QMimeData> mime(mimeWithUrls({QUrl::fromLocalFile(app.path)}));
    EXPECT_TRUE(harness.dragEnter(*mime, point));
    harness.drop(*mime, point);
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().url, app.path);
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
}

TEST_F(ContentViewTest, ANewSessionReplacesTheSheet) {
    DemoApp app(sandbox);
    const QString other = sandbox.makeBundle(
        QStringLiteral("home/Applications/Other.app"),
        {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.example.other")}});
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    const QQuickItem* layer = find("sheet")->parentItem();
    const auto sheets = [layer] {
        QList<const QQuickItem*> shown;
        for (const QQuickItem* child : layer->childItems())
            if (child->objectName() == u"sheet")
                shown.append(child);
        return shown;
    };

    store.open(QStringList{other});
    Session* second = store.session();
    ASSERT_NE(second, nullptr);
    ViewHarness::settle();
    ASSERT_EQ(sheets().size(), 2); // the first one is still leaving
    ASSERT_TRUE(waitFor([&] { return sheets().size() == 1; }));
    EXPECT_EQ(sheets().constFirst()->property("session").value<QObject*>(), second);
    ASSERT_TRUE(waitFor([&] { return !second->isSearching(); }));
}

TEST_F(ContentViewTest, ListShowsLoadingThenSectionsAndNothingFound) {
    DemoApp app(sandbox);
    store.setScreen(Store::Screen::List);
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
    store.settings().setProtectedIDs({});
    showList();
    EXPECT_EQ(find("lock"), nullptr);

    QQuickItem* item = protectItem("bundleRow:Tiny Paint");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ViewHarness::text(item), QStringLiteral("Защитить от удаления"));
    harness.click(item);
    EXPECT_TRUE(store.settings().protectedIDs().contains(QStringLiteral("org.example.tinypaint")));
    EXPECT_NE(find("lock"), nullptr);

    item = protectItem("bundleRow:Tiny Paint");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ViewHarness::text(item), QStringLiteral("Снять защиту"));
    harness.click(item);
    EXPECT_FALSE(store.settings().protectedIDs().contains(QStringLiteral("org.example.tinypaint")));
    EXPECT_EQ(find("lock"), nullptr);
}

TEST_F(ContentViewTest, LockIgnoresCaseButTheMenuTestsTheExactIdentifier) {
    DemoApp app(sandbox);
    store.settings().setProtectedIDs({QStringLiteral("ORG.EXAMPLE.TINYPAINT")});
    const auto unprotect = qScopeGuard([&] { store.settings().setProtectedIDs({}); });
    showList();
    EXPECT_NE(find("lock"), nullptr);
    QQuickItem* item = protectItem("bundleRow:Tiny Paint");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ViewHarness::text(item), QStringLiteral("Защитить от удаления"));
}

TEST_F(ContentViewTest, SecondLineShowsThePresentOfVersionAndIdentifier) {
    sandbox.activate();
    sandbox.makeBundle(QStringLiteral("home/Applications/Versioned.app"),
                       {{QStringLiteral("CFBundleName"), QStringLiteral("Versioned")},
                        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("3.0")}});
    sandbox.makeBundle(QStringLiteral("home/Applications/Bare.app"),
                       {{QStringLiteral("CFBundleName"), QStringLiteral("Bare")}});
    DemoApp app(sandbox);
    showList();
    const auto detail = [&](const char* row) {
        QQuickItem* item = find(row);
        return item ? ViewHarness::text(item->findChild<QQuickItem*>(QStringLiteral("detail")))
                    : QStringLiteral("(no row)");
    };
    EXPECT_EQ(detail("bundleRow:Versioned"), QStringLiteral("3.0"));
    EXPECT_EQ(detail("bundleRow:Bare"), QString());
    EXPECT_EQ(detail("bundleRow:Tiny Paint"), QStringLiteral("2.1 · org.example.tinypaint"));
}

TEST_F(ContentViewTest, EachKindSwitchLoadsOnceAndReturningDoesNotReload) {
    DemoApp app(sandbox);
    showList();
    int loads = 0;
    const QObject counting;
    QObject::connect(&store, &Store::isLoadingListChanged, &counting,
                     [&] { loads += store.isLoadingList(); });
    const auto switchTo = [&](const char* option) {
        harness.click(find(option));
        ASSERT_TRUE(waitFor([&] { return !store.isLoadingList(); }));
        ViewHarness::settle();
    };

    switchTo("segment:Плагины");
    EXPECT_EQ(store.kind(), BundleKind::Plugin);
    EXPECT_EQ(loads, 1);
    switchTo("segment:Плагины");
    EXPECT_EQ(loads, 1);
    switchTo("segment:Приложения");
    EXPECT_EQ(store.kind(), BundleKind::Application);
    EXPECT_EQ(loads, 2);

    harness.click(find("bundleRow:Tiny Paint"));
    ASSERT_NE(store.session(), nullptr);
    store.closeSession();
    store.setScreen(Store::Screen::Drop);
    ASSERT_TRUE(waitFor([&] { return find("listScreen") == nullptr; }));
    store.setScreen(Store::Screen::List);
    ASSERT_TRUE(waitFor([&] { return find("bundleRow:Tiny Paint") != nullptr; }));
    EXPECT_EQ(loads, 2);
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

TEST_F(ContentViewTest, InformativeAlertOffersOnlyUnderstoodAndEscapeDismissesIt) {
    const QString notes = sandbox.writeFile(QStringLiteral("notes.txt"), "text");
    for (const bool byKeyboard : {false, true}) {
        store.open(QStringList{notes});
        ViewHarness::settle();
        EXPECT_EQ(ViewHarness::text(find("alertTitle")), QStringLiteral("Это не приложение"));
        EXPECT_EQ(ViewHarness::text(find("alertMessage")),
                  QStringLiteral("«notes.txt» не похоже на приложение, плагин или виджет."));
        EXPECT_EQ(find("removeAnywayButton"), nullptr);
        EXPECT_EQ(find("cancelButton"), nullptr);
        if (byKeyboard)
            harness.key(Qt::Key_Escape);
        else
            harness.click(find("okButton"));
        EXPECT_FALSE(store.alert().has_value());
        EXPECT_EQ(find("alertTitle"), nullptr);
    }
}

TEST_F(ContentViewTest, ProtectedAlertCancelsOrRemovesAnyway) {
    DemoApp app(sandbox);
    store.settings().setProtectedIDs({QStringLiteral("org.example.tinypaint")});
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

TEST_F(ContentViewTest, TabGoesRoundEveryControlNamedForScreenReadersWithARing) {
    DemoApp app(sandbox);
    showList();
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
    };
    for (const Stop& stop : chain) {
        harness.key(Qt::Key_Tab);
        EXPECT_EQ(focusedControl(), stop);
        EXPECT_EQ(visibleFocusRings(), 1) << qPrintable(stop.first);
    }
    harness.key(Qt::Key_Tab);
    EXPECT_EQ(focusedControl(), chain.first());
    harness.key(Qt::Key_Backtab);
    EXPECT_EQ(focusedControl(), chain.last());

    // A click puts the ring away; the keyboard brings it back.
    harness.clickAt(QPoint(240, 600));
    EXPECT_EQ(visibleFocusRings(), 0);
    harness.key(Qt::Key_Backtab);
    EXPECT_EQ(visibleFocusRings(), 1);
}

TEST_F(ContentViewTest, TheKeyboardReachesTheListMovesInItAndOpensRowsAndMenus) {
    DemoApp app(sandbox);
    sandbox.makeBundle(QStringLiteral("home/Applications/Zeta.app"),
                       {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.example.zeta")},
                        {QStringLiteral("CFBundleName"), QStringLiteral("Zeta")}});
    // From the drop screen, through the header switch.
    tabTo(QStringLiteral("Перетащить"));
    harness.key(Qt::Key_Right);
    EXPECT_EQ(store.screen(), Store::Screen::List);
    EXPECT_EQ(focusedName(), QStringLiteral("Список"));
    ASSERT_TRUE(waitFor([&] { return !store.isLoadingList() && find("bundleList"); }));
    tabTo(QStringLiteral("Tiny Paint"));

    const std::pair<Qt::Key, const char*> moves[] = {
        {Qt::Key_Down, "Zeta"}, {Qt::Key_Down, "Zeta"}, {Qt::Key_Up, "Tiny Paint"}};
    for (const auto& [key, row] : moves) {
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
    QQuickItem* reveal = find("revealBundleItem");
    ASSERT_NE(reveal, nullptr);
    EXPECT_EQ(ViewHarness::text(reveal), QStringLiteral("Показать в файловом менеджере"));
    EXPECT_EQ(focusedControl(), std::pair(ViewHarness::text(reveal), QAccessible::MenuItem));
    harness.key(Qt::Key_Escape);
    EXPECT_EQ(find("revealBundleItem"), nullptr);
    EXPECT_EQ(focusedName(), QStringLiteral("Tiny Paint"));
}

} // namespace
} // namespace moss::test
