#include "platform/FileSystem.h"

#include "Sandbox.h"

#include <gtest/gtest.h>

namespace fs = moss::fs;
using namespace Qt::StringLiterals;
using moss::test::Sandbox;

namespace {

// Bytes that are not UTF-8 become lone surrogates U+DC80..U+DCFF and back;
// the fast paths (ASCII, no surrogates) agree with the careful one.
TEST(FileSystemTest, PathsRoundTripBytesAndSplitIntoParts) {
    for (const QByteArray& bytes :
         {"plain"_ba, "\xD0\x9F\xD1\x80"_ba, "\xF0\x9F\x98\x80"_ba, "\xFF\xFE"_ba, "caf\xE9"_ba,
          "\xC0\xAF"_ba, "\xED\xA0\x80"_ba, "\xED\xB2\x80"_ba, "\xF4\x90\x80\x80"_ba, "\xE2\x82"_ba,
          "a\x80z"_ba, "\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF"_ba})
        EXPECT_EQ(fs::encodePath(fs::decodePath(bytes)), bytes) << bytes.toHex().toStdString();
    EXPECT_EQ(fs::decodePath("caf\xE9"), u"caf"_s + QChar(0xDCE9));
    // Boundary code points, plain and beside a surrogate (the careful way).
    for (const auto& [c, utf8] : {std::pair<char16_t, QByteArray>{0x7F, "\x7F"},
                                  {0x80, "\xC2\x80"},
                                  {0xDC7F, "\xED\xB1\xBF"},
                                  {0xDD00, "\xED\xB4\x80"},
                                  {0xFFFF, "\xEF\xBF\xBF"}}) {
        EXPECT_EQ(fs::encodePath(u"a/"_s + QChar(c)), "a/" + utf8) << std::hex << int(c);
        EXPECT_EQ(fs::encodePath(QString(QChar(0xDCFF)) + QChar(c)), "\xFF" + utf8)
            << std::hex << int(c);
    }

    for (const auto& [input, expected] :
         {std::pair{u"/a/./b/../c"_s, u"/a/c"_s}, {u"/../a/.."_s, u"/"_s}, {u"//x"_s, u"/x"_s}})
        EXPECT_EQ(fs::standardized(input), expected) << input.toStdString();
    const std::tuple<QString, QString, QString, QString> parts[] = {
        // path, lastComponent, parentPath, pathExtension
        {u"/A/Foo.app/"_s, u"Foo.app"_s, u"/A"_s, u"app"_s},
        {u"/"_s, u"/"_s, u"/"_s, QString()},
        {u"/A/.hidden"_s, u".hidden"_s, u"/A"_s, QString()},
    };
    for (const auto& [path, last, parent, extension] : parts) {
        EXPECT_EQ(fs::lastComponent(path), last) << path.toStdString();
        EXPECT_EQ(fs::parentPath(path), parent) << path.toStdString();
        EXPECT_EQ(fs::pathExtension(path), extension) << path.toStdString();
    }
    EXPECT_EQ(fs::deletingExtension(u"Foo Bar.app"_s), u"Foo Bar"_s);
    EXPECT_EQ(fs::appending(u"/"_s, u"x"_s), u"/x"_s);
}

TEST(FileSystemTest, LinksOddNamesBoundedReadsAndFileUrls) {
    Sandbox sandbox;
    const QString real = sandbox.makeDir(u"real/inner"_s);
    for (const auto& [target, link] : {std::pair{sandbox.path(u"real"_s), u"absolute"_s},
                                       {u"real/inner"_s, u"relative"_s},
                                       {sandbox.path(u"relative"_s), u"chain"_s},
                                       {sandbox.path(u"b"_s), u"a"_s},
                                       {sandbox.path(u"a"_s), u"b"_s},
                                       {sandbox.path(u"gone/x"_s), u"dangling"_s}})
        sandbox.symlink(target, link);
    const std::pair<QString, QString> resolved[] = {
        {u"relative"_s, real},
        {u"chain/missing"_s, real + u"/missing"_s},
        // ".." goes before links are looked at: it takes back the link's own name.
        {u"relative/.."_s, sandbox.root()},
        {u"a/x"_s, sandbox.path(u"a/x"_s)}, // a loop
        {u"dangling"_s, sandbox.path(u"gone/x"_s)},
    };
    for (const auto& [relative, path] : resolved)
        EXPECT_EQ(fs::resolvingSymlinks(sandbox.path(relative)), path) << relative.toStdString();
    EXPECT_EQ(fs::entryType(sandbox.path(u"dangling"_s)), fs::EntryType::symlink);
    EXPECT_EQ(fs::symlinkTarget(sandbox.path(u"relative"_s)), u"real/inner"_s);
    EXPECT_FALSE(fs::isRealDirectory(sandbox.path(u"absolute"_s)));

    const QString dir = sandbox.makeDir(u"odd"_s);
    const QByteArray rawNames[] = {"caf\xE9", "line\nbreak", "quote\"'\\", "\xFF\xFE", ".hidden"};
    for (const QByteArray& raw : rawNames)
        sandbox.writeFile(u"odd/"_s + fs::decodePath(raw), raw);
    const auto listed = fs::listDirectory(dir);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->size(), std::size(rawNames));
    EXPECT_EQ(fs::listDirectory(dir, false)->size(), std::size(rawNames) - 1);
    for (const QString& name : *listed) {
        const QString path = fs::appending(dir, name);
        EXPECT_EQ(fs::readFile(path), fs::encodePath(name));
        EXPECT_TRUE(fs::moveNoReplace(path, path + u".moved"_s));
        EXPECT_EQ(fs::readFile(path + u".moved"_s), fs::encodePath(name));
    }

