// The installed list follows the disk when an applications folder changes.

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

TEST_F(InstalledWatchTest, ABurstOfChangesInAnApplicationsFolderReloadsTheListOnce) {
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
}

} // namespace
} // namespace moss::test
