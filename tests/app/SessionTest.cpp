// The uninstall session: its search, ticks and the values the sheet shows.

#include "StoreSandbox.h"
#include "platform/ByteCount.h"

namespace moss::test {
namespace {

using SessionTest = StoreSandbox;

TEST_F(SessionTest, ANewSessionIsSearchingBeforeItsSearchStarts) {
    const Session session(*AppBundle::load(foo), false);
    EXPECT_TRUE(session.isSearching());
    EXPECT_FALSE(session.isRemoving());
    EXPECT_TRUE(session.files().isEmpty());
    EXPECT_TRUE(session.selected().isEmpty());
    EXPECT_TRUE(session.running().isEmpty());
    EXPECT_EQ(session.selectedSize(), 0);
}

TEST_F(SessionTest, SearchRunsOffTheMainThreadAndTicksTheDefaults) {
    store.open(QStringList{foo});
    Session* session = store.session();
    ASSERT_NE(session, nullptr);
    witness.watch(session);
    // search() returned at once: the scan has not published yet.
    EXPECT_TRUE(session->isSearching());
    EXPECT_TRUE(session->files().isEmpty());
    EXPECT_FALSE(session->property("canRemove").toBool());

    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    ASSERT_FALSE(session->files().isEmpty());
    EXPECT_EQ(session->files().first().category, FileCategory::bundle);
    EXPECT_EQ(session->files().first().url, foo);
    EXPECT_TRUE(urlsOf(session->files()).contains(fooPreferences));
    EXPECT_FALSE(urlsOf(session->files()).contains(bar));
    EXPECT_EQ(session->selected(), defaultTicks(session->files()));
    EXPECT_TRUE(session->running().isEmpty());

    // A repeated search discards manual ticks.
    session->setChecked(fooPreferences, !session->isChecked(fooPreferences));
    EXPECT_NE(session->selected(), defaultTicks(session->files()));
    session->search(store.installedApps());
    EXPECT_TRUE(session->isSearching());
    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    EXPECT_EQ(session->selected(), defaultTicks(session->files()));
    EXPECT_GT(witness.changes, 0);
}

TEST_F(SessionTest, ASessionFromTheTrashListsNoBundleAndNothingRunning) {
    Session* session = nullptr;
    store.open(*AppBundle::load(foo), true, false);
    session = store.session();
    ASSERT_NE(session, nullptr);
    witness.watch(session);
    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    EXPECT_TRUE(urlsOf(session->files()).contains(fooPreferences));
    for (const FoundFile& file : session->files())
        EXPECT_NE(file.category, FileCategory::bundle) << file.url.toStdString();
    EXPECT_TRUE(session->running().isEmpty());
    EXPECT_EQ(session->property("subtitle").toString(),
              u"Приложение уже в Корзине — остались его файлы"_s);
}

TEST_F(SessionTest, SelectionSizeCountsOnlyListedFilesAndCountTextAgrees) {
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    const QList<FoundFile>& files = session->files();
    session->setSelected({fooPreferences, u"/nowhere/gone.plist"_s});
    const auto preferences = std::find_if(
        files.begin(), files.end(), [&](const FoundFile& f) { return f.url == fooPreferences; });
    ASSERT_NE(preferences, files.end());
    EXPECT_EQ(session->selectedFiles(), QList<FoundFile>{*preferences});
    EXPECT_EQ(session->selectedSize(), preferences->size);
    EXPECT_EQ(session->property("countText").toString(),
              u"Выбрано 2 файла · "_s + formatByteCount(preferences->size));

    // The noun follows the count (the rule itself: TextRulesTest).
    session->setSelected({});
    EXPECT_EQ(session->property("countText").toString(),
              u"Выбрано 0 файлов · "_s + formatByteCount(0));
}

} // namespace
} // namespace moss::test
