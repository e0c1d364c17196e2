#include "platform/Trash.h"

#include "Child.h"
#include "Sandbox.h"
#include "Trees.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;
using test::Detail;
using test::fingerprint;
using trash::Error;

namespace {

constexpr auto encoded = &fs::encodePath;

// The home Trash of the active sandbox, found without the code under test.
QString homeTrash() {
    return qEnvironmentVariable("XDG_DATA_HOME") + u"/Trash"_s;
}

// The entries of the home Trash's files/ and info/ folders.
QStringList trashContents() {
    return fs::listDirectory(homeTrash() + u"/files"_s).value_or(QStringList()) +
           fs::listDirectory(homeTrash() + u"/info"_s).value_or(QStringList());
}

// A folder with a read-only file in a sub-folder, and a link to something
// outside that must not be followed.
QString makeTree(const test::Sandbox& sandbox, const QString& relative) {
    ::chmod(encoded(sandbox.writeFile(relative + u"/sub/locked"_s, "locked")).constData(), 0440);
    sandbox.writeFile(u"outside/big"_s, QByteArray(4096, 'x'));
    sandbox.symlink(sandbox.path(u"outside"_s), relative + u"/link"_s);
    return sandbox.path(relative);
}

// Swaps a sub-folder again and again for a link to another folder, as a
// second user would, until `stop`; each swap is undone before the next.
int swapLoop(const QString& folder, const QString& linkTarget, const std::atomic<bool>& stop) {
    const QByteArray at = encoded(folder), away = at + ".away", target = encoded(linkTarget);
    int swaps = 0;
    while (!stop) {
        const bool moved = ::rename(at.constData(), away.constData()) == 0;
        const bool linked = ::symlink(target.constData(), at.constData()) == 0;
        std::this_thread::yield();
        if (linked)
            ::unlink(at.constData());
        if (moved)
            ::rename(away.constData(), at.constData());
        swaps += moved && linked;
    }
    return swaps;
}

} // namespace

// The description is what other file managers read: the former path with
// every byte but unreserved ones %-encoded (relative to the top of the mount
// in a Trash there), and the time. Clashing names, even with an entry left
// without a description, get their own; long names still fit; links go as
// links. A home Trash that is not our own real folder is refused. Restore puts items back.
TEST(TrashTest, MovesIntoTheHomeTrashWithADescription) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString name = u"a b%ü\"\\\n"_s + fs::decodePath("\xff");
    const QString odd = sandbox.writeFile(u"docs/"_s + name, "x");
    sandbox.writeFile(u"home/.local/share/Trash/files/orphan"_s, "left without a description");
    QMap<QString, QString> trashed;
    for (const QString& item :
         {odd, sandbox.writeFile(QString(250, u'n'), "x"), sandbox.writeFile(u"orphan"_s, "o"),
          sandbox.symlink(u"/nonexistent"_s, u"dangling"_s)}) {
        const trash::TrashMove moved = trash::moveToTrash(item);
        ASSERT_TRUE(moved) << item.toStdString();
        EXPECT_EQ(trash::originalPath(moved.location), item);
        EXPECT_LE(encoded(fs::lastComponent(trash::infoPath(moved.location))).size(), 255);
        trashed.insert(fs::lastComponent(item), moved.location);
    }
    EXPECT_EQ(trashed[name], homeTrash() + u"/files/"_s + name);
    const QString text =
        QString::fromLatin1(fs::readFile(trash::infoPath(trashed[name])).value_or(""));
    EXPECT_TRUE(text.startsWith(u"[Trash Info]\nPath="_s +
                                QString::fromLatin1(encoded(sandbox.path(u"docs/"_s))) +
                                u"a%20b%25%C3%BC%22%5C%0A%FF\n"_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(
        QRegularExpression(u"\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$"_s)));
    EXPECT_EQ(fs::lastComponent(trashed[u"orphan"_s]), u"orphan.2"_s);
    EXPECT_EQ(fs::entryType(trashed[u"dangling"_s]), fs::EntryType::symlink);
    // Restore makes missing folders, never replaces what took the former
    // place, and removes the description once the item is back.
    QDir(sandbox.path(u"docs"_s)).removeRecursively();
    EXPECT_TRUE(trash::restore(trashed[name], odd));
    EXPECT_EQ(fs::readFile(odd), QByteArray("x"));
    EXPECT_FALSE(fs::exists(trash::infoPath(trashed[name])));
    const QString taken = sandbox.writeFile(u"orphan"_s, "new");
    EXPECT_EQ(trash::restore(trashed[u"orphan"_s], taken).error, std::errc::file_exists);
    EXPECT_EQ(fs::readFile(taken), QByteArray("new"));

    const QString item = sandbox.writeFile(u"item"_s, "x");
    sandbox.symlink(sandbox.makeDir(u"elsewhere"_s), u"link/Trash"_s);
    qputenv("XDG_DATA_HOME", encoded(sandbox.path(u"link"_s)));
    EXPECT_EQ(trash::moveToTrash(item).error, make_error_code(Error::trashUnavailable));
    EXPECT_EQ(fs::listDirectory(sandbox.path(u"elsewhere"_s)), QStringList());
}

