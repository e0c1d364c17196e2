// Property lists whose strings hold a NUL: libplist aborts when such a string
// is copied out, so these once took the whole process down.

#include "platform/PropertyList.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

TEST(PropertyListTest, ABinaryStringWithANulInsideIsReadWithoutAborting) {
    const QByteArray data("bplist00\xd1\x01\x02\x55Label\x53\x61\x00\x62\x08\x0b\x11"
                          "\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03"
                          "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15",
                          56);
    const std::optional<QVariantMap> dict = plist::dictionaryFromData(data);
    ASSERT_TRUE(dict);
    // libplist keeps the text up to the NUL.
    EXPECT_TRUE(plist::stringValue(*dict, u"Label"_s).value_or(QString()).startsWith(u'a'));
}

TEST(PropertyListTest, TextWithANulCharacterIsMalformed) {
    const QString xml = u"<plist><dict><key>Label</key><string>a\0b</string></dict></plist>"_s;
    const QByteArray utf16 = QByteArray("\xff\xfe") +
                             QByteArray(reinterpret_cast<const char*>(xml.utf16()), xml.size() * 2);
    EXPECT_FALSE(plist::dictionaryFromData(utf16));
    EXPECT_FALSE(plist::dictionaryFromData(xml.toUtf8()));
    const QString plain = QString(xml).remove(QChar(0));
    EXPECT_TRUE(plist::dictionaryFromData(plain.toUtf8()));
}

TEST(PropertyListTest, TheFuzzerFindingIsRefused) {
    const QString path = QStringLiteral(MOSS_SOURCE_DIR) +
                         u"/tests/fuzz/corpus/PropertyListFuzz/regression-utf16-nul"_s;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(plist::dictionaryFromData(file.readAll()));
}
