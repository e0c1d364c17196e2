// The uninstall sheet driven headless: subtitle, grouping, ticks, the count
// text, the remove button's rules, the close button and the keys.

#include "Scanner.h"
#include "ViewHarness.h"
#include "platform/ByteCount.h"

#include <QProcess>
#include <QQuickItem>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace moss::test {
namespace {

class UninstallViewTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    Store store;
    ViewHarness harness{store};

    QString visibleText(const char* name) {
        return ViewHarness::text(harness.find(QString::fromLatin1(name)));
    }
    bool removeEnabled() {
        QQuickItem* button = harness.find(QStringLiteral("removeButton"));
        return button && button->isEnabled();
    }
    // Clicks rows until exactly `count` files are ticked.
    void tickExactly(Session& session, int count) {
        for (const FoundFile& file : session.files())
            session.setChecked(file.url, false);
        for (int i = 0; i < count; ++i) {
            const QString name = fs::lastComponent(session.files()[i].url);
            harness.click(harness.find(QStringLiteral("fileRow:") + name));
        }
    }
};

TEST_F(UninstallViewTest, SubtitleJoinsVersionAndIdentifier) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(visibleText("sheetTitle"), QStringLiteral("Tiny Paint"));
    EXPECT_EQ(visibleText("subtitle"), QStringLiteral("версия 2.1 · org.example.tinypaint"));
}

TEST_F(UninstallViewTest, SubtitleWithoutVersionOrIdentifier) {
    QVariantMap info = DemoApp::defaultInfo();
    info.remove(QStringLiteral("CFBundleShortVersionString"));
    DemoApp app(sandbox, info);
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    EXPECT_EQ(visibleText("subtitle"), QStringLiteral("org.example.tinypaint"));

    const QString bare =
        sandbox.makeBundle(QStringLiteral("home/Applications/Bare.app"),
                           {{QStringLiteral("CFBundleName"), QStringLiteral("Bare")}});
    ASSERT_NE(harness.openAndSearch(store, bare), nullptr);
    EXPECT_EQ(ViewHarness::text(harness.findAny(QStringLiteral("subtitle"))), QString());
}

TEST_F(UninstallViewTest, SessionFromTrashSaysSoAndNeverWarnsOfRunning) {
    DemoApp app(sandbox);
    const auto bundle = AppBundle::load(app.path);
    ASSERT_TRUE(bundle);
    store.open(*bundle, true, false);
    Session* session = store.session();
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(waitFor([&] { return !session->isSearching(); }));
    ViewHarness::settle();
    EXPECT_EQ(visibleText("subtitle"),
              QStringLiteral("Приложение уже в Корзине — остались его файлы"));
    EXPECT_EQ(harness.find(QStringLiteral("runningWarning")), nullptr);
    EXPECT_EQ(harness.find(QStringLiteral("fileRow:Tiny Paint.app")), nullptr);
}

TEST_F(UninstallViewTest, HeadingsOnlyForCategoriesWithFiles) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    for (FileCategory category : allFileCategories()) {
        const bool hasFiles =
            std::any_of(session->files().begin(), session->files().end(),
                        [&](const FoundFile& f) { return f.category == category; });
        const QString heading = QStringLiteral("heading:") + rawValue(category);
        EXPECT_EQ(harness.find(heading) != nullptr, hasFiles) << qPrintable(heading);
    }
    EXPECT_NE(harness.find(QStringLiteral("heading:") + rawValue(FileCategory::bundle)), nullptr);
    EXPECT_EQ(harness.find(QStringLiteral("heading:") + rawValue(FileCategory::logs)), nullptr);
}

TEST_F(UninstallViewTest, NothingFoundShowsTheEmptyNote) {
    DemoApp app(sandbox);
    const auto bundle = AppBundle::load(app.path);
    QDir(sandbox.path(QStringLiteral("home/Library"))).removeRecursively();
    store.open(*bundle, true, false); // from the Trash: the bundle itself is not listed
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
    ViewHarness::settle();
    EXPECT_EQ(visibleText("emptyNote"), QStringLiteral("Лишних файлов не найдено"));
    EXPECT_EQ(harness.find(QStringLiteral("fileList")), nullptr);
}

