// The uninstall session: its search, ticks and the values the sheet shows.

#include "StoreSandbox.h"
#include "platform/ByteCount.h"

#include <thread>
#include <vector>

namespace moss::test {
namespace {

using SessionTest = StoreSandbox;

TEST_F(SessionTest, OnlyListedTicksCountAndASearchAgainResetsThem) {
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    // Only listed files count; the count text follows the ticks.
    session->setSelected({fooPreferences, u"/nowhere/gone.plist"_s});
    ASSERT_EQ(session->selectedFiles().size(), 1);
    const qint64 size = session->selectedFiles().first().size;
    EXPECT_EQ(session->selectedSize(), size);
    EXPECT_EQ(session->property("countText").toString(),
              u"Выбрано 2 файла · "_s + formatByteCount(size));

    // A repeated search discards manual ticks.
    session->search(store.installedApps());
    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    EXPECT_EQ(session->selected(), defaultTicks(session->files()));
}

// A scan that tells what it finds, then waits until it is stopped and returns
// what it found, as a stopped scanner does.
TEST_F(SessionTest, FilesAppearWhileTheSearchRunsAndAStopReachesIt) {
    const FoundFile preferences{fooPreferences, FileCategory::preferences, 0, false, false, {}};
    const FoundFile caches{fooCaches, FileCategory::caches, 0, false, true, {}};
    Session session(
        *AppBundle::load(foo), SessionSubject::installed, nullptr,
        [&](const AppBundle& scanned, const QList<AppBundle>&, const ScanObserver& observer,
            const std::stop_token& stop) {
            const FoundFile item{scanned.url, FileCategory::bundle, 0, false, true, {}};
            for (const FoundFile& file : {item, caches, preferences})
                observer.admitted(file);
            observer.searching(fooCaches);
            observer.measured(fooCaches, 8192);
            while (!stop.stop_requested()) // until the stop reaches it
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return QList<FoundFile>{
                item, preferences, {fooCaches, FileCategory::caches, 8192, false, true, {}}};
        });
    witness.watch(&session);
    session.search(QtFuture::makeReadyFuture(QList<AppBundle>()));
    ASSERT_TRUE(runUntil([&] { return session.files().size() == 3; }));
    EXPECT_TRUE(session.isSearching());
    EXPECT_EQ(urlsOf(session.files()), (QStringList{foo, fooPreferences, fooCaches}));
    EXPECT_EQ(session.selected(), (QSet<QString>{foo, fooCaches}));
    EXPECT_TRUE(session.isSizePending(fooPreferences));
    EXPECT_EQ(session.searchFolder(), u"~/Library/Caches/com.example.foo"_s);
    EXPECT_FALSE(session.property("canRemove").toBool());

    // A stopped search removes nothing, even ticked.
    session.stopSearch();
    ASSERT_TRUE(runUntil([&] { return !session.isSearching(); }));
    EXPECT_TRUE(session.isStopped());
    EXPECT_TRUE(session.selected().isEmpty());
    session.setSelected({fooCaches});
    EXPECT_TRUE(session.selectedFiles().isEmpty());
    store.remove(&session);
    EXPECT_FALSE(session.isRemoving());
}

// What a search tells from several threads reaches the main thread in
// batches, each item once and in its thread's order; a closed feed hands on
// nothing more.
TEST_F(SessionTest, AFeedHandsOnEverythingToldExactlyOnceInBatches) {
    QObject context;
    QStringList received;
    QHash<QString, qint64> measured;
    int batches = 0;
    const auto collect = [&](SearchBatch batch) {
        batches += QThread::currentThread() == context.thread() ? 1 : 100'000;
        for (const FoundFile& file : batch.admitted)
            received.append(file.url);
        measured.insert(batch.measured);
    };
    const auto feed = SearchFeed::create(&context, collect);
    constexpr int threads = 4, perThread = 500;
    const auto url = [](int thread, int i) {
        return u"/t%1/%2"_s.arg(thread).arg(i, 3, 10, QChar(u'0'));
    };
    std::vector<std::jthread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([observer = feed->observer(), t, url] {
            for (int i = 0; i < perThread; ++i) {
                observer.admitted(FoundFile{url(t, i), FileCategory::caches, 0, false, true, {}});
                observer.measured(url(t, i), i);
            }
        });
    ASSERT_TRUE(runUntil([&] { return received.size() == threads * perThread; }));
    workers.clear();
    collect(feed->take());
    EXPECT_LT(batches, threads * perThread); // batched, and all on the main thread
    for (int t = 0; t < threads; ++t) {
        const QStringList told = received.filter(u"/t%1/"_s.arg(t));
        EXPECT_EQ(told.size(), perThread);
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end())) << t;
    }
    EXPECT_EQ(measured.size(), threads * perThread);
    EXPECT_EQ(measured.value(url(0, 7)), 7);

    feed->close();
    feed->observer().admitted(FoundFile{u"/late"_s, FileCategory::caches, 0, false, true, {}});
    const int before = batches;
    QCoreApplication::processEvents();
    EXPECT_TRUE(feed->take().isEmpty());
    EXPECT_EQ(batches, before);
}

} // namespace
} // namespace moss::test
