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
#include <QVariantList>
#include <QtEndian>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace plist = moss::plist;
using namespace Qt::StringLiterals;
using moss::test::Sandbox;

namespace {

QVariantMap sample() {
    return {
        {QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.vendor.Ünïcode")},
        {QStringLiteral("count"), qint64(42)},
        {QStringLiteral("negative"), qint64(-7)},
        {QStringLiteral("ratio"), 0.5},
        {QStringLiteral("enabled"), true},
        {QStringLiteral("when"), QDateTime(QDate(2024, 3, 1), QTime(12, 30), QTimeZone::utc())},
        {QStringLiteral("blob"), QByteArray("\x00\x01\xff", 3)},
        {QStringLiteral("list"), QVariantList{QStringLiteral("a"), qint64(1)}},
        {QStringLiteral("nested"), QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}}},
    };
}

QByteArray xml(const QVariantMap& dict) {
    return plist::dataFromDictionary(dict, plist::Format::xml);
}
QByteArray binary(const QVariantMap& dict) {
    return plist::dataFromDictionary(dict, plist::Format::binary);
}

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";

QByteArray xmlDocument(const QByteArray& body) {
    return kXmlHead + body + "</plist>";
}

// An XML dictionary {a: [[...[]...]]} with `levels` containers in all.
QByteArray nestedXml(int levels) {
    QByteArray body = "<dict><key>a</key>";
    body += QByteArray("<array>").repeated(levels - 1);
    body += QByteArray("</array>").repeated(levels - 1);
    return xmlDocument(body + "</dict>");
}

// A binary property list from objects (raw bytes), with 4-byte offsets and
// references; the first object is the root.
QByteArray binaryPlist(const QList<QByteArray>& objects) {
    QByteArray out = "bplist00";
    QList<quint32> offsets;
    for (const QByteArray& object : objects) {
        offsets.append(quint32(out.size()));
        out += object;
    }
    const quint64 table = quint64(out.size());
    char word[8];
    for (quint32 offset : offsets) {
        qToBigEndian(offset, word);
        out.append(word, 4);
    }
    out += QByteArray(6, '\0') + QByteArray("\x04\x04", 2);
    for (quint64 value : {quint64(objects.size()), quint64(0), table}) {
        qToBigEndian(value, word);
        out.append(word, 8);
    }
    return out;
}

QByteArray reference(quint32 index) {
    char word[4];
    qToBigEndian(index, word);
    return QByteArray(word, 4);
}

// {a: x} where object 2 starts a chain or graph of arrays built by `array`.
QList<QByteArray> rootWithKeyA() {
    return {QByteArray("\xD1", 1) + reference(1) + reference(2), QByteArray("\x51"
                                                                            "a",
                                                                            2)};
}

// {a: [[...[]...]]} with `levels` containers in all, each array in its own object.
QByteArray nestedBinary(int levels) {
    QList<QByteArray> objects = rootWithKeyA();
    for (int i = 1; i < levels - 1; ++i)
        objects.append(QByteArray("\xA1", 1) + reference(quint32(objects.size() + 1)));
    objects.append(QByteArray("\xA0", 1));
    return binaryPlist(objects);
}

// {a: x} where every array holds the next one twice: 2^levels leaves once
// expanded, from a few hundred bytes.
QByteArray sharedBinary(int levels) {
    QList<QByteArray> objects = rootWithKeyA();
    for (int i = 0; i < levels; ++i) {
        const quint32 next = quint32(objects.size() + 1);
        objects.append(QByteArray("\xA2", 1) + reference(next) + reference(next));
    }
    objects.append(QByteArray("\x09", 1)); // true
    return binaryPlist(objects);
}

int arrayLevels(QVariant value) {
    int levels = 0;
    while (value.typeId() == QMetaType::QVariantList && !value.toList().isEmpty()) {
        ++levels;
        value = value.toList().first();
    }
    return levels + (value.typeId() == QMetaType::QVariantList ? 1 : 0);
}

// --- well-formed input -------------------------------------------------------

TEST(PropertyListTest, BothFormsRoundTripEveryType) {
    for (const QByteArray& data : {xml(sample()), binary(sample())}) {
        const auto dict = plist::dictionaryFromData(data);
        ASSERT_TRUE(dict);
        EXPECT_EQ(*dict, sample());
    }
    EXPECT_TRUE(binary(sample()).startsWith("bplist"));
    EXPECT_TRUE(xml(sample()).contains("<plist"));
}