TEST_F(UninstallViewTest, ClickingARowOrItsBoxOrSpaceOnTheCurrentRowFlipsTheTick) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    const QString url = fs::appending(
        sandbox.home(), QStringLiteral("Library/Preferences/org.example.tinypaint.plist"));
    const bool before = session->isChecked(url);
    QQuickItem* row = harness.find(QStringLiteral("fileRow:org.example.tinypaint.plist"));
    ASSERT_NE(row, nullptr);
    harness.click(row);
    EXPECT_NE(session->isChecked(url), before);
    harness.click(row->findChild<QQuickItem*>(QStringLiteral("checkBox")));
    EXPECT_EQ(session->isChecked(url), before);

    // The clicked row is the list's current row, which has the keyboard.
    ASSERT_EQ(harness.focused(), row);
    EXPECT_EQ(ViewHarness::accessibleRole(row), QAccessible::CheckBox);
    harness.key(Qt::Key_Space);
    EXPECT_NE(session->isChecked(url), before);
    harness.key(Qt::Key_Space);
    EXPECT_EQ(session->isChecked(url), before);
}

TEST_F(UninstallViewTest, TheSheetKeepsTheKeyboardAndSpaceNeverTicksARowOutOfSight) {
    DemoApp app(sandbox);
    for (int i = 0; i < 30; ++i)
        sandbox.writeFile(
            QStringLiteral("home/Library/Preferences/org.example.tinypaint.part%1.plist").arg(i),
            "<plist/>");
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    const auto focusedName = [&] { return ViewHarness::accessibleName(harness.focused()); };

    // The list has the keyboard first; Tab goes round the sheet alone.
    EXPECT_EQ(focusedName(), QStringLiteral("Tiny Paint.app"));
    const QStringList chain = {QStringLiteral("Показать в файловом менеджере"),
                               QStringLiteral("Удалить"), QStringLiteral("Закрыть"),
                               QStringLiteral("Tiny Paint.app")};
    for (const QString& name : chain) {
        harness.key(Qt::Key_Tab);
        EXPECT_EQ(focusedName(), name);
    }
    harness.key(Qt::Key_Backtab);
    EXPECT_EQ(focusedName(), QStringLiteral("Закрыть"));
    harness.key(Qt::Key_Tab);
    // Back from the row's button to its row.
    harness.key(Qt::Key_Tab);
    harness.key(Qt::Key_Backtab);
    EXPECT_EQ(focusedName(), QStringLiteral("Tiny Paint.app"));

    // Scrolled away from the current row, Space brings it back first.
    QQuickItem* list = harness.find(QStringLiteral("fileList"));
    ASSERT_NE(list, nullptr);
    list->setProperty("contentY", list->property("contentHeight").toReal() - list->height());
    ViewHarness::settle();
    QQuickItem* row = harness.focused();
    const auto rowShown = [&] {
        const QRectF shown = row->mapRectToItem(list, row->boundingRect());
        return shown.top() >= 0 && shown.bottom() <= list->height();
    };
    ASSERT_FALSE(rowShown());
    const bool before = session->isChecked(session->files().first().url);
    harness.key(Qt::Key_Space);
    EXPECT_TRUE(rowShown());
    EXPECT_NE(session->isChecked(session->files().first().url), before);
}

TEST_F(UninstallViewTest, CountTextFollowsTheTicks) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    ASSERT_GE(session->files().size(), 5);
    const std::pair<int, const char*> forms[] = {{2, "файла"}, {5, "файлов"}};
    for (const auto& [count, noun] : forms) {
        tickExactly(*session, count);
        const QString expected =
            QStringLiteral("Выбрано %1 %2 · %3")
                .arg(count)
                .arg(QString::fromUtf8(noun), formatByteCount(session->selectedSize()));
        EXPECT_EQ(visibleText("countText"), expected);
    }
}

TEST_F(UninstallViewTest, RemoveButtonIsDisabledWhileSearchingEmptyRunningOrRemoving) {
    DemoApp app(sandbox);
    store.open(QStringList{app.path});
    Session* session = store.session();
    ASSERT_NE(session, nullptr);
    ViewHarness::settle();
    if (session->isSearching()) {
        EXPECT_NE(harness.find(QStringLiteral("searchingIndicator")), nullptr);
        EXPECT_FALSE(removeEnabled());
    }
    ASSERT_TRUE(waitFor([&] { return !session->isSearching(); }));
    ViewHarness::settle();
    EXPECT_TRUE(removeEnabled());

    tickExactly(*session, 0);
    EXPECT_FALSE(removeEnabled());
    tickExactly(*session, 1);
    EXPECT_TRUE(removeEnabled());

    session->setRunning({RunningApplication{QStringLiteral("org.example.tinypaint"), app.path, 4242,
                                            QStringLiteral("Tiny Paint")}});
    ViewHarness::settle();
    EXPECT_FALSE(removeEnabled());
    EXPECT_NE(harness.find(QStringLiteral("runningWarning")), nullptr);
    EXPECT_NE(harness.find(QStringLiteral("quitButton")), nullptr);
    session->setRunning({});
    ViewHarness::settle();
    EXPECT_TRUE(removeEnabled());
    EXPECT_EQ(harness.find(QStringLiteral("runningWarning")), nullptr);

    session->setRemoving(true);
    ViewHarness::settle();
    EXPECT_FALSE(removeEnabled());
    EXPECT_NE(harness.find(QStringLiteral("removingIndicator")), nullptr);
    session->setRemoving(false);
}

