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

// A dictionary key with a NUL inside made libplist abort while the dictionary
// was read: such a list is malformed.
TEST(PropertyListTest, ABinaryKeyWithANulInsideIsRefused) {
    const auto binaryDictionary = [](char keyByte) {
        // { "a?b": "x" } with one-byte offsets and references.
        QByteArray data("bplist00"
                        "\xd1\x01\x02"  // object 0 at 8: dictionary, key 1, value 2
                        "\x53\x61?\x62" // object 1 at 11: ASCII string "a?b"
                        "\x51\x78"      // object 2 at 15: ASCII string "x"
                        "\x08\x0b\x0f", // offset table at 17
                        20);
        data[13] = keyByte;
        const char trailer[32] = {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 3,
                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 17};
        return data + QByteArray(trailer, 32);
    };
    const std::optional<QVariantMap> clean = plist::dictionaryFromData(binaryDictionary('-'));
    ASSERT_TRUE(clean);
    EXPECT_EQ(plist::stringValue(*clean, u"a-b"_s), u"x"_s);
    EXPECT_FALSE(plist::dictionaryFromData(binaryDictionary('\0')));
}

TEST(PropertyListTest, ABinaryListWithALyingTrailerIsRefused) {
    QByteArray data = plist::dataFromDictionary({{u"Key"_s, u"value"_s}}, plist::Format::binary);
    ASSERT_TRUE(plist::dictionaryFromData(data));
    data[data.size() - 1] = char(0xff); // offset table beyond the end
    EXPECT_FALSE(plist::dictionaryFromData(data));
}
