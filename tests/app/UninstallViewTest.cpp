// The uninstall sheet driven headless: subtitle, grouping, ticks, the count
// text, the remove button's rules, the running application, the search, the
// reasons on rows, closing and the keys.

#include "Scanner.h"
#include "ViewHarness.h"
#include "platform/ByteCount.h"

#include <QProcess>
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

    QQuickItem* find(const char* name) { return harness.find(QString::fromUtf8(name)); }
    QString visibleText(const char* name) { return ViewHarness::text(find(name)); }
    bool removeEnabled() { return find("removeButton") && find("removeButton")->isEnabled(); }
    QString focusedName() const { return ViewHarness::accessible(harness.focused()).first; }
    // Clicks rows until exactly `count` files are ticked.
    void tickExactly(Session& session, int count) {
        for (const FoundFile& file : session.files())
            session.setChecked(file.url, false);
        for (int i = 0; i < count; ++i)
            harness.click(harness.find(u"fileRow:"_s + fs::lastComponent(session.files()[i].url)));
    }
};

TEST_F(UninstallViewTest, OpenShowsTheSubtitleAndHeadingsClosesExceptWhileRemovingAndFromTheTrash) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(visibleText("sheetTitle"), u"Tiny Paint"_s);
    EXPECT_EQ(visibleText("subtitle"), u"версия 2.1 · org.example.tinypaint"_s);
    EXPECT_NE(harness.find(u"heading:"_s + rawValue(FileCategory::bundle)), nullptr);
    EXPECT_EQ(harness.find(u"heading:"_s + rawValue(FileCategory::logs)), nullptr);

    session->setRemoving(true);
    ViewHarness::settle();
    EXPECT_NE(find("removingIndicator"), nullptr);
    EXPECT_FALSE(removeEnabled());
    harness.click(find("closeButton"));
    harness.clickAt(QPoint(5, 300)); // the dim area beside the sheet
    harness.key(Qt::Key_Escape);
    EXPECT_EQ(store.session(), session);
    session->setRemoving(false);
    ViewHarness::settle();
    harness.click(find("closeButton"));
    EXPECT_EQ(store.session(), nullptr);
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    harness.clickAt(QPoint(5, 300));
    EXPECT_EQ(store.session(), nullptr);
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    harness.key(Qt::Key_Escape);
    EXPECT_EQ(store.session(), nullptr);

    ASSERT_TRUE(waitFor([&] { return !find("sheet"); }));
    QDir(sandbox.path(u"home/Library"_s)).removeRecursively();
    store.open(*AppBundle::load(app.path), SessionSubject::inTrash, false);
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
    ViewHarness::settle();
    EXPECT_EQ(visibleText("subtitle"), u"Приложение уже в Корзине — остались его файлы"_s);
    EXPECT_EQ(visibleText("emptyNote"), u"Лишних файлов не найдено"_s);
}

TEST_F(UninstallViewTest, TheSheetKeepsTheKeyboardTicksFlipTheCountFollowsAndRemoveNeedsATick) {
    DemoApp app(sandbox);
    Session* session = harness.openAndSearch(store, app.path);
    ASSERT_NE(session, nullptr);
    // The list has the keyboard first; Tab goes round the sheet alone.
    for (const char* name : {"Tiny Paint.app", "Показать в файловом менеджере", "Удалить",
                             "Закрыть", "Tiny Paint.app"}) {
        EXPECT_EQ(focusedName(), QString::fromUtf8(name));
        harness.key(Qt::Key_Tab);
    }
    harness.key(Qt::Key_Backtab); // back from the row's button to its row
    EXPECT_EQ(focusedName(), u"Tiny Paint.app"_s);

    // A click on a row or its box, or Space on the current row, flips it.
    const QString url =
        fs::appending(sandbox.home(), u"Library/Preferences/org.example.tinypaint.plist"_s);
    const bool before = session->isChecked(url);
    QQuickItem* row = find("fileRow:org.example.tinypaint.plist");
    ASSERT_NE(row, nullptr);
    harness.click(row);
    EXPECT_NE(session->isChecked(url), before);
    harness.click(row->findChild<QQuickItem*>(u"checkBox"_s));
    EXPECT_EQ(session->isChecked(url), before);
    // The clicked row is the list's current row, which has the keyboard.
    ASSERT_EQ(harness.focused(), row);
    EXPECT_EQ(ViewHarness::accessible(row).second, QAccessible::CheckBox);
    harness.key(Qt::Key_Space);
    EXPECT_NE(session->isChecked(url), before);

    // Remove needs a tick; Return is the remove button.
    tickExactly(*session, 0);
    EXPECT_FALSE(removeEnabled());
    harness.key(Qt::Key_Return);
    EXPECT_FALSE(session->isRemoving());
    ASSERT_GE(session->files().size(), 5);
    tickExactly(*session, 2);
    EXPECT_EQ(visibleText("countText"),
              u"Выбрано 2 файла · "_s + formatByteCount(session->selectedSize()));
    harness.key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return store.session() == nullptr; }));
    ASSERT_TRUE(store.toast().has_value());
    EXPECT_TRUE(store.toast()->startsWith(u"Tiny Paint удалено · освобождено "_s));
}

