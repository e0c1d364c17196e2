#include "platform/Trash.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

QString homeTrash(const test::Sandbox& sandbox) {
    return sandbox.home() + u"/.local/share/Trash"_s;
}

QString infoText(const QString& trashed) {
    return QString::fromLatin1(fs::readFile(trash::infoPath(trashed)).value_or(QByteArray()));
}

qint64 modificationTime(const QString& path) {
    struct stat st {};
    ::lstat(fs::encodePath(path).constData(), &st);
    return st.st_mtim.tv_sec;
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

void expectTreeCopied(const QString& copy, const test::Sandbox& sandbox) {
    EXPECT_EQ(fs::readFile(copy + u"/data.txt"_s), QByteArray("contents"));
    EXPECT_EQ(modificationTime(copy + u"/data.txt"_s), 1000000000);
    struct stat st {};
    ::lstat(fs::encodePath(copy + u"/sub/locked"_s).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0440u);
    EXPECT_EQ(fs::entryType(copy + u"/link"_s), fs::EntryType::symlink);
    EXPECT_EQ(fs::symlinkTarget(copy + u"/link"_s), sandbox.path(u"outside"_s));
    EXPECT_TRUE(fs::exists(sandbox.path(u"outside/big"_s)));
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

} // namespace

TEST(TrashTest, MovesIntoHomeTrashWithDescriptionOtherFileManagersRead) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString name = u"a b%ü\"\\\n"_s + fs::decodePath(QByteArray("\xff"));
    const QString item = sandbox.writeFile(u"docs/"_s + name, "x");

    const trash::TrashMove trashed = trash::moveToTrash(item);

    ASSERT_TRUE(trashed);
    EXPECT_EQ(trashed.location, homeTrash(sandbox) + u"/files/"_s + name);
    EXPECT_FALSE(fs::exists(item));
    EXPECT_EQ(fs::readFile(trashed.location), QByteArray("x"));
    const QString text = infoText(trashed.location);
    const QString encoded = QString::fromLatin1(fs::encodePath(sandbox.path(u"docs/"_s)));
    EXPECT_TRUE(
        text.startsWith(u"[Trash Info]\nPath="_s + encoded + u"a%20b%25%C3%BC%22%5C%0A%FF\n"_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(
        QRegularExpression(u"\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$"_s)));
    EXPECT_EQ(trash::originalPath(trashed.location), item);
}

TEST(TrashTest, EncodesOnlyWhatMustBeEncoded) {
    EXPECT_EQ(trash::encodeInfoPath(u"/a-b_c.d~e/F9"_s), QByteArray("/a-b_c.d~e/F9"));
    EXPECT_EQ(trash::decodeInfoPath("/x%2Fy%25z%E2%80%94"), u"/x/y%z—"_s);
    const QString raw = u"/q"_s + fs::decodePath(QByteArray("\xfe\xc3"));
    EXPECT_EQ(trash::decodeInfoPath(trash::encodeInfoPath(raw)), raw);
}

TEST(TrashTest, ClashingNamesGetTheirOwnEntries) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString first = sandbox.writeFile(u"one/x"_s, "1");
    const QString second = sandbox.writeFile(u"two/x"_s, "2");

    const auto a = trash::moveToTrash(first);
    const auto b = trash::moveToTrash(second);

    ASSERT_TRUE(a && b);
    EXPECT_NE(a.location, b.location);
    EXPECT_EQ(fs::lastComponent(b.location), u"x.2"_s);
    EXPECT_EQ(trash::originalPath(b.location), second);
    EXPECT_TRUE(trash::restore(b.location, second));
    EXPECT_TRUE(trash::restore(a.location, first));
    EXPECT_EQ(fs::readFile(second), QByteArray("2"));
    EXPECT_EQ(fs::listDirectory(homeTrash(sandbox) + u"/info"_s), QStringList());
}

TEST(TrashTest, LongNamesStillGetAValidDescriptionName) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString item = sandbox.writeFile(QString(250, u'n'), "x");

    const auto trashed = trash::moveToTrash(item);

    ASSERT_TRUE(trashed);
    EXPECT_LE(fs::encodePath(fs::lastComponent(trash::infoPath(trashed.location))).size(), 255);
    EXPECT_EQ(trash::originalPath(trashed.location), item);
}