// The Trash itself, what lies in it or holds it, immutable entries, another
// user's folder in a sticky folder and a mount inside: refused before anything
// is copied or changed. The child that tries is nobody, or has a mount of its
// own.
TEST(TrashTest, RefusesBeforeCopyingWhatCannotGoAsAWhole) {
    test::Sandbox sandbox;
    sandbox.activate();
    test::letIn(sandbox.root());
    const QString trashed = trash::moveToTrash(sandbox.writeFile(u"old/x"_s, "x")).location;
    const QString immutable = makeTree(sandbox, u"app/Immutable"_s);
    // Immutable while the test runs, where the file system has such flags.
    const int fd = ::open(encoded(immutable + u"/sub/locked"_s).constData(), O_RDONLY | O_CLOEXEC);
    int flag = FS_IMMUTABLE_FL, none = 0;
    const bool flagged = ::ioctl(fd, FS_IOC_SETFLAGS, &flag) == 0;
    const auto unflag = qScopeGuard([&] {
        ::ioctl(fd, FS_IOC_SETFLAGS, &none);
        ::close(fd);
    });
    // Root's folder in a sticky folder that everybody may write to.
    ::chmod(encoded(sandbox.makeDir(u"shared"_s)).constData(), 01777);
    const QString foreign = makeTree(sandbox, u"shared/com.victim.cache"_s);
    const QString mounted = makeTree(sandbox, u"app/Mounted"_s);
    using enum test::ChildSetup;
    // The item, the error, whether the rename into the Trash refuses it too,
    // and who tries (by default this process).
    const std::tuple<QString, std::error_code, bool, std::optional<test::ChildSetup>> rows[] = {
        {immutable, Error::immutable, false, {}},
        {homeTrash(), Error::isTheTrash, true, {}},
        {trashed, Error::insideTheTrash, true, {}},
        {sandbox.home() + u"/.local"_s, Error::containsTheTrash, true, {}},
        {mounted, Error::mountPointInside, false, ownMounts},
        {foreign, Error::foreignInStickyFolder, true, asNobody},
    };
    for (const auto& [item, error, renameRefused, child] : rows) {
        if (item == immutable && !flagged) // no such flags on this file system
            continue;
        SCOPED_TRACE(item.toStdString());
        if (child == asNobody) // its home, Trash included
            test::handOver(sandbox.home(), test::kNobody);
        const QString before = fingerprint(item, Detail::metadata);
        const QStringList inTrash = trashContents();
        const auto attempt = [&, &item = item, &error = error, &child = child,
                              renameRefused = renameRefused] {
            if (child == ownMounts &&
                ::mount("tmpfs", encoded(item + u"/sub"_s).constData(), "tmpfs", 0, "size=1m") != 0)
                return 3;
            if (renameRefused && trash::moveToTrash(item))
                return 1;
            return trash::copyToHomeTrash(item).error == error ? 0 : 2;
        };
        const int status = child ? test::runInChild(*child, attempt) : attempt();
        if (status < 0)
            GTEST_SKIP() << "this machine cannot drop privileges or mount in a child";
        EXPECT_EQ(status, 0);
        EXPECT_EQ(fingerprint(item, Detail::metadata), before);
        EXPECT_EQ(trashContents(), inTrash);
    }
}

// A second user swaps a sub-folder for a link to another folder again and
// again while the original is removed after its copy: nothing outside is
// touched, and undo brings the item back as it was.
TEST(TrashTest, ASecondUserSwappingFoldersMeanwhileLosesNothing) {
    test::Sandbox sandbox;
    sandbox.activate();
    for (int i = 0; i < 200; ++i) {
        sandbox.writeFile(u"Camera/IMG_"_s + QString::number(i), QByteArray(500, 'p'));
        // The swapped folder holds the same names as the photos.
        sandbox.writeFile(u"Item/photos/IMG_"_s + QString::number(i), "cached");
    }
    const QString camera = sandbox.path(u"Camera"_s);
    const QString item = sandbox.path(u"Item"_s);
    const QString cameraBefore = fingerprint(camera, Detail::metadata);
    const QString before = fingerprint(item, Detail::metadata);
    int swaps = 0;
    for (int round = 0; round < 3; ++round) {
        std::atomic<bool> stop = false;
        std::optional<std::thread> loop;
        const trash::TrashMove moved =
            trash::copyToHomeTrash(item, [&](const QString&, const QString&) {
                loop.emplace([&] { swaps += swapLoop(item + u"/photos"_s, camera, stop); });
            });
        stop = true;
        if (loop)
            loop->join();
        EXPECT_EQ(fingerprint(camera, Detail::metadata), cameraBefore);
        if (moved.location.isEmpty()) {
            // Swapped before anything went: the copy went again, the item stays whole.
            EXPECT_EQ(fingerprint(item, Detail::metadata), before) << moved.error.message();
            continue;
        }
        EXPECT_EQ(fingerprint(moved.location, Detail::metadata), before);
        EXPECT_TRUE(trash::restore(moved.location, item,
                                   moved ? trash::Restore::whole : trash::Restore::merging));
        EXPECT_EQ(fingerprint(item, Detail::metadata), before);
    }
    EXPECT_GT(swaps, 0);
}

