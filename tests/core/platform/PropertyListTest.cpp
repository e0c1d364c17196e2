// Reading property lists: both forms, text encodings, malformed and hostile
// input (deep nesting, exponential expansion, and strings holding a NUL,
// which once made libplist abort the whole process).

#include "platform/PropertyList.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QFile>
#include <QStringEncoder>
#include <QTimeZone>
#include <QtEndian>
#include <gtest/gtest.h>

namespace plist = moss::plist;
using namespace Qt::StringLiterals;

namespace {

QVariantMap sample() {
    return {
        {u"CFBundleIdentifier"_s, u"com.vendor.Ünïcode"_s},
        {u"count"_s, qint64(42)},
        {u"ratio"_s, 0.5},
        {u"enabled"_s, true},
        {u"when"_s, QDateTime(QDate(2024, 3, 1), QTime(12, 30), QTimeZone::utc())},
        {u"blob"_s, QByteArray("\x00\x01\xff", 3)},
        {u"list"_s, QVariantList{u"a"_s, qint64(1)}},
        {u"nested"_s, QVariantMap{{u"k"_s, u"v"_s}}},
        // Long enough that the binary form's offsets are wider than its references.
        {u"long"_s, QString(300, u'x')},
    };
}
const QByteArray kXml = plist::dataFromDictionary(sample(), plist::Format::xml);
const QByteArray kBinary = plist::dataFromDictionary(sample(), plist::Format::binary);

// An XML dictionary {a: [[...[]...]]} with `levels` containers in all.
QByteArray nestedXml(int levels) {
    return "<?xml version=\"1.0\"?><plist><dict><key>a</key>" +
           QByteArray("<array>").repeated(levels - 1) +
           QByteArray("</array>").repeated(levels - 1) + "</dict></plist>";
}

QByteArray bigEndian(quint64 value, int width = 4) {
    char word[8];
    qToBigEndian(value, word);
    return QByteArray(word + 8 - width, width);
}

// A binary property list from objects (raw bytes), with 4-byte offsets and
// references (bigEndian(index)); the first object is the root.
QByteArray binaryPlist(const QList<QByteArray>& objects) {
    QByteArray out = "bplist00";
    QByteArray offsets;
    for (const QByteArray& object : objects) {
        offsets += bigEndian(quint64(out.size()));
        out += object;
    }
    const quint64 table = quint64(out.size());
    return out + offsets + QByteArray(6, '\0') + "\x04\x04" +
           bigEndian(quint64(objects.size()), 8) + bigEndian(0, 8) + bigEndian(table, 8);
}

// A dictionary of one entry, by references.
QByteArray entry(quint32 key, quint32 value) {
    return "\xD1" + bigEndian(key) + bigEndian(value);
}

// {a: x} where object 2 is x, and the objects that follow it.
QList<QByteArray> keyA(const QList<QByteArray>& rest) {
    return QList<QByteArray>{entry(1, 2), "Qa"} + rest;
}

// {a: x} where x is the first of `count` arrays, each holding the next one
// `refs` times, the last holding `leaf`: nesting, or with two references
// 2^count leaves once expanded, from a few hundred bytes.
QByteArray arraysBinary(int count, int refs, const QByteArray& leaf) {
    QList<QByteArray> arrays;
    for (int i = 0; i < count; ++i)
        arrays.append(char(0xA0 + refs) + bigEndian(arrays.size() + 3).repeated(refs));
    return binaryPlist(keyA(arrays + QList<QByteArray>{leaf}));
}

int arrayLevels(QVariant value) {
    int levels = 0;
    for (; value.typeId() == QMetaType::QVariantList; ++levels)
        value = value.toList().value(0);
    return levels;
}

TEST(PropertyListTest, EveryFormEdgesAndHostileInput) {
    QStringEncoder utf16(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
    const QByteArray utf16Xml = utf16(QString::fromUtf8(kXml).replace(u"UTF-8"_s, u"UTF-16"_s));
    const std::pair<const char*, QByteArray> forms[] = {
        {"xml", kXml},
        {"binary", kBinary},
        {"utf-16be with mark", utf16Xml},
    };
    for (const auto& [what, data] : forms)
        EXPECT_EQ(plist::dictionaryFromData(data), sample()) << what;
    EXPECT_EQ(plist::stringValue(sample(), u"CFBundleIdentifier"_s), u"com.vendor.Ünïcode"_s);
    for (const QString& key : {u"count"_s, u"blob"_s, u"missing"_s})
        EXPECT_FALSE(plist::stringValue(sample(), key)) << key.toStdString();

    // Files with odd names are read; what is not a regular file is refused.
    moss::test::Sandbox sandbox;
    EXPECT_EQ(plist::dictionaryFromFile(sandbox.writeFile(u"odd\n.plist"_s, kBinary)), sample());
    EXPECT_FALSE(plist::dictionaryFromFile(sandbox.makeFifo(u"fifo.plist"_s)));

    // Hostile input that is still read: nesting to the limit, and strings with a
    // NUL (kept up to it).
    for (const QByteArray& data : {nestedXml(128), arraysBinary(126, 1, "\xA0")})
        EXPECT_EQ(arrayLevels(plist::dictionaryFromData(data).value_or(QVariantMap())[u"a"_s]),
                  127);
    const auto nulInside = plist::dictionaryFromData(binaryPlist(keyA({"Sa\0b"_ba})));
    EXPECT_TRUE(plist::stringValue(nulInside.value_or(QVariantMap()), u"a"_s)
                    .value_or(QString())
                    .startsWith(u'a'));

    QFile finding(QStringLiteral(MOSS_SOURCE_DIR) +
                  u"/tests/fuzz/corpus/PropertyListFuzz/regression-utf16-nul"_s);
    ASSERT_TRUE(finding.open(QIODevice::ReadOnly));
    const QString nulText = u"<plist><dict><key>L</key><string>a\0b</string></dict></plist>"_s;
    const std::pair<const char*, QByteArray> inputs[] = {
        {"129 levels", nestedXml(129)},
        {"oversized", kXml + QByteArray(16 * 1024 * 1024, ' ')},
        {"300000 binary levels", arraysBinary(300000, 1, "\xA0")},
        {"2^40 values", arraysBinary(40, 2, "\x09")}, // from 300 bytes
        {"refers to itself", binaryPlist({entry(1, 0), "Qa"})},
        {"UTF-16 text with a NUL",
         "\xff\xfe" +
             QByteArray(reinterpret_cast<const char*>(nulText.utf16()), nulText.size() * 2)},
        {"fuzzer finding", finding.readAll()},
    };
    for (const auto& [what, data] : inputs)
        EXPECT_FALSE(plist::dictionaryFromData(data)) << what;
    EXPECT_TRUE(plist::dictionaryFromData(QString(nulText).remove(QChar(0)).toUtf8()));
}

} // namespace
