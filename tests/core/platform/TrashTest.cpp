#include "platform/Trash.h"

#include "Child.h"
#include "Sandbox.h"
#include "Trees.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;
using test::Detail;
using test::fingerprint;
using trash::Error;

namespace {

QString homeTrash(const test::Sandbox& sandbox) {
    return sandbox.home() + u"/.local/share/Trash"_s;
}

QString infoText(const QString& trashed) {
    return QString::fromLatin1(fs::readFile(trash::infoPath(trashed)).value_or(QByteArray()));
}

QByteArray encoded(const QString& path) {
    return fs::encodePath(path);
}

qint64 modificationTime(const QString& path) {
    struct stat st {};
    ::lstat(encoded(path).constData(), &st);
    return st.st_mtim.tv_sec;
}

// The entries of the home Trash's files/ and info/ folders.
QStringList trashContents(const test::Sandbox& sandbox) {
    QStringList entries;
    for (const QString& folder : {u"files"_s, u"info"_s}) {
        for (const QString& name :
             fs::listDirectory(homeTrash(sandbox) + u'/' + folder).value_or(QStringList()))
            entries.append(folder + u'/' + name);
    }
    entries.sort();
    return entries;
}

void emptyTrash(const test::Sandbox& sandbox) {
    QDir(homeTrash(sandbox)).removeRecursively();
}

// A folder with a file, a read-only file, a sub-folder, and a link to
// something outside that must not be followed.
QString makeTree(const test::Sandbox& sandbox, const QString& relative) {
    const QString root = sandbox.makeDir(relative);
    sandbox.writeFile(relative + u"/data.txt"_s, "contents");
    const QString locked = sandbox.writeFile(relative + u"/sub/locked"_s, "locked");
    ::chmod(fs::encodePath(locked).constData(), 0440);
    sandbox.writeFile(u"outside/big"_s, QByteArray(4096, 'x'));
    sandbox.symlink(sandbox.path(u"outside"_s), relative + u"/link"_s);
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, fs::encodePath(root + u"/data.txt"_s).constData(), old, 0);
    return root;
}

// A local socket: an entry that cannot be copied.
void makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = fs::encodePath(path);
    ASSERT_LT(size_t(encoded.size()), sizeof address.sun_path);
    std::copy(encoded.begin(), encoded.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

// Swaps a sub-folder again and again for a link to another folder, as a
// second user would while the original is removed, until stopped; each swap
// is undone before the next.
class SwapLoop {
public:
    void start(const QString& folder, const QString& linkTarget) {
        thread_ = std::thread([this, folder = fs::encodePath(folder),
                               away = fs::encodePath(folder + u".away"_s),
                               target = fs::encodePath(linkTarget)] {
            while (!stop_) {
                const bool moved = ::rename(folder.constData(), away.constData()) == 0;
                const bool linked = ::symlink(target.constData(), folder.constData()) == 0;
                std::this_thread::yield();
                if (linked)
                    ::unlink(folder.constData());
                if (moved)
                    ::rename(away.constData(), folder.constData());
                swaps_ += moved && linked;
            }
        });
    }
    int stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        stop_ = false;
        return swaps_.exchange(0);
    }
    ~SwapLoop() { stop(); }

private:
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> swaps_ = 0;
};

} // namespace