TEST(TrashTest, MovesLinksAsLinks) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString target = sandbox.writeFile(u"target/file"_s, "keep");
    const QString link = sandbox.symlink(sandbox.path(u"target"_s), u"link"_s);
    const QString dangling = sandbox.symlink(u"/nonexistent"_s, u"dangling"_s);

    const auto trashedLink = trash::moveToTrash(link);
    const auto trashedDangling = trash::moveToTrash(dangling);

    ASSERT_TRUE(trashedLink && trashedDangling);
    EXPECT_EQ(fs::entryType(trashedLink.location), fs::EntryType::symlink);
    EXPECT_EQ(fs::entryType(trashedDangling.location), fs::EntryType::symlink);
    EXPECT_EQ(fs::readFile(target), QByteArray("keep"));
}

TEST(TrashTest, UnusableHomeTrashMovesNothing) {
    test::Sandbox sandbox;
    sandbox.activate();
    sandbox.writeFile(u"home/.local/share/Trash"_s, "not a folder");
    const QString item = sandbox.writeFile(u"item"_s, "x");

    EXPECT_FALSE(trash::prepareHomeTrash());
    EXPECT_FALSE(trash::moveToTrash(item));
    EXPECT_FALSE(trash::copyToHomeTrash(item));
    EXPECT_EQ(fs::readFile(item), QByteArray("x"));
    EXPECT_FALSE(trash::moveToTrash(sandbox.path(u"vanished"_s)));
}

TEST(TrashTest, CreatesTheHomeTrashWhereItIsMissing) {
    test::Sandbox sandbox;
    sandbox.activate();
    qputenv("XDG_DATA_HOME", sandbox.path(u"fresh/data"_s).toUtf8());
    const QString item = sandbox.writeFile(u"item"_s);

    const auto trashed = trash::moveToTrash(item);

    ASSERT_TRUE(trashed);
    EXPECT_EQ(trashed.location, sandbox.path(u"fresh/data/Trash/files/item"_s));
}

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

    EXPECT_FALSE(trash::restore(trashedOther.location, other));
    EXPECT_EQ(fs::readFile(other), QByteArray("new"));
    EXPECT_EQ(trash::originalPath(trashedOther.location), other);
    EXPECT_FALSE(trash::restore(trashed.location, item)); // no longer in the Trash
}

TEST(TrashTest, CopiesIntoTheHomeTrashPreservingEverything) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString tree = makeTree(sandbox, u"app/Tree"_s);

    const auto copied = trash::copyToHomeTrash(tree);

    ASSERT_TRUE(copied);
    EXPECT_FALSE(fs::exists(tree));
    expectTreeCopied(copied.location, sandbox);
    EXPECT_EQ(trash::originalPath(copied.location), tree);
    EXPECT_TRUE(trash::restore(copied.location, tree));
    expectTreeCopied(tree, sandbox);
}

TEST(TrashTest, FailedCopyLeavesOriginalAndNoTrace) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString tree = makeTree(sandbox, u"app/Tree"_s);
    makeSocket(tree + u"/sub/socket"_s);

    EXPECT_FALSE(trash::copyToHomeTrash(tree));

    expectTreeCopied(tree, sandbox);
    EXPECT_EQ(fs::entryType(tree + u"/sub/socket"_s), fs::EntryType::other);
    EXPECT_EQ(fs::listDirectory(homeTrash(sandbox) + u"/files"_s), QStringList());
    EXPECT_EQ(fs::listDirectory(homeTrash(sandbox) + u"/info"_s), QStringList());
}

TEST(TrashTest, ReadOnlyParentKeepsTheItem) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser may write into read-only folders";
    test::Sandbox sandbox;
    sandbox.activate();
    const QString item = sandbox.writeFile(u"locked/item"_s, "x");
    ::chmod(fs::encodePath(sandbox.path(u"locked"_s)).constData(), 0555);

    EXPECT_FALSE(trash::moveToTrash(item));
    EXPECT_FALSE(trash::copyToHomeTrash(item));
    EXPECT_EQ(fs::readFile(item), QByteArray("x"));
    EXPECT_EQ(fs::listDirectory(homeTrash(sandbox) + u"/info"_s), QStringList());
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

TEST_F(SecondFileSystem, CopiesIntoTheHomeTrashAndBack) {
    const QString item = writeElsewhere(u"copied"_s, "y");

    const auto copied = trash::copyToHomeTrash(item);

    ASSERT_TRUE(copied);
    EXPECT_TRUE(copied.location.startsWith(homeTrash(sandbox)));
    EXPECT_FALSE(fs::exists(item));
    EXPECT_TRUE(trash::restore(copied.location, item));
    EXPECT_EQ(fs::readFile(item), QByteArray("y"));
    EXPECT_FALSE(fs::exists(copied.location));
    EXPECT_EQ(fs::listDirectory(homeTrash(sandbox) + u"/info"_s), QStringList());
}