TEST_F(UninstallViewTest, WhileSearchingTheSheetCountsNamesTheFolderAndEscapeStops) {
    DemoApp app(sandbox);
    const QString preferences =
        fs::appending(sandbox.home(), u"Library/Preferences/org.example.tinypaint.plist"_s);
    const QString caches = fs::appending(sandbox.home(), u"Library/Caches"_s);
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
    ASSERT_TRUE(waitFor([&] { return find("fileRow:Tiny Paint.app"); }));
    ViewHarness::settle();
    EXPECT_NE(find("searchingIndicator"), nullptr);
    EXPECT_EQ(visibleText("foundCount"), u"Найдено: 2"_s);
    EXPECT_EQ(visibleText("searchFolder"), u"~/Library/Caches"_s);
    QQuickItem* row = find("fileRow:org.example.tinypaint.plist");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(ViewHarness::text(row->findChild<QQuickItem*>(u"size"_s)), u"…"_s);
    EXPECT_FALSE(removeEnabled());

    harness.key(Qt::Key_Escape);
    EXPECT_EQ(store.session(), nullptr);
    EXPECT_TRUE(waitFor([&] { return stopReached->load(); }));
}

TEST_F(UninstallViewTest, AnUntickedRowSaysWhyItIsThereAndWhyUnticked) {
    DemoApp app(sandbox);
    sandbox.makeDir(u"home/Library/Application Support/Tiny Paint Notes"_s);
    ASSERT_NE(harness.openAndSearch(store, app.path), nullptr);
    QQuickItem* notes = find("fileRow:Tiny Paint Notes");
    ASSERT_NE(notes, nullptr);
    notes->forceActiveFocus(Qt::TabFocusReason);
    harness.key(Qt::Key_Shift); // the keyboard is in use
    ASSERT_TRUE(waitFor([&] { return find("reasonTip") != nullptr; }));
    EXPECT_EQ(visibleText("reasonTip"), u"Совпадает с именем «Tiny Paint»\n"
                                        "не отмечено: после имени идёт чужое слово"_s);
}

TEST_F(UninstallViewTest, QuitButtonEndsTheRunningInstanceOrOffersToForceIt) {
    for (const bool stubborn : {false, true}) {
        SCOPED_TRACE(stubborn ? "stubborn" : "polite");
        // The application's executable, started inside its bundle; a
        // stubborn one ignores the request to quit. Its own identifier: other
        // tests' Tiny Paint must not seem to be running.
        sandbox.activate();
        const QString path =
            sandbox.makeBundle(u"home/Applications/Tiny Paint.app"_s,
                               {{u"CFBundleIdentifier"_s, u"org.example.quitting"_s},
                                {u"CFBundleName"_s, u"Tiny Paint"_s}});
        const QString executable = path + u"/Contents/MacOS/Tiny Paint"_s;
        QDir().mkpath(fs::parentPath(executable));
        QFile::copy(u"/bin/sleep"_s, executable);
        QProcess instance;
        instance.start(u"/bin/sh"_s, {u"-c"_s,
                                      QString::fromLatin1(stubborn ? "trap '' TERM; exec \"$0\" 60"
                                                                   : "exec \"$0\" 60"),
                                      executable});
        ASSERT_TRUE(instance.waitForStarted());
        Session* session = harness.openAndSearch(store, path);
        ASSERT_NE(session, nullptr);
        ASSERT_TRUE(waitFor([&] { return session->isRunning(); }));
        ViewHarness::settle();
        EXPECT_FALSE(removeEnabled());

        harness.click(find("quitButton"));
        if (stubborn) {
            ASSERT_TRUE(waitFor([&] { return find("forceQuitButton"); },
                                Session::quitGraceMilliseconds + 5000));
            EXPECT_EQ(visibleText("runningText"),
                      u"Приложение не закрывается — завершите его принудительно."_s);
            // Asked first, with the application's name; "Отмена" leaves it running.
            harness.click(find("forceQuitButton"));
            EXPECT_EQ(visibleText("alertTitle"), u"Завершить «Tiny Paint» принудительно?"_s);
            harness.click(find("cancelButton"));
            EXPECT_EQ(instance.state(), QProcess::Running);
            harness.click(find("forceQuitButton"));
            harness.click(find("confirmForceQuitButton"));
        }
        EXPECT_TRUE(waitFor([&] { return instance.state() == QProcess::NotRunning; }));
        EXPECT_EQ(instance.exitStatus(), QProcess::CrashExit); // ended by its signal
        ASSERT_TRUE(waitFor([&] { return removeEnabled(); }));
        store.closeSession();
        QDir(path).removeRecursively();
    }
}

} // namespace
} // namespace moss::test