// The description is what other file managers read: the former path with
// every byte but unreserved ones %-encoded, and the time. Clashing names get
// their own entries; long names still fit; links go as links.
TEST(TrashTest, MovesIntoTheHomeTrashWithADescription) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString name = u"a b%ü\"\\\n"_s + fs::decodePath("\xff");
    const QString odd = sandbox.writeFile(u"docs/"_s + name, "x");
    const QString first = sandbox.writeFile(u"one/x"_s, "1");
    const QString second = sandbox.writeFile(u"two/x"_s, "2");
    const QString longName = sandbox.writeFile(QString(250, u'n'), "x");
    const QString link = sandbox.symlink(sandbox.path(u"docs"_s), u"link"_s);
    const QString dangling = sandbox.symlink(u"/nonexistent"_s, u"dangling"_s);
    QMap<QString, QString> trashed;
    for (const QString& item : {odd, first, second, longName, link, dangling}) {
        const trash::TrashMove moved = trash::moveToTrash(item);
        ASSERT_TRUE(moved) << item.toStdString();
        EXPECT_FALSE(fs::exists(item));
        EXPECT_EQ(trash::originalPath(moved.location), item);
        EXPECT_LE(fs::encodePath(fs::lastComponent(trash::infoPath(moved.location))).size(), 255);
        trashed.insert(item, moved.location);
    }
    EXPECT_EQ(trashed[odd], homeTrash(sandbox) + u"/files/"_s + name);
    EXPECT_EQ(fs::readFile(trashed[odd]), QByteArray("x"));
    const QString text = infoText(trashed[odd]);
    const QString path = QString::fromLatin1(fs::encodePath(sandbox.path(u"docs/"_s)));
    EXPECT_TRUE(
        text.startsWith(u"[Trash Info]\nPath="_s + path + u"a%20b%25%C3%BC%22%5C%0A%FF\n"_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(
        QRegularExpression(u"\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$"_s)));
    EXPECT_EQ(fs::lastComponent(trashed[second]), u"x.2"_s);
    EXPECT_EQ(fs::entryType(trashed[link]), fs::EntryType::symlink);
    EXPECT_EQ(fs::entryType(trashed[dangling]), fs::EntryType::symlink);
    EXPECT_EQ(trash::decodeInfoPath("/x%2Fy%25z%E2%80%94"), u"/x/y%z—"_s);

    // A missing home Trash is made, and one that is not a folder is refused.
    qputenv("XDG_DATA_HOME", fs::encodePath(sandbox.path(u"fresh/data"_s)));
    EXPECT_EQ(trash::moveToTrash(sandbox.writeFile(u"item"_s)).location,
              sandbox.path(u"fresh/data/Trash/files/item"_s));
    sandbox.writeFile(u"other/Trash"_s, "not a folder");
    qputenv("XDG_DATA_HOME", fs::encodePath(sandbox.path(u"other"_s)));
    const QString item = sandbox.writeFile(u"item"_s, "x");
    EXPECT_FALSE(trash::prepareHomeTrash());
    EXPECT_EQ(trash::moveToTrash(item).error, make_error_code(Error::trashUnavailable));
    EXPECT_EQ(trash::copyToHomeTrash(item).error, make_error_code(Error::trashUnavailable));
    EXPECT_EQ(fs::readFile(item), QByteArray("x"));
    EXPECT_FALSE(trash::moveToTrash(sandbox.path(u"vanished"_s)));
}

// Restore makes missing folders, never replaces what took the former place,
// and removes the description once the item is back.
TEST(TrashTest, RestoreRecreatesFoldersAndNeverReplaces) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString item = sandbox.writeFile(u"deep/er/item"_s, "mine");
    const QString other = sandbox.writeFile(u"other"_s, "o");
    const auto trashed = trash::moveToTrash(item);
    const auto trashedOther = trash::moveToTrash(other);
    ASSERT_TRUE(trashed && trashedOther);
    QDir(sandbox.path(u"deep"_s)).removeRecursively();
    sandbox.writeFile(u"other"_s, "new");

    EXPECT_TRUE(trash::restore(trashed.location, item));
    EXPECT_EQ(fs::readFile(item), QByteArray("mine"));
    EXPECT_FALSE(fs::exists(trash::infoPath(trashed.location)));
    EXPECT_EQ(trash::restore(trashedOther.location, other).error, std::errc::file_exists);
    EXPECT_EQ(fs::readFile(other), QByteArray("new"));
    EXPECT_EQ(trash::originalPath(trashedOther.location), other);
    EXPECT_EQ(trash::restore(trashed.location, item).error, std::errc::no_such_file_or_directory);
}