TEST_F(UninstallViewTest, WhileSearchingTheSheetCountsNamesTheFolderAndEscapeStops) {
    DemoApp app(sandbox);
    const QString preferences = fs::appending(
        sandbox.home(), QStringLiteral("Library/Preferences/org.example.tinypaint.plist"));
    const QString caches = fs::appending(sandbox.home(), QStringLiteral("Library/Caches"));
    const auto stopReached = std::make_shared<std::atomic<bool>>(false);
    store.setSessionScan([=](const AppBundle& bundle, const QList<AppBundle>&,
                             const ScanObserver& observer, const std::stop_token& stop) {
        observer.admitted(FoundFile{bundle.url, FileCategory::bundle, 0, false, true, {}});
        observer.admitted(FoundFile{preferences, FileCategory::preferences, 0, false, true, {}});
        observer.searching(caches);
        std::mutex mutex;
        std::unique_lock lock(mutex);
        std::condition_variable_any().wait(lock, stop, [] { return false; });
        *stopReached = stop.stop_requested();
        return QList<FoundFile>();
    });
    store.open(QStringList{app.path});
    ASSERT_TRUE(waitFor([&] { return harness.find(QStringLiteral("fileRow:Tiny Paint.app")); }));
    ViewHarness::settle();
    EXPECT_NE(harness.find(QStringLiteral("searchingIndicator")), nullptr);
    EXPECT_EQ(visibleText("foundCount"), QStringLiteral("Найдено: 2"));
    EXPECT_EQ(visibleText("searchFolder"), QStringLiteral("~/Library/Caches"));
    QQuickItem* row = harness.find(QStringLiteral("fileRow:org.example.tinypaint.plist"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(ViewHarness::text(row->findChild<QQuickItem*>(QStringLiteral("size"))),
              QStringLiteral("…"));
    EXPECT_FALSE(removeEnabled());

    harness.key(Qt::Key_Escape);
    EXPECT_EQ(store.session(), nullptr);
    EXPECT_TRUE(waitFor([&] { return stopReached->load(); }));
}

TEST_F(UninstallViewTest, ARowSaysWhyItIsThereOnHoverAndOnKeyboardFocus) {
    DemoApp app(sandbox);
    sandbox.makeDir(QStringLiteral("home/Library/Application Support/Tiny Paint Notes"));
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    QQuickItem* preferences = harness.find(QStringLiteral("fileRow:org.example.tinypaint.plist"));
    ASSERT_NE(preferences, nullptr);
    QTest::mouseMove(&harness.view(),
                     preferences->mapToScene(QPointF(20, preferences->height() / 2)).toPoint());
    ASSERT_TRUE(waitFor([&] { return harness.find(QStringLiteral("reasonTip")) != nullptr; }));
    EXPECT_EQ(visibleText("reasonTip"),
              QStringLiteral("Совпадает с идентификатором org.example.tinypaint"));
    QTest::mouseMove(&harness.view(), QPoint(5, 300)); // the dim area beside the sheet
    ASSERT_TRUE(waitFor([&] { return harness.find(QStringLiteral("reasonTip")) == nullptr; }));

    // An unticked row also says why it is unticked.
    QQuickItem* notes = harness.find(QStringLiteral("fileRow:Tiny Paint Notes"));
    ASSERT_NE(notes, nullptr);
    notes->forceActiveFocus(Qt::TabFocusReason);
    harness.key(Qt::Key_Shift); // the keyboard is in use
    ASSERT_TRUE(waitFor([&] { return harness.find(QStringLiteral("reasonTip")) != nullptr; }));
    EXPECT_EQ(visibleText("reasonTip"),
              QStringLiteral("Совпадает с именем «Tiny Paint»\n"
                             "не отмечено: после имени идёт чужое слово"));
}

// The application's executable, started inside its bundle; with `stubborn`
// it ignores the request to quit.
std::unique_ptr<QProcess> runInside(const QString& bundle, bool stubborn) {
    const QString executable = bundle + QStringLiteral("/Contents/MacOS/Tiny Paint");
    QDir().mkpath(fs::parentPath(executable));
    QFile::copy(QStringLiteral("/bin/sleep"), executable);
    QFile::setPermissions(executable, QFile::ReadOwner | QFile::ExeOwner);
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"),
                    stubborn ? QStringLiteral("trap '' TERM; exec \"$0\" 60")
                             : QStringLiteral("exec \"$0\" 60"),
                    executable});
    process->waitForStarted();
    return process;
}

