#include "platform/FileSystem.h"

#include "Sandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = moss::fs;
using moss::test::Sandbox;

namespace {

QString bytesName(const char* bytes) {
    return fs::decodePath(QByteArray(bytes));
}

qint64 ownBlocks(const QString& path) {
    struct stat st {};
    if (::lstat(fs::encodePath(path).constData(), &st) != 0)
        return -1;
    return qint64(st.st_blocks) * 512;
}

// --- path encoding -------------------------------------------------------------

TEST(FileSystemTest, InvalidUtf8BytesRoundTripAsLoneSurrogates) {
    const QByteArray samples[] = {
        "plain",
        "\xD0\x9F\xD1\x80\xD0\xB8",
        "\xF0\x9F\x98\x80",
        "\xFF\xFE",
        "caf\xE9",
        "\xC0\xAF",         // overlong '/'
        "\xED\xA0\x80",     // an encoded surrogate
        "\xED\xB2\x80",     // the encoded form of an escape itself
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "\xE2\x82",         // cut short
        "a\x80z",
    };
    for (const QByteArray& bytes : samples) {
        const QString decoded = fs::decodePath(bytes);
        EXPECT_EQ(fs::encodePath(decoded), bytes) << bytes.toHex().toStdString();
    }
    EXPECT_EQ(fs::decodePath(QByteArray("caf\xE9")), QStringLiteral("caf") + QChar(0xDCE9));
    EXPECT_EQ(fs::decodePath(QByteArray("\xF0\x9F\x98\x80")),
              QString::fromUtf8("\xF0\x9F\x98\x80"));
}

// --- path arithmetic --------------------------------------------------------------

TEST(FileSystemTest, Standardized) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/./b/../c", "/a/c"}, {"/a//b///", "/a/b"}, {"/", "/"},    {"/..", "/"},
        {"/../a/..", "/"},       {"/a/b/..", "/a"},    {"//x", "/x"}, {"/a/.hidden/", "/a/.hidden"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(fs::standardized(QString::fromUtf8(input)), QString::fromUtf8(expected)) << input;
}

TEST(FileSystemTest, RelativePathsAreTakenFromTheCurrentFolderByteExactly) {
    Sandbox sandbox;
    const QString odd = sandbox.makeDir(bytesName("cwd-\xFF\"q\""));
    char saved[PATH_MAX];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(fs::encodePath(odd).constData()), 0);
    const QString result = fs::standardized(QStringLiteral("x/../y"));
    ASSERT_EQ(::chdir(saved), 0);
    EXPECT_EQ(result, odd + QStringLiteral("/y"));
}

TEST(FileSystemTest, ComponentsAndExtensions) {
    EXPECT_EQ(fs::lastComponent(QStringLiteral("/A/Foo.app/")), QStringLiteral("Foo.app"));
    EXPECT_EQ(fs::lastComponent(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(fs::parentPath(QStringLiteral("/A/Foo.app")), QStringLiteral("/A"));
    EXPECT_EQ(fs::parentPath(QStringLiteral("/x")), QStringLiteral("/"));
    EXPECT_EQ(fs::pathExtension(QStringLiteral("/A/Foo.app")), QStringLiteral("app"));
    EXPECT_EQ(fs::pathExtension(QStringLiteral("/A/Foo.tar.gz")), QStringLiteral("gz"));
    EXPECT_EQ(fs::pathExtension(QStringLiteral("/A/.hidden")), QString());
    EXPECT_EQ(fs::pathExtension(QStringLiteral("/A/trailing.")), QString());
    EXPECT_EQ(fs::pathExtension(QStringLiteral("/A/NoExtension")), QString());
    EXPECT_EQ(fs::deletingExtension(QStringLiteral("Foo Bar.app")), QStringLiteral("Foo Bar"));
    EXPECT_EQ(fs::deletingExtension(QStringLiteral(".hidden")), QStringLiteral(".hidden"));
    EXPECT_EQ(fs::appending(QStringLiteral("/"), QStringLiteral("x")), QStringLiteral("/x"));
    EXPECT_EQ(fs::appending(QStringLiteral("/a"), QStringLiteral("x")), QStringLiteral("/a/x"));
}

// --- symbolic links -----------------------------------------------------------------

TEST(FileSystemTest, ResolvingSymlinks) {
    Sandbox sandbox;
    const QString real = sandbox.makeDir(QStringLiteral("real/inner"));
    sandbox.symlink(sandbox.path(QStringLiteral("real")), QStringLiteral("absolute"));
    sandbox.symlink(QStringLiteral("real/inner"), QStringLiteral("relative"));
    sandbox.symlink(QStringLiteral("../absolute/inner"), QStringLiteral("sub/up"));
    sandbox.symlink(sandbox.path(QStringLiteral("relative")), QStringLiteral("chain"));

    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("absolute/inner/"))), real);
    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("relative"))), real);
    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("sub/up"))), real);
    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("chain/missing"))),
              real + QStringLiteral("/missing"));
    // ".." goes before links are looked at: it takes back the link's own name.
    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("relative/.."))), sandbox.root());
}