// The Trash itself, what lies in it or holds it, sockets, and immutable or
// append-only entries: refused before anything is copied or changed.
TEST(TrashTest, RefusesBeforeCopyingWhatCannotGoAsAWhole) {
    test::Sandbox sandbox;
    sandbox.activate();
    ASSERT_TRUE(trash::prepareHomeTrash());
    const QString trashed = trash::moveToTrash(sandbox.writeFile(u"old/x"_s, "x")).location;
    const QString withSocket = makeTree(sandbox, u"app/Socket"_s);
    makeSocket(withSocket + u"/sub/socket"_s);
    const QString immutable = makeTree(sandbox, u"app/Immutable"_s);
    const QString appendOnly = makeTree(sandbox, u"app/AppendOnly"_s);
    const test::FileFlag flags[] = {{immutable + u"/sub/locked"_s, FS_IMMUTABLE_FL},
                                    {appendOnly + u"/sub/locked"_s, FS_APPEND_FL}};
    struct Row {
        QString item;
        Error error;
        bool renameRefused; // the rename into the Trash refuses it too
    };
    std::vector<Row> rows = {
        {homeTrash(sandbox), Error::isTheTrash, true},
        {homeTrash(sandbox) + u"/files"_s, Error::insideTheTrash, true},
        {trashed, Error::insideTheTrash, true},
        {sandbox.home() + u"/.local"_s, Error::containsTheTrash, true},
        {withSocket, Error::specialFile, false},
    };
    if (flags[0].isSet() && flags[1].isSet()) // where the file system has such flags
        rows.insert(rows.end(),
                    {{immutable, Error::immutable, false}, {appendOnly, Error::immutable, false}});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item.toStdString());
        const QString before = fingerprint(row.item, Detail::metadata);
        const QStringList inTrash = trashContents(sandbox);
        if (row.renameRefused) {
            EXPECT_EQ(trash::moveToTrash(row.item).error, make_error_code(row.error));
        }
        EXPECT_EQ(trash::copyToHomeTrash(row.item).error, make_error_code(row.error));
        EXPECT_EQ(fingerprint(row.item, Detail::metadata), before);
        EXPECT_EQ(trashContents(sandbox), inTrash);
    }
    EXPECT_EQ(trash::moveToTrash(u"/"_s).error, make_error_code(Error::containsTheTrash));
    EXPECT_EQ(trash::copyToHomeTrash(u"//"_s).error, make_error_code(Error::containsTheTrash));
}

