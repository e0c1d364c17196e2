#include "RozudOdizuv.h"

#include "Sandbox.h"
#include "Store.h"
#include "Wait.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFuture>
#include <QSettings>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using test::waitFor;

int inotifyDescriptorCount() {
    int count = 0;
    for (const QString& fd : fs::listDirectory(u"/proc/self/fd"_s).value_or(QStringList{}))
        count +=
            fs::symlinkTarget(u"/proc/self/fd/"_s + fd).value_or(QString{}).contains(u"inotify"_s);
    return count;
}

class RozudOdizuvTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        sandbox.makeDir(u"home/.local/share"_s);
        watcher.setInstalledApps([] { return QtFuture::makeReadyFuture(QList<AppBundle>{}); });
        // The related-files search: the bundle, and a leftover if listed.
        watcher.setRelatedFiles([this](const AppBundle& bundle, const QList<AppBundle>&) {
            QList<FoundFile> files{{bundle.url, FileCategory::bundle}};
            if (withLeftovers.contains(bundle.bundleIdentifier.value_or(QString())))
                files.append({sandbox.home() + u"/Library/Caches/x"_s, FileCategory::caches});
            return files;
        });
        watcher.setOffer(
            [this](const AppBundle& bundle) { offered.append(fs::lastComponent(bundle.url)); });
    }

    void TearDown() override { switchOn(false); }

    void switchOn(bool on = true) {
        QSettings().setValue(u"rozudOdizuv"_s, on);
        watcher.applySetting();
    }

    // An application bundle in ~/Applications, with or without leftovers.
    QString makeApp(const QString& name, bool leftovers = true) {
        const QString identifier = u"com.vendor."_s + name;
        if (leftovers)
            withLeftovers.insert(identifier);
        return sandbox.makeBundle(
            u"home/Applications/"_s + name,
            {{u"CFBundleIdentifier"_s, identifier}, {u"CFBundlePackageType"_s, u"APPL"_s}});
    }

    static void trash(const QString& path) { ASSERT_TRUE(QFile::moveToTrash(path)); }

    // Trashes a marker application with leftovers and waits until it is
    // offered: everything trashed before it has been handled by then.
    QString settle() {
        static int counter = 0;
        const QString name = u"zz-marker-%1.app"_s.arg(++counter);
        trash(makeApp(name));
        EXPECT_TRUE(waitFor([&] { return offered.contains(name); }));
        offered.removeAll(name);
        return name;
    }

    test::Sandbox sandbox;
    Store store;
    RozudOdizuv watcher{store};
    QSet<QString> withLeftovers;
    QStringList offered;
};

// Offered, in name order whatever the case of the extension: applications
// trashed while on, with leftovers, directly in the Trash, not trashed by
// Mossbin itself.
TEST_F(RozudOdizuvTest, OffersWhatTheUserTrashedAndIgnoresTheRest) {
    trash(makeApp(u"Old.app"_s));
    switchOn();
    EXPECT_EQ(watcher.known(), QSet<QString>{u"Old.app"_s});
    // No event is handled between the two moves: one change brings both.
    trash(makeApp(u"Beta.app"_s));
    trash(makeApp(u"Alpha.APP"_s));
    ASSERT_TRUE(waitFor([&] { return offered.size() == 2; }));
    EXPECT_EQ(offered, (QStringList{u"Alpha.APP"_s, u"Beta.app"_s}));

    trash(makeApp(u"Clean.APP"_s, false));
    trash(makeApp(u"Tool.prefpane"_s));
    sandbox.makeDir(u"home/Documents/Folder/Inner.app"_s);
    trash(sandbox.path(u"home/Documents/Folder"_s));
    const QString marker = settle();
    EXPECT_EQ(offered.size(), 2) << offered.join(u',').toStdString();
    EXPECT_EQ(watcher.known(),
              (QSet<QString>{u"Old.app"_s, u"Alpha.APP"_s, u"Beta.app"_s, u"Clean.APP"_s, marker}));

    // What Mossbin trashed is not offered; put back by undo and thrown away
    // by the user, it is.
    const QString app = makeApp(u"Foo.app"_s);
    store.open(QStringList{app});
    ASSERT_TRUE(waitFor([&] { return !store.session()->isSearching(); }));
    store.session()->setSelected({app});
    store.remove(store.session());
    ASSERT_TRUE(waitFor([&] { return store.canUndo(); }));
    settle();
    EXPECT_EQ(offered.size(), 2);
    EXPECT_TRUE(watcher.ownItems().contains(u"Foo.app"_s));
    store.undoLastRemoval();
    ASSERT_TRUE(fs::exists(app));
    settle();
    EXPECT_FALSE(watcher.ownItems().contains(u"Foo.app"_s));
    trash(app);
    ASSERT_TRUE(waitFor([&] { return offered.size() == 3; }));
    EXPECT_EQ(offered.last(), u"Foo.app"_s);
}

// On: a missing Trash is made and watched once, however often switched on,
// and the login item is written: it starts the running executable, quoted for
// the Exec key and escaped once more as a string value. Off: both go.
TEST_F(RozudOdizuvTest, SwitchingOnAndOffWithTheLoginItem) {
    const int before = inotifyDescriptorCount();
    EXPECT_FALSE(watcher.hasTrashAccess()); // no Trash yet
    switchOn();
    switchOn();
    EXPECT_TRUE(watcher.hasTrashAccess());
    EXPECT_EQ(inotifyDescriptorCount(), before + 1);
    const QString item = QString::fromUtf8(fs::readFile(RozudOdizuv::loginItemPath()).value_or(""));
    EXPECT_TRUE(item.startsWith(u"[Desktop Entry]\n"_s));
    EXPECT_TRUE(item.contains(u"\nExec=\"%1\"\n"_s.arg(QCoreApplication::applicationFilePath())));
    EXPECT_EQ(RozudOdizuv::quotedExecArgument(u"/a b/\"`$\\%f"_s), u"\"/a b/\\\"\\`\\$\\\\%%f\""_s);
    EXPECT_TRUE(
        RozudOdizuv::loginItemEntry(u"/x\\y\nz"_s).contains(u"\nExec=\"/x\\\\\\\\y\\nz\"\n"_s));

    switchOn(false);
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_EQ(inotifyDescriptorCount(), before);
    EXPECT_FALSE(fs::exists(RozudOdizuv::loginItemPath()));
}

} // namespace
} // namespace moss