TEST(FileSystemTest, LoopsAndDanglingLinks) {
    Sandbox sandbox;
    sandbox.symlink(sandbox.path(QStringLiteral("b")), QStringLiteral("a"));
    sandbox.symlink(sandbox.path(QStringLiteral("a")), QStringLiteral("b"));
    sandbox.symlink(QStringLiteral("self"), QStringLiteral("self"));
    sandbox.symlink(sandbox.path(QStringLiteral("gone/x")), QStringLiteral("dangling"));

    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("a/x"))),
              sandbox.path(QStringLiteral("a/x")));
    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("self"))),
              sandbox.path(QStringLiteral("self")));
    EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(QStringLiteral("dangling"))),
              sandbox.path(QStringLiteral("gone/x")));
    EXPECT_TRUE(fs::exists(sandbox.path(QStringLiteral("dangling"))));
    EXPECT_EQ(fs::entryType(sandbox.path(QStringLiteral("dangling"))), fs::EntryType::symlink);
    EXPECT_FALSE(fs::isDirectory(sandbox.path(QStringLiteral("a"))));
}

TEST(FileSystemTest, DirectoryTestsAndLinks) {
    Sandbox sandbox;
    const QString dir = sandbox.makeDir(QStringLiteral("dir"));
    const QString link = sandbox.symlink(dir, QStringLiteral("link"));
    EXPECT_TRUE(fs::isDirectory(link));
    EXPECT_FALSE(fs::isRealDirectory(link));
    EXPECT_TRUE(fs::isRealDirectory(dir));
    EXPECT_EQ(fs::entryType(sandbox.writeFile(QStringLiteral("f"))), fs::EntryType::file);
    EXPECT_EQ(fs::entryType(sandbox.path(QStringLiteral("none"))), fs::EntryType::missing);
}

// --- listing, moving and reading odd names --------------------------------------------

TEST(FileSystemTest, OddNamesRoundTripThroughListingStatAndMove) {
    Sandbox sandbox;
    const QString dir = sandbox.makeDir(QStringLiteral("odd"));
    const QByteArray rawNames[] = {"caf\xE9", "line\nbreak", "quote\"'\\", "\xFF\xFE", ".hidden"};
    for (const QByteArray& raw : rawNames) {
        const QByteArray full = fs::encodePath(dir) + '/' + raw;
        const int fd = ::open(full.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0) << raw.toStdString();
        ASSERT_EQ(::write(fd, raw.constData(), size_t(raw.size())), raw.size());
        ::close(fd);
    }
    const auto listed = fs::listDirectory(dir);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->size(), std::size(rawNames));
    EXPECT_EQ(fs::listDirectory(dir, false)->size(), std::size(rawNames) - 1);
    for (const QString& name : *listed) {
        const QString path = fs::appending(dir, name);
        EXPECT_EQ(fs::entryType(path), fs::EntryType::file);
        EXPECT_EQ(fs::readFile(path), fs::encodePath(name));
        const QString moved = path + QStringLiteral(".moved");
        EXPECT_TRUE(fs::moveNoReplace(path, moved));
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(fs::readFile(moved), fs::encodePath(name));
    }
    EXPECT_FALSE(fs::listDirectory(sandbox.path(QStringLiteral("missing"))));
    EXPECT_FALSE(fs::listDirectory(sandbox.writeFile(QStringLiteral("file"))));
}