// Another user's entries, a read-only parent and a mount inside: the child
// that tries is nobody, or has a mount of its own.
TEST(TrashTest, AnotherUsersEntriesAndMountsInsideKeepTheWholeItem) {
    test::Sandbox sandbox;
    sandbox.activate();
    test::letIn(sandbox.root());
    // Root's folder in a sticky folder that everybody may write to.
    ::chmod(encoded(sandbox.makeDir(u"shared"_s)).constData(), 01777);
    const QString foreign = makeTree(sandbox, u"shared/com.victim.cache"_s);
    // Nobody's folder holding a sticky folder with root's file in it.
    const QString own = sandbox.makeDir(u"mine/Own"_s);
    sandbox.writeFile(u"mine/Own/drop/roots"_s, "r");
    test::handOver(sandbox.path(u"mine"_s), test::kNobody);
    ::chmod(encoded(own + u"/drop"_s).constData(), 01777);
    test::handOver(own + u"/drop"_s, 0);
    // Nobody's file below nobody's read-only folder.
    const QString readOnly = sandbox.writeFile(u"locked/item"_s, "x");
    test::handOver(sandbox.path(u"locked"_s), test::kNobody);
    ::chmod(encoded(sandbox.path(u"locked"_s)).constData(), 0555);
    const QString mounted = makeTree(sandbox, u"app/Mounted"_s);
    test::handOver(sandbox.home(), test::kNobody);
    struct Row {
        QString item;
        test::ChildSetup setup;
        std::error_code error;
        bool renameRefused;
    };
    const Row rows[] = {
        {foreign, test::ChildSetup::asNobody, Error::foreignInStickyFolder, true},
        {own, test::ChildSetup::asNobody, Error::foreignInStickyFolder, false},
        {readOnly, test::ChildSetup::asNobody, std::make_error_code(std::errc::permission_denied),
         true},
        {mounted, test::ChildSetup::ownMounts, Error::mountPointInside, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item.toStdString());
        emptyTrash(sandbox);
        const QString before = fingerprint(row.item, Detail::metadata);

        const int status = test::runInChild(row.setup, [&] {
            if (row.setup == test::ChildSetup::ownMounts &&
                ::mount("tmpfs", encoded(row.item + u"/sub"_s).constData(), "tmpfs", 0,
                        "size=1m") != 0)
                return 3;
            if (row.renameRefused && trash::moveToTrash(row.item))
                return 1;
            return trash::copyToHomeTrash(row.item).error == row.error ? 0 : 2;
        });
        if (status < 0)
            GTEST_SKIP() << "this machine cannot drop privileges or mount in a child";

        EXPECT_EQ(status, 0);
        EXPECT_EQ(fingerprint(row.item, Detail::metadata), before);
        EXPECT_EQ(trashContents(sandbox), QStringList());
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
        SwapLoop loop;
        const trash::TrashMove moved = trash::copyToHomeTrash(
            item, [&](const QString&, const QString&) { loop.start(item + u"/photos"_s, camera); });
        swaps += loop.stop();
        EXPECT_EQ(fingerprint(camera, Detail::metadata), cameraBefore);
        ASSERT_FALSE(moved.location.isEmpty()) << moved.error.message();
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
        struct stat shm {
        }, home{};
        if (::stat("/dev/shm", &shm) != 0 || ::access("/dev/shm", W_OK) != 0 ||
            ::stat(fs::encodePath(sandbox.home()).constData(), &home) != 0 ||
            shm.st_dev == home.st_dev || !elsewhere.isValid())
            GTEST_SKIP() << "no second writable file system at /dev/shm";
        sandbox.activate();
        topTrash = u"/dev/shm/.Trash-"_s + QString::number(::getuid());
        hadTopTrash = fs::exists(topTrash);
    }
    void TearDown() override {
        for (const QString& name : std::as_const(created)) {
            ::unlink(fs::encodePath(topTrash + u"/info/"_s + name + u".trashinfo"_s).constData());
            QDir(topTrash + u"/files/"_s + name).removeRecursively();
            ::unlink(fs::encodePath(topTrash + u"/files/"_s + name).constData());
        }
        // Left in place while another test run has an entry in it.
        if (!hadTopTrash && ::rmdir(fs::encodePath(topTrash + u"/info"_s).constData()) == 0 &&
            ::rmdir(fs::encodePath(topTrash + u"/files"_s).constData()) == 0)
            ::rmdir(fs::encodePath(topTrash).constData());
    }
    QString writeElsewhere(const QString& name, const QByteArray& contents) const {
        const QString path = elsewhere.path() + u'/' + name;
        fs::makePath(fs::parentPath(path));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(contents);
        return path;
    }

    test::Sandbox sandbox;
    QTemporaryDir elsewhere{u"/dev/shm/mossbin-test-XXXXXX"_s};
    QString topTrash;
    bool hadTopTrash = false;
    QStringList created;
};

TEST_F(SecondFileSystem, MovesIntoTheTrashAtTheTopOfTheMount) {
    const QString item = writeElsewhere(u"shm item"_s, "x");

    const auto trashed = trash::moveToTrash(item);

    ASSERT_TRUE(trashed);
    created.append(fs::lastComponent(trashed.location));
    EXPECT_EQ(fs::parentPath(trashed.location), topTrash + u"/files"_s);
    const QString relative = item.mid(QStringLiteral("/dev/shm/").size());
    EXPECT_TRUE(
        infoText(trashed.location)
            .contains(u"\nPath="_s + QString::fromLatin1(trash::encodeInfoPath(relative)) + u'\n'));
    EXPECT_EQ(trash::originalPath(trashed.location), item);
    EXPECT_TRUE(trash::restore(trashed.location, item));
    EXPECT_EQ(fs::readFile(item), QByteArray("x"));
}