TEST(PropertyListTest, ByteOrderMarkAndUtf16AreAccepted) {
    const QString text =
        QString::fromUtf8(xml(sample()))
            .replace(QStringLiteral("encoding=\"UTF-8\""), QStringLiteral("encoding=\"UTF-16\""));
    const auto utf16 = [&](QStringEncoder::Encoding encoding, bool bom) {
        QStringEncoder encoder(encoding, bom ? QStringEncoder::Flag::WriteBom
                                             : QStringEncoder::Flag::Default);
        return QByteArray(encoder(text));
    };
    const std::pair<const char*, QByteArray> forms[] = {
        {"utf-8 with mark", "\xEF\xBB\xBF" + xml(sample())},
        {"utf-16le with mark", utf16(QStringEncoder::Utf16LE, true)},
        {"utf-16be with mark", utf16(QStringEncoder::Utf16BE, true)},
        {"utf-16le", utf16(QStringEncoder::Utf16LE, false)},
        {"utf-16be", utf16(QStringEncoder::Utf16BE, false)},
    };
    for (const auto& [what, data] : forms)
        EXPECT_EQ(plist::dictionaryFromData(data), sample()) << what;
}

TEST(PropertyListTest, StringValueOnlyForStrings) {
    const QVariantMap dict = sample();
    EXPECT_EQ(plist::stringValue(dict, QStringLiteral("CFBundleIdentifier")),
              QStringLiteral("com.vendor.Ünïcode"));
    for (const char* key : {"count", "enabled", "list", "nested", "blob", "missing"})
        EXPECT_FALSE(plist::stringValue(dict, QString::fromUtf8(key))) << key;
}

TEST(PropertyListTest, OnlyADictionaryRootIsADictionary) {
    const QByteArray roots[] = {
        xmlDocument("<array><string>x</string></array>"),
        xmlDocument("<string>x</string>"),
        xmlDocument("<integer>1</integer>"),
        binaryPlist({QByteArray("\x51x", 2)}),
        binaryPlist({QByteArray("\xA1", 1) + reference(1), QByteArray("\x08", 1)}),
    };
    for (const QByteArray& data : roots)
        EXPECT_FALSE(plist::dictionaryFromData(data)) << data.toStdString();
    EXPECT_EQ(plist::dictionaryFromData(xmlDocument("<dict/>")), QVariantMap());
}

// --- malformed input ---------------------------------------------------------

TEST(PropertyListTest, MalformedInputGivesNothing) {
    const QByteArray inputs[] = {
        QByteArray(),
        QByteArray("\xEF\xBB\xBF"),
        QByteArray("\xFF\xFE"),
        QByteArray("plain text"),
        QByteArray(100, '\0'),
        QByteArray("bplist00"),
        xmlDocument("<dict><key>a</key>"),
        xmlDocument("<dict><key>a</key><string>x</dict>"),
        QByteArray("<!-- never closed"),
    };
    for (const QByteArray& data : inputs)
        EXPECT_FALSE(plist::dictionaryFromData(data)) << data.toStdString();
}

TEST(PropertyListTest, EveryTruncationIsHandled) {
    for (const QByteArray& whole : {xml(sample()), binary(sample())}) {
        for (qsizetype length = 0; length < whole.size(); ++length) {
            // A cut after the root's end still reads; any result holds only
            // keys of the whole.
            const auto dict = plist::dictionaryFromData(whole.left(length));
            for (const QString& key : dict.value_or(QVariantMap()).keys())
                EXPECT_TRUE(sample().contains(key)) << length;
        }
    }
}

TEST(PropertyListTest, RandomMutationsNeverCrash) {
    std::mt19937 random(1234);
    for (const QByteArray& seed :
         {xml(sample()), binary(sample()), nestedBinary(20), sharedBinary(12)}) {
        for (int round = 0; round < 1000; ++round) {
            QByteArray data = seed;
            const int changes = 1 + int(random() % 6);
            for (int i = 0; i < changes; ++i)
                data[qsizetype(random() % quint32(data.size()))] = char(random());
            const auto dict = plist::dictionaryFromData(data);
            EXPECT_LE(dict.value_or(QVariantMap()).size(), sample().size() + 1) << round;
        }
    }
}

TEST(PropertyListTest, OversizedInputIsRefused) {
    QByteArray padded = xml(sample());
    padded.append(QByteArray(16 * 1024 * 1024, ' '));
    EXPECT_FALSE(plist::dictionaryFromData(padded));
}

// --- nesting and expansion -----------------------------------------------------

TEST(PropertyListTest, NestingUpTo128LevelsIsRead) {
    for (const QByteArray& data : {nestedXml(128), nestedBinary(128)}) {
        const auto dict = plist::dictionaryFromData(data);
        ASSERT_TRUE(dict);
        EXPECT_EQ(arrayLevels(dict->value(QStringLiteral("a"))), 127);
    }
}