TEST(FileSystemTest, MoveNeverReplaces) {
    Sandbox sandbox;
    const QString from = sandbox.writeFile(QStringLiteral("from"), "new");
    const QString file = sandbox.writeFile(QStringLiteral("taken"), "old");
    const QString dir = sandbox.makeDir(QStringLiteral("emptyDir"));
    const QString link =
        sandbox.symlink(sandbox.path(QStringLiteral("nowhere")), QStringLiteral("link"));
    for (const QString& target : {file, dir, link})
        EXPECT_FALSE(fs::moveNoReplace(from, target)) << target.toStdString();
    EXPECT_EQ(fs::readFile(file), QByteArray("old"));
    EXPECT_EQ(fs::readFile(from), QByteArray("new"));
    EXPECT_FALSE(fs::moveNoReplace(sandbox.path(QStringLiteral("absent")),
                                   sandbox.path(QStringLiteral("x"))));
    EXPECT_TRUE(fs::moveNoReplace(from, sandbox.path(QStringLiteral("free"))));
}

TEST(FileSystemTest, ReadingIsBoundedAndRefusesSpecialFiles) {
    Sandbox sandbox;
    const QString path = sandbox.writeFile(QStringLiteral("data"), "0123456789");
    EXPECT_EQ(fs::readFile(path, 4), QByteArray("0123"));
    EXPECT_EQ(fs::readFileRange(path, 3, 4), QByteArray("3456"));
    EXPECT_EQ(fs::readFileRange(path, 10, 0), QByteArray());
    EXPECT_FALSE(fs::readFileRange(path, 8, 3));
    EXPECT_FALSE(fs::readFileRange(path, 11, 0));
    EXPECT_FALSE(fs::readFileRange(path, ~quint64(0), 2));
    EXPECT_FALSE(fs::readFileRange(path, 2, ~quint64(0)));

    const QString fifo = sandbox.path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fs::encodePath(fifo).constData(), 0644), 0);
    EXPECT_FALSE(fs::readFile(fifo));
    EXPECT_FALSE(fs::readFileRange(fifo, 0, 1));
    EXPECT_FALSE(fs::readFile(sandbox.makeDir(QStringLiteral("dir"))));
}

// --- sizes ------------------------------------------------------------------------------

TEST(FileSystemTest, AllocatedSizeOfFilesFoldersAndLinks) {
    Sandbox sandbox;
    const QString big = sandbox.writeFile(QStringLiteral("big"), QByteArray(100000, 'x'));
    EXPECT_GT(fs::allocatedSize(big), 0);
    EXPECT_EQ(fs::allocatedSize(big), ownBlocks(big));

    const QString link = sandbox.symlink(big, QStringLiteral("link"));
    EXPECT_EQ(fs::allocatedSize(link), ownBlocks(link));
    EXPECT_LT(fs::allocatedSize(link), fs::allocatedSize(big));

    const QString folder = sandbox.makeDir(QStringLiteral("folder"));
    const QString a = sandbox.writeFile(QStringLiteral("folder/a"), QByteArray(5000, 'a'));
    const QString sub = sandbox.makeDir(QStringLiteral("folder/sub"));
    const QString b = sandbox.writeFile(QStringLiteral("folder/sub/b"), QByteArray(9000, 'b'));
    const QString inner = sandbox.symlink(big, QStringLiteral("folder/sub/to-big"));
    const QString dirLink =
        sandbox.symlink(sandbox.path(QString()), QStringLiteral("folder/to-root"));
    const qint64 expected =
        ownBlocks(a) + ownBlocks(sub) + ownBlocks(b) + ownBlocks(inner) + ownBlocks(dirLink);
    EXPECT_EQ(fs::allocatedSize(folder), expected); // the folder's own entry not counted
    EXPECT_EQ(fs::allocatedSize(dirLink), ownBlocks(dirLink));
    EXPECT_EQ(fs::allocatedSize(sandbox.makeDir(QStringLiteral("empty"))), 0);
    EXPECT_EQ(fs::allocatedSize(sandbox.path(QStringLiteral("missing"))), 0);
}

TEST(FileSystemTest, AllocatedSizeOfADeepTreeReachesTheBottom) {
    Sandbox sandbox;
    // Deeper than the walk keeps folders open, so the bottom is walked by path.
    QString relative = QStringLiteral("deep");
    qint64 expected = 0;
    for (int level = 0; level < 80; ++level) {
        relative += QStringLiteral("/d");
        sandbox.writeFile(relative + QStringLiteral("/f"), QByteArray(3000, 'z'));
        expected += ownBlocks(sandbox.path(relative)) +
                    ownBlocks(sandbox.path(relative + QStringLiteral("/f")));
    }
    sandbox.symlink(sandbox.path(QStringLiteral("deep")), relative + QStringLiteral("/up"));
    expected += ownBlocks(sandbox.path(relative + QStringLiteral("/up")));
    EXPECT_EQ(fs::allocatedSize(sandbox.path(QStringLiteral("deep"))), expected);
}