// An item on another file system than the home folder: /dev/shm is a
// separate memory file system on most machines.
class SecondFileSystem : public ::testing::Test {
protected:
    void SetUp() override {
        struct stat shm = {}, home = {};
        if (::stat("/dev/shm", &shm) != 0 || ::access("/dev/shm", W_OK) != 0 ||
            ::stat(encoded(sandbox.home()).constData(), &home) != 0 || shm.st_dev == home.st_dev ||
            !elsewhere.isValid())
            GTEST_SKIP() << "no second writable file system at /dev/shm";
        sandbox.activate();
    }
    // The Trash at the top of /dev/shm is removed once empty: another test
    // run may be using it.
    void TearDown() override {
        for (const QString& sub : {u"/info"_s, u"/files"_s, u""_s})
            ::rmdir(encoded(topTrash + sub).constData());
    }

    test::Sandbox sandbox;
    QTemporaryDir elsewhere{u"/dev/shm/mossbin-test-XXXXXX"_s};
    const QString topTrash = u"/dev/shm/.Trash-"_s + QString::number(::getuid());
};

// Moved into the Trash at the top of that mount, with a path relative to
// it; copied faithfully into the home Trash. A file written after the copy
// and before the original's removal stays where it is, the copy stays whole
// in the Trash, and undo merges it back into what remained, keeping the
// copy's version of the changed file in the Trash.
TEST_F(SecondFileSystem, MovesToTheTopTrashCopiesFaithfullyAndKeepsWhatChanges) {
    const QString item = elsewhere.filePath(u"shm item"_s);
    ASSERT_TRUE(QFile(item).open(QIODevice::WriteOnly));
    const auto trashed = trash::moveToTrash(item);
    ASSERT_TRUE(trashed);
    EXPECT_EQ(fs::parentPath(trashed.location), topTrash + u"/files"_s);
    EXPECT_TRUE(fs::readFile(trash::infoPath(trashed.location))
                    .value_or("")
                    .contains("\nPath=" + trash::encodeInfoPath(item.mid(9)) + '\n'));
    EXPECT_EQ(trash::originalPath(trashed.location), item);
    EXPECT_TRUE(trash::restore(trashed.location, item));

    const QString tree = elsewhere.path() + u"/Tree"_s;
    test::makeRichTree(tree);
    const QString before = fingerprint(tree, Detail::metadata);
    ASSERT_TRUE(before.contains(u" holes"_s) && before.contains(u"link#0"_s))
        << before.toStdString();
    const trash::TrashMove copied = trash::copyToHomeTrash(tree);
    ASSERT_TRUE(copied) << copied.error.message();
    EXPECT_TRUE(copied.location.startsWith(homeTrash()));
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_EQ(fingerprint(copied.location, Detail::metadata), before);
    EXPECT_TRUE(trash::restore(copied.location, tree));
    EXPECT_EQ(fingerprint(tree, Detail::metadata), before);
    EXPECT_EQ(trashContents(), QStringList());

    QString atRemoval;
    const trash::TrashMove moved =
        trash::copyToHomeTrash(tree, [&](const QString&, const QString&) {
            QFile late(tree + u"/holes"_s);
            if (late.open(QIODevice::Append | QIODevice::Unbuffered))
                late.write("late");
            atRemoval = fingerprint(tree);
        });
    EXPECT_EQ(moved.error, make_error_code(Error::changedWhileMoving));
    ASSERT_TRUE(moved.isHalfMoved());
    EXPECT_EQ(fingerprint(moved.location, Detail::metadata), before);
    EXPECT_NE(fingerprint(tree), atRemoval);
    EXPECT_TRUE(trash::restore(moved.location, tree, trash::Restore::merging));
    EXPECT_EQ(fingerprint(tree), atRemoval);
    EXPECT_EQ(trashContents().size(), 2);
}
