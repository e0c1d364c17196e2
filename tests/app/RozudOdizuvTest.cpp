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

using test::Sandbox;

using test::waitFor;

bool isInotifyDescriptor(int fd) {
    const QString link = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
    return fd >= 0 && link.contains(QStringLiteral("inotify"));
}

int inotifyDescriptorCount() {
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        count += isInotifyDescriptor(name.toInt()) ? 1 : 0;
    return count;
}

class RozudOdizuvTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        sandbox.makeDir(QStringLiteral("home/.local/share"));
        QSettings().clear();
        watcher.setInstalledApps([] { return QtFuture::makeReadyFuture(QList<AppBundle>{}); });
        // Stands in for the related-files search: the bundle itself, and one
        // leftover for the identifiers listed in withLeftovers.
        watcher.setRelatedFiles([this](const AppBundle& bundle, const QList<AppBundle>&) {
            QList<FoundFile> files{{bundle.url, FileCategory::bundle}};
            if (withLeftovers.contains(bundle.bundleIdentifier.value_or(QString())))
                files.append(
                    {sandbox.home() + QStringLiteral("/Library/Caches/x"), FileCategory::caches});
            return files;
        });
        watcher.setOffer(
            [this](const AppBundle& bundle) { offered.append(fs::lastComponent(bundle.url)); });
    }

    void TearDown() override {
        QSettings().clear();
        watcher.applySetting();
    }

    void switchOn(bool on = true) {
        QSettings().setValue(QStringLiteral("rozudOdizuv"), on);
        watcher.applySetting();
    }

    // An application bundle in ~/Applications, not yet trashed.
    QString makeApp(const QString& name, const QString& identifier, bool leftovers) {
        if (leftovers)
            withLeftovers.insert(identifier);
        return sandbox.makeBundle(
            QStringLiteral("home/Applications/") + name,
            {{QStringLiteral("CFBundleIdentifier"), identifier},
             {QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL")}});
    }

    static void trash(const QString& path) {
        ASSERT_TRUE(QFile::moveToTrash(path)) << path.toStdString();
    }

    QString trashed(const QString& name) const { return RozudOdizuv::trashFolder() + u'/' + name; }

    void emptyTrash() {
        const QString trashRoot = fs::parentPath(RozudOdizuv::trashFolder());
        for (const QString& sub : {QStringLiteral("files"), QStringLiteral("info")}) {
            QDir dir(trashRoot + u'/' + sub);
            for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                      QDir::Hidden | QDir::System)) {
                const QString path = dir.filePath(entry);
                if (fs::isRealDirectory(path))
                    QDir(path).removeRecursively();
                else
                    QFile::remove(path);
            }
        }
    }

    // Trashes a marker application with leftovers and waits until it is
    // offered: everything trashed before it has been handled by then.
    void settle() {
        static int counter = 0;
        const QString name = QStringLiteral("zz-marker-%1.app").arg(++counter);
        trash(makeApp(name, QStringLiteral("org.marker.") + QString::number(counter), true));
        ASSERT_TRUE(waitFor([&] { return offered.contains(name); }));
        offered.removeAll(name);
    }

    Sandbox sandbox;
    Store store;
    RozudOdizuv watcher{store};
    QSet<QString> withLeftovers;
    QStringList offered;
};