TEST(PropertyListTest, DeeperNestingIsRefused) {
    EXPECT_FALSE(plist::dictionaryFromData(nestedXml(129)));
    EXPECT_FALSE(plist::dictionaryFromData(nestedBinary(129)));
}

TEST(PropertyListTest, NestingThatWouldOverflowTheParserIsRefused) {
    EXPECT_FALSE(plist::dictionaryFromData(nestedXml(1000000)));
    EXPECT_FALSE(plist::dictionaryFromData(nestedBinary(300000)));
}

TEST(PropertyListTest, MarkupThatIsNotAnElementDoesNotCountAsNesting) {
    QByteArray body = "<dict><key>a</key><string><![CDATA[";
    body += QByteArray("<array>").repeated(200) + "]]></string><!-- ";
    body +=
        QByteArray("<dict>").repeated(200) + " --><key>b</key><array/><key>c</key><dict/></dict>";
    const auto dict = plist::dictionaryFromData(xmlDocument(body));
    ASSERT_TRUE(dict);
    EXPECT_TRUE(dict->value(QStringLiteral("a")).toString().startsWith(QStringLiteral("<array>")));
    EXPECT_EQ(dict->value(QStringLiteral("b")), QVariantList());
}

TEST(PropertyListTest, SharedObjectsAreReadUntilTheirExpansionGrowsTooLarge) {
    const auto small = plist::dictionaryFromData(sharedBinary(4));
    ASSERT_TRUE(small);
    EXPECT_EQ(arrayLevels(small->value(QStringLiteral("a"))), 4);
    // 2^40 values once expanded, from 300 bytes.
    EXPECT_FALSE(plist::dictionaryFromData(sharedBinary(40)));
}

TEST(PropertyListTest, Utf16KeysWithNulAreRefusedAndOtherUtf16Read) {
    const QByteArray nulUtf16Key =
        binaryPlist({QByteArray("\xD1", 1) + reference(1) + reference(2),
                     QByteArray("\x62\x00x\x00\x00", 5), QByteArray("\x08", 1)});
    EXPECT_FALSE(plist::dictionaryFromData(nulUtf16Key));
    const QByteArray utf16 =
        binaryPlist(rootWithKeyA() + QList<QByteArray>{QByteArray("\x62\x04\x1f\x00x", 5)});
    EXPECT_EQ(plist::dictionaryFromData(utf16),
              QVariantMap({{QStringLiteral("a"), QStringLiteral("\u041fx")}}));
}

TEST(PropertyListTest, SelfReferenceAndStrayReferencesAreRefused) {
    const QByteArray loop =
        binaryPlist({QByteArray("\xD1", 1) + reference(1) + reference(0), QByteArray("\x51"
                                                                                     "a",
                                                                                     2)});
    const QByteArray stray =
        binaryPlist({QByteArray("\xD1", 1) + reference(1) + reference(9), QByteArray("\x51"
                                                                                     "a",
                                                                                     2)});
    QByteArray badRoot = binaryPlist(rootWithKeyA() + QList<QByteArray>{QByteArray("\x08", 1)});
    badRoot[badRoot.size() - 9] = 5; // root index beyond the objects
    for (const QByteArray& data : {loop, stray, badRoot})
        EXPECT_FALSE(plist::dictionaryFromData(data));
}

// --- files -------------------------------------------------------------------

TEST(PropertyListTest, FilesAreReadAndSpecialFilesRefused) {
    Sandbox sandbox;
    EXPECT_EQ(
        plist::dictionaryFromFile(sandbox.writeFile(QStringLiteral("a.plist"), binary(sample()))),
        sample());
    EXPECT_FALSE(plist::dictionaryFromFile(sandbox.path(QStringLiteral("missing.plist"))));
    EXPECT_FALSE(plist::dictionaryFromFile(sandbox.makeDir(QStringLiteral("dir.plist"))));
    const QString fifo = sandbox.path(QStringLiteral("fifo.plist"));
    ASSERT_EQ(::mkfifo(moss::fs::encodePath(fifo).constData(), 0644), 0);
    EXPECT_FALSE(plist::dictionaryFromFile(fifo));
    const QString odd =
        sandbox.writeFile(moss::fs::decodePath(QByteArray("\xFF\"\\\n.plist")), xml(sample()));
    EXPECT_EQ(plist::dictionaryFromFile(odd), sample());
}

} // namespace

// --- strings and keys with a NUL --------------------------------------------------

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
