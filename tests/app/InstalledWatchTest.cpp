// The installed list follows the disk: after every removal and undo,
// whatever their outcome, and when an applications folder changes.

#include "InstalledWatch.h"

#include "StoreSandbox.h"

namespace moss::test {
namespace {

class InstalledWatchTest : public StoreSandbox {
protected:
    bool listed(const QString& path) const {
        for (const CatalogSection& section : store.sections())
            for (const AppBundle& bundle : section.bundles)
                if (bundle.url == path)
                    return true;
        return false;
    }
    // Waits for the list to settle after exactly one reload.
    void expectOneReload() {
        EXPECT_TRUE(runUntil([&] { return loads == 1 && !store.isLoadingList(); }));
        QTest::qWait(InstalledWatch::settleMilliseconds * 2);
        EXPECT_EQ(loads, 1);
        loads = 0;
    }
    int loads = 0;
};

TEST_F(InstalledWatchTest, FolderChangesRemovalsAndUndoReloadTheListOnceEach) {
    store.loadList();
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));
    QObject::connect(&store, &Store::isLoadingListChanged, &store,
                     [this] { loads += store.isLoadingList(); });
    const InstalledWatch watch(store);
    // Shown on the drop screen: the list was loaded, so it follows too.
    ASSERT_EQ(store.screen(), Store::Screen::Drop);
    const QString baz =
        sandbox.makeBundle(u"home/Applications/Baz.app"_s, info(u"net.other.baz"_s, u"Baz"_s));
    ASSERT_TRUE(QDir(bar).removeRecursively());
    expectOneReload();
    EXPECT_TRUE(listed(baz));
    EXPECT_FALSE(listed(bar));

    // A removal that fails in part, and its undo.
    const QString vanishing =
        sandbox.writeFile(u"home/Library/Preferences/com.example.foo.extra.plist"_s, "<plist/>");
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(fs::moveNoReplace(vanishing, sandbox.path(u"gone.plist"_s)));
    session->setSelected({foo, vanishing});
    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return !session->isRemoving(); }));
    ASSERT_TRUE(store.alert().has_value());
    expectOneReload();
    EXPECT_FALSE(listed(foo));
    ASSERT_TRUE(runUntil([&] { return !session->isSearching(); }));
    store.undoLastRemoval();
    expectOneReload();
    EXPECT_TRUE(listed(foo));

    // A folder that appears later is watched from then on.
    ASSERT_TRUE(QDir(sandbox.path(u"home/Applications"_s)).removeRecursively());
    expectOneReload();
    const QString qux =
        sandbox.makeBundle(u"home/Applications/Qux.app"_s, info(u"net.other.qux"_s, u"Qux"_s));
    EXPECT_TRUE(runUntil([&] { return listed(qux) && !store.isLoadingList(); }));
}

} // namespace
} // namespace moss::test