    const QString from = sandbox.writeFile(u"from"_s, "new");
    for (const QString& target : {sandbox.writeFile(u"taken"_s, "old"), sandbox.makeDir(u"empty"_s),
                                  sandbox.symlink(sandbox.path(u"nowhere"_s), u"link"_s)})
        EXPECT_FALSE(fs::moveNoReplace(from, target)) << target.toStdString();
    EXPECT_EQ(fs::readFile(sandbox.path(u"taken"_s)), QByteArray("old"));
    EXPECT_TRUE(fs::moveNoReplace(from, sandbox.path(u"free"_s)));

    // Reads are bounded, refuse what is not a regular file, and leave no file
    // open behind them.
    const auto openFiles = [] { return fs::listDirectory(u"/proc/self/fd"_s).value().size(); };
    const qsizetype open = openFiles();
    const QString path = sandbox.writeFile(u"data"_s, "0123456789");
    EXPECT_EQ(fs::readFile(path, 4), QByteArray("0123"));
    for (const auto& [offset, length, expected] :
         {std::tuple<quint64, quint64, QByteArray>{3, 4, "3456"}, {10, 0, ""}, {9, 1, "9"}})
        EXPECT_EQ(fs::readFileRange(path, offset, length), expected) << offset << ' ' << length;
    for (const auto& [offset, length] :
         {std::pair<quint64, quint64>{8, 3}, {11, 0}, {~quint64(0), 2}, {2, ~quint64(0)}})
        EXPECT_FALSE(fs::readFileRange(path, offset, length)) << offset << ' ' << length;
    const QString fifo = sandbox.makeFifo(u"fifo"_s);
    EXPECT_FALSE(fs::readFile(fifo));
    EXPECT_FALSE(fs::readFileRange(fifo, 0, 1));
    EXPECT_FALSE(fs::readFile(sandbox.makeDir(u"dir"_s)));
    EXPECT_EQ(openFiles(), open);

    // File URLs, as drops deliver them, back into paths without losing a byte.
    EXPECT_EQ(fs::pathFromFileUrl(QUrl::fromLocalFile(u"/tmp/Звук 100%#?.app"_s)),
              u"/tmp/Звук 100%#?.app"_s);
    EXPECT_EQ(fs::encodePath(fs::pathFromFileUrl(QUrl::fromEncoded("file:///tmp/a%FFb%C3%A9.app"))),
              "/tmp/a\xff"
              "b\xc3\xa9.app"_ba);
    EXPECT_TRUE(fs::pathFromFileUrl(QUrl(u"https://example.org/Foo.app"_s)).isEmpty());
}

} // namespace