TEST_F(UninstallViewTest, QuitButtonEndsTheRunningInstanceOrOffersToForceIt) {
    for (const bool stubborn : {false, true}) {
        SCOPED_TRACE(stubborn ? "stubborn" : "polite");
        DemoApp app(sandbox);
        const std::unique_ptr<QProcess> instance = runInside(app.path, stubborn);
        Session* session = harness.openAndSearch(store, app.path);
        ASSERT_NE(session, nullptr);
        ASSERT_TRUE(waitFor([&] { return session->isRunning(); }));
        ViewHarness::settle();
        EXPECT_FALSE(removeEnabled());

        harness.click(harness.find(QStringLiteral("quitButton")));
        if (stubborn) {
            ASSERT_TRUE(waitFor([&] { return harness.find(QStringLiteral("forceQuitButton")); },
                                Session::quitGraceMilliseconds + 5000));
            EXPECT_EQ(instance->state(), QProcess::Running);
            EXPECT_EQ(visibleText("runningText"),
                      QStringLiteral("Приложение не закрывается — завершите его принудительно."));
            // Asked first, with the application's name; "Отмена" leaves it running.
            harness.click(harness.find(QStringLiteral("forceQuitButton")));
            EXPECT_EQ(visibleText("alertTitle"),
                      QStringLiteral("Завершить «Tiny Paint» принудительно?"));
            harness.click(harness.find(QStringLiteral("cancelButton")));
            EXPECT_EQ(harness.find(QStringLiteral("alertTitle")), nullptr);
            EXPECT_EQ(instance->state(), QProcess::Running);
            harness.click(harness.find(QStringLiteral("forceQuitButton")));
            harness.click(harness.find(QStringLiteral("confirmForceQuitButton")));
        }
        EXPECT_TRUE(waitFor([&] { return instance->state() == QProcess::NotRunning; }));
        EXPECT_EQ(instance->exitStatus(), QProcess::CrashExit); // ended by its signal
        ASSERT_TRUE(waitFor([&] { return removeEnabled(); }));
        EXPECT_EQ(harness.find(QStringLiteral("runningWarning")), nullptr);
        store.closeSession();
        QDir(app.path).removeRecursively();
    }
}

TEST_F(UninstallViewTest, CloseButtonScrimAndEscapeCloseExceptDuringRemoval) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);

    session->setRemoving(true);
    ViewHarness::settle();
    harness.click(harness.find(QStringLiteral("closeButton")));
    harness.clickAt(QPoint(5, 300)); // the dim area beside the sheet
    harness.key(Qt::Key_Escape);
    EXPECT_EQ(store.session(), session);
    session->setRemoving(false);
    ViewHarness::settle();

    harness.click(harness.find(QStringLiteral("closeButton")));
    EXPECT_EQ(store.session(), nullptr);

    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    harness.clickAt(QPoint(5, 300));
    EXPECT_EQ(store.session(), nullptr);

    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    harness.key(Qt::Key_Escape);
    EXPECT_EQ(store.session(), nullptr);
}

TEST_F(UninstallViewTest, ReturnRemovesOnlyWhenTheButtonIsEnabled) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    tickExactly(*session, 0);
    harness.key(Qt::Key_Return);
    EXPECT_EQ(store.session(), session);
    EXPECT_FALSE(session->isRemoving());
    EXPECT_EQ(store.toast(), std::nullopt);

    tickExactly(*session, 2);
    harness.key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return store.session() == nullptr; }));
    ASSERT_TRUE(store.toast().has_value());
    EXPECT_TRUE(store.toast()->startsWith(QStringLiteral("Tiny Paint удалено · освобождено ")));
}

} // namespace
} // namespace moss::test