TEST_F(SecondFileSystem, CopiesFaithfullyIntoTheHomeTrashAndBack) {
    const QString tree = elsewhere.path() + u"/Tree"_s;
    test::makeRichTree(tree);
    const QString before = fingerprint(tree, Detail::metadata);
    ASSERT_TRUE(before.contains(u" holes"_s) && before.contains(u"link#0"_s))
        << before.toStdString();

    const trash::TrashMove copied = trash::copyToHomeTrash(tree);

    ASSERT_TRUE(copied) << copied.error.message();
    EXPECT_TRUE(copied.location.startsWith(homeTrash(sandbox)));
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_EQ(fingerprint(copied.location, Detail::metadata), before);
    EXPECT_EQ(modificationTime(copied.location + u"/shared"_s), test::kSharedTime);
    EXPECT_TRUE(trash::restore(copied.location, tree));
    EXPECT_EQ(fingerprint(tree, Detail::metadata), before);
    EXPECT_EQ(modificationTime(tree + u"/shared"_s), test::kSharedTime);
    EXPECT_EQ(trashContents(sandbox), QStringList());
}

// Changes made after the copy and before the original's removal: what changed
// stays where it is, the copy stays whole in the Trash, and undo merges it
// back into what remained.
TEST_F(SecondFileSystem, WhatChangesWhileMovingStaysAndUndoPutsItBackTogether) {
    for (int i = 0; i < 50; ++i)
        writeElsewhere(u"Camera/photo-"_s + QString::number(i),
                       QByteArray(300, char('a' + i % 26)));
    const QString camera = elsewhere.path() + u"/Camera"_s;
    const QString cameraBefore = fingerprint(camera);
    const auto append = [](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("late");
    };
    struct Row {
        const char* change;
        bool folder;
        std::function<void(const QString& item)> before; // at the moment of removal
        std::function<void(const QString& item)> after;  // undone by the attacker
        bool halfMoved;
        bool copyLeft; // an older version stays in the Trash
    };
    const Row rows[] = {
        {"a late write",
         true,
         [&](const QString& item) { append(item + u"/sub/a"_s); },
         {},
         true,
         true},
        {"a new entry",
         true,
         [](const QString& item) { QFile(item + u"/sub/new"_s).open(QIODevice::WriteOnly); },
         {},
         true,
         false},
        {"a sub-folder swapped for a link outside", true,
         [&](const QString& item) {
             ::rename(encoded(item + u"/sub"_s).constData(),
                      encoded(item + u"/sub.x"_s).constData());
             ::symlink(encoded(camera).constData(), encoded(item + u"/sub"_s).constData());
         },
         [](const QString& item) {
             ::unlink(encoded(item + u"/sub"_s).constData());
             ::rename(encoded(item + u"/sub.x"_s).constData(),
                      encoded(item + u"/sub"_s).constData());
         },
         true, false},
        {"a rewritten file", false, [&](const QString& item) { append(item); }, {}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        emptyTrash(sandbox);
        const QString item = elsewhere.path() + u"/Item"_s;
        if (row.folder) {
            for (const QString& name : {u"sub/a"_s, u"sub/b"_s, u"c"_s})
                writeElsewhere(u"Item/"_s + name, name.toUtf8());
        } else {
            writeElsewhere(u"Item"_s, "file");
        }
        const QString before = fingerprint(item);
        QString atRemoval;

        const trash::TrashMove moved =
            trash::copyToHomeTrash(item, [&](const QString& original, const QString&) {
                row.before(original);
                atRemoval = fingerprint(original);
            });

        EXPECT_EQ(moved.error, make_error_code(Error::changedWhileMoving));
        EXPECT_EQ(fingerprint(camera), cameraBefore);
        if (row.after)
            row.after(item);
        const QString expected = row.after ? before : atRemoval;
        ASSERT_EQ(moved.isHalfMoved(), row.halfMoved);
        if (!row.halfMoved) {
            EXPECT_EQ(fingerprint(item), expected);
            EXPECT_EQ(trashContents(sandbox), QStringList());
            continue;
        }
        EXPECT_EQ(fingerprint(moved.location), before);
        EXPECT_NE(fingerprint(item), expected);

        EXPECT_TRUE(trash::restore(moved.location, item, trash::Restore::merging));

        EXPECT_EQ(fingerprint(item), expected);
        EXPECT_EQ(trashContents(sandbox).size(), row.copyLeft ? 2 : 0);
        QDir(item).removeRecursively();
    }
}
