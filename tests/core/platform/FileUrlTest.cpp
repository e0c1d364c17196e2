// File URLs, as drops deliver them, turned back into paths without losing a byte.

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QUrl>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

TEST(FileUrlTest, PlainAndUnicodePathsComeBackAsTheyWere) {
    for (const QString& path :
         {u"/Applications/Foo Bar.app"_s, u"/tmp/Звук 100%.app"_s, u"/tmp/a#b?c.app"_s, u"/"_s}) {
        EXPECT_EQ(fs::pathFromFileUrl(QUrl::fromLocalFile(path)), path);
    }
}

TEST(FileUrlTest, BytesThatAreNotUtf8SurviveTheUrl) {
    const QUrl url = QUrl::fromEncoded("file:///tmp/a%FFb%C3%A9.app");
    const QString path = fs::pathFromFileUrl(url);
    EXPECT_EQ(fs::encodePath(path), QByteArray("/tmp/a\xff"
                                               "b\xc3\xa9.app"));
}

TEST(FileUrlTest, ADroppedFileWithAnOddNameCanBeFoundAgain) {
    test::Sandbox sandbox;
    const QString name = fs::decodePath(QByteArray("odd\xfe\"name\\.app"));
    const QString original = sandbox.makeDir(name);
    const QByteArray encoded = fs::encodePath(original).toPercentEncoding("/");
    const QString path = fs::pathFromFileUrl(QUrl::fromEncoded("file://" + encoded));
    EXPECT_EQ(path, original);
    EXPECT_TRUE(fs::isRealDirectory(path));
}

TEST(FileUrlTest, UrlsThatAreNotFilesGiveNothing) {
    EXPECT_TRUE(fs::pathFromFileUrl(QUrl(u"https://example.org/Foo.app"_s)).isEmpty());
    EXPECT_TRUE(fs::pathFromFileUrl(QUrl()).isEmpty());
}