TEST_F(RozudOdizuvTest, TrashFolderFollowsTheDataHome) {
    EXPECT_EQ(RozudOdizuv::trashFolder(),
              sandbox.home() + QStringLiteral("/.local/share/Trash/files"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(RozudOdizuv::trashFolder(),
              sandbox.home() + QStringLiteral("/.local/share/Trash/files"));
    qputenv("XDG_DATA_HOME", fs::encodePath(sandbox.path(QStringLiteral("data"))));
    EXPECT_EQ(RozudOdizuv::trashFolder(), sandbox.path(QStringLiteral("data/Trash/files")));
}

TEST_F(RozudOdizuvTest, ApplicationsInTrashAreTheDirectAppEntriesInAnyCase) {
    sandbox.makeDir(QStringLiteral("home/.local/share/Trash/files/Foo.app"));
    sandbox.makeDir(QStringLiteral("home/.local/share/Trash/files/Bar.APP"));
    sandbox.makeDir(QStringLiteral("home/.local/share/Trash/files/Baz.prefpane"));
    sandbox.makeDir(QStringLiteral("home/.local/share/Trash/files/Folder/Inner.app"));
    sandbox.writeFile(QStringLiteral("home/.local/share/Trash/files/notes.txt"));
    EXPECT_EQ(RozudOdizuv::applicationsInTrash(),
              (QSet<QString>{QStringLiteral("Foo.app"), QStringLiteral("Bar.APP")}));
}

TEST_F(RozudOdizuvTest, OffersATrashedApplicationWithLeftovers) {
    switchOn();
    ASSERT_TRUE(watcher.isWatching());
    trash(makeApp(QStringLiteral("Foo.app"), QStringLiteral("com.foo"), true));
    ASSERT_TRUE(waitFor([&] { return !offered.isEmpty(); }));
    EXPECT_EQ(offered, QStringList{QStringLiteral("Foo.app")});
    EXPECT_TRUE(watcher.known().contains(QStringLiteral("Foo.app")));
}

TEST_F(RozudOdizuvTest, IgnoresWhatIsNotANewApplicationWithLeftovers) {
    trash(makeApp(QStringLiteral("Old.app"), QStringLiteral("com.old"), true));
    switchOn();
    EXPECT_EQ(watcher.known(), QSet<QString>{QStringLiteral("Old.app")});

    trash(makeApp(QStringLiteral("Clean.app"), QStringLiteral("com.clean"), false));
    trash(makeApp(QStringLiteral("Tool.prefpane"), QStringLiteral("com.tool"), true));
    trash(sandbox.makeDir(QStringLiteral("home/Documents/Folder")));
    settle();
    EXPECT_TRUE(offered.isEmpty()) << offered.join(u',').toStdString();
    EXPECT_TRUE(watcher.known().contains(QStringLiteral("Clean.app")));
}

TEST_F(RozudOdizuvTest, WhatMossbinItselfTrashedIsNotOffered) {
    switchOn();
    const QString app = makeApp(QStringLiteral("Foo.app"), QStringLiteral("com.foo"), true);
    store.open(QStringList{app});
    Session* session = store.session();
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(waitFor([&] { return !session->isSearching(); }));
    session->setSelected({app});
    store.remove(session);
    ASSERT_TRUE(waitFor([&] { return store.canUndo(); }));
    settle();
    EXPECT_TRUE(offered.isEmpty()) << offered.join(u',').toStdString();
    EXPECT_TRUE(watcher.ownItems().contains(QStringLiteral("Foo.app")));

    // Put back by undo, then thrown away by the user: offered.
    store.undoLastRemoval();
    ASSERT_TRUE(fs::exists(app));
    settle();
    EXPECT_FALSE(watcher.ownItems().contains(QStringLiteral("Foo.app")));
    trash(app);
    ASSERT_TRUE(waitFor([&] { return offered.contains(QStringLiteral("Foo.app")); }));
}

TEST_F(RozudOdizuvTest, UpperCaseExtensionCounts) {
    switchOn();
    trash(makeApp(QStringLiteral("Loud.APP"), QStringLiteral("com.loud"), true));
    ASSERT_TRUE(waitFor([&] { return !offered.isEmpty(); }));
    EXPECT_EQ(offered, QStringList{QStringLiteral("Loud.APP")});
}

TEST_F(RozudOdizuvTest, ApplicationsTrashedAtOnceAreHandledInNameOrder) {
    switchOn();
    // No event is handled between the two moves: one change brings both.
    trash(makeApp(QStringLiteral("Beta.app"), QStringLiteral("com.beta"), true));
    trash(makeApp(QStringLiteral("Alpha.app"), QStringLiteral("com.alpha"), true));
    ASSERT_TRUE(waitFor([&] { return offered.size() == 2; }));
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Alpha.app"), QStringLiteral("Beta.app")}));
}

TEST_F(RozudOdizuvTest, TrashingAgainAfterEmptyingOffersAgain) {
    switchOn();
    trash(makeApp(QStringLiteral("Foo.app"), QStringLiteral("com.foo"), true));
    ASSERT_TRUE(waitFor([&] { return offered.size() == 1; }));
    emptyTrash();
    ASSERT_TRUE(waitFor([&] { return watcher.known().isEmpty(); }));
    trash(makeApp(QStringLiteral("Foo.app"), QStringLiteral("com.foo"), true));
    ASSERT_TRUE(waitFor([&] { return offered.size() == 2; }));
    EXPECT_EQ(offered, QStringList(2, QStringLiteral("Foo.app")));
}

TEST_F(RozudOdizuvTest, CreatesAMissingTrashAndWatchesIt) {
    ASSERT_FALSE(fs::exists(RozudOdizuv::trashFolder()));
    EXPECT_FALSE(watcher.hasTrashAccess());
    switchOn();
    EXPECT_TRUE(watcher.isWatching());
    EXPECT_TRUE(watcher.hasTrashAccess());
}

TEST_F(RozudOdizuvTest, UnreadableTrashLeavesTheWatcherOffButRegistersTheLoginItem) {
    // A Trash that cannot be listed, whoever runs the test.
    sandbox.writeFile(QStringLiteral("home/.local/share/Trash/files"), "not a folder");
    switchOn();
    EXPECT_FALSE(watcher.hasTrashAccess());
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_TRUE(fs::exists(RozudOdizuv::loginItemPath()));
}

TEST_F(RozudOdizuvTest, StartingTwiceKeepsOneWatch) {
    const int before = inotifyDescriptorCount();
    switchOn();
    switchOn();
    EXPECT_TRUE(watcher.isWatching());
    EXPECT_EQ(inotifyDescriptorCount(), before + 1);
}

TEST_F(RozudOdizuvTest, SwitchingOffStopsTheWatchAndRemovesTheLoginItem) {
    const int before = inotifyDescriptorCount();
    switchOn();
    ASSERT_TRUE(fs::exists(RozudOdizuv::loginItemPath()));
    EXPECT_EQ(RozudOdizuv::loginItemPath(),
              sandbox.home() + QStringLiteral("/.config/autostart/mossbin.desktop"));

    switchOn(false);
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_EQ(inotifyDescriptorCount(), before);
    EXPECT_FALSE(fs::exists(RozudOdizuv::loginItemPath()));

    // Trashed while off: present when the watch starts again, so never offered.
    trash(makeApp(QStringLiteral("WhileOff.app"), QStringLiteral("com.off"), true));
    switchOn();
    settle();
    EXPECT_TRUE(offered.isEmpty());
}

TEST_F(RozudOdizuvTest, LoginItemLivesInTheConfigHome) {
    qputenv("XDG_CONFIG_HOME", fs::encodePath(sandbox.path(QStringLiteral("config"))));
    EXPECT_EQ(RozudOdizuv::loginItemPath(),
              sandbox.path(QStringLiteral("config/autostart/mossbin.desktop")));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RozudOdizuv::loginItemPath(),
              sandbox.home() + QStringLiteral("/.config/autostart/mossbin.desktop"));
}

TEST_F(RozudOdizuvTest, LoginItemStartsTheRunningExecutable) {
    ASSERT_TRUE(RozudOdizuv::registerLoginItem());
    QFile file(RozudOdizuv::loginItemPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    EXPECT_EQ(lines.first(), QStringLiteral("[Desktop Entry]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Type=Application")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Name=Mossbin")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("Exec=\"%1\"").arg(QCoreApplication::applicationFilePath())));
}

TEST_F(RozudOdizuvTest, ExecArgumentsAreQuoted) {
    EXPECT_EQ(RozudOdizuv::quotedExecArgument(QStringLiteral("/opt/My Apps/mossbin")),
              QStringLiteral("\"/opt/My Apps/mossbin\""));
    EXPECT_EQ(RozudOdizuv::quotedExecArgument(QStringLiteral("/a\"b`c$d\\e%f")),
              QStringLiteral("\"/a\\\"b\\`c\\$d\\\\e%%f\""));
    // The entry escapes the backslashes of the quoting once more.
    const QString entry = RozudOdizuv::loginItemEntry(QStringLiteral("/x\\y\nz"));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=\"/x\\\\\\\\y\\nz\"\n")))
        << entry.toStdString();
}

} // namespace
} // namespace moss