TEST(FileSystemTest, AllocatedSizeOfOddNames) {
    Sandbox sandbox;
    const QString folder = sandbox.makeDir(bytesName("odd-\xFF"));
    const QString file = sandbox.writeFile(bytesName("odd-\xFF/\xFE\n"), QByteArray(5000, 'z'));
    EXPECT_GT(ownBlocks(file), 0);
    EXPECT_EQ(fs::allocatedSize(folder), ownBlocks(file));
}

// --- folders and the environment -------------------------------------------------------

TEST(FileSystemTest, MakePath) {
    Sandbox sandbox;
    EXPECT_TRUE(fs::makePath(sandbox.path(QStringLiteral("x/y/z"))));
    EXPECT_TRUE(fs::isRealDirectory(sandbox.path(QStringLiteral("x/y/z"))));
    EXPECT_TRUE(fs::makePath(sandbox.path(QStringLiteral("x/y/z"))));
    sandbox.writeFile(QStringLiteral("file"));
    EXPECT_FALSE(fs::makePath(sandbox.path(QStringLiteral("file/sub"))));
}

TEST(FileSystemTest, HomeAndTemporaryFolders) {
    Sandbox sandbox;
    sandbox.activate();
    EXPECT_EQ(fs::homePath(), sandbox.home());
    EXPECT_EQ(fs::tempPath(), sandbox.path(QStringLiteral("tmp")));
    const QString link =
        sandbox.symlink(sandbox.path(QStringLiteral("tmp")), QStringLiteral("tmplink"));
    qputenv("TMPDIR", fs::encodePath(link + u'/'));
    EXPECT_EQ(fs::tempPath(), sandbox.path(QStringLiteral("tmp")));
}

// --- encoding fast paths agree with the careful ones ----------------------------

// UTF-8 of one code point, lone surrogates included, written out by hand.
QByteArray utf8Of(char32_t c) {
    QByteArray bytes;
    if (c < 0x80) {
        bytes.append(char(c));
    } else if (c < 0x800) {
        bytes.append(char(0xC0 | (c >> 6))).append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        bytes.append(char(0xE0 | (c >> 12)))
            .append(char(0x80 | ((c >> 6) & 0x3F)))
            .append(char(0x80 | (c & 0x3F)));
    } else {
        bytes.append(char(0xF0 | (c >> 18)))
            .append(char(0x80 | ((c >> 12) & 0x3F)))
            .append(char(0x80 | ((c >> 6) & 0x3F)))
            .append(char(0x80 | (c & 0x3F)));
    }
    return bytes;
}

TEST(FileSystemPathEncoding, everyCharacterOfTheBasicPlaneEncodesAsUtf8) {
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (c >= 0xDC80 && c <= 0xDCFF)
            continue; // raw bytes, below
        const QString text = QStringLiteral("a/") + QChar(char16_t(c));
        ASSERT_EQ(fs::encodePath(text), QByteArray("a/") + utf8Of(c)) << std::hex << quint32(c);
    }
    EXPECT_EQ(fs::encodePath(QString::fromUcs4(U"x\U0001F600", 2)), "x" + utf8Of(0x1F600));
}

TEST(FileSystemPathEncoding, rawBytesRoundTrip) {
    const QByteArray raw("caf\xC3 na\xEFve\xFF/\x80", 13);
    const QString decoded = fs::decodePath(raw);
    EXPECT_EQ(decoded.at(3).unicode(), 0xDCC3);
    EXPECT_EQ(fs::encodePath(decoded), raw);
    // A surrogate elsewhere in the path takes the careful way for the whole.
    EXPECT_EQ(fs::encodePath(decoded + QString::fromUcs4(U"\U0001F600", 1)), raw + utf8Of(0x1F600));
}

TEST(FileSystemPathEncoding, asciiAndUtf8Decode) {
    QByteArray ascii;
    for (int byte = 1; byte < 0x80; ++byte)
        ascii.append(char(byte));
    EXPECT_EQ(fs::decodePath(ascii), QString::fromLatin1(ascii));
    EXPECT_EQ(fs::encodePath(fs::decodePath(ascii)), ascii);
    const QByteArray mixed = "Дом/" + utf8Of(0x1F600) + "/x";
    EXPECT_EQ(fs::decodePath(mixed), QString::fromUtf8(mixed));
    EXPECT_EQ(fs::decodePath(mixed.constData()), QString::fromUtf8(mixed));
}

} // namespace
