#include "platform/ByteCount.h"

#include <gtest/gtest.h>
#include <limits>
#include <utility>

namespace moss {
namespace {

void expectTexts(std::initializer_list<std::pair<qint64, const char16_t*>> table) {
    for (const auto& [bytes, text] : table)
        EXPECT_EQ(formatByteCount(bytes), QString::fromUtf16(text)) << bytes;
}

TEST(ByteCount, bytesTakeTheRussianNounForm) {
    expectTexts({
        {0, u"0 байт"},
        {1, u"1 байт"},
        {2, u"2 байта"},
        {4, u"4 байта"},
        {5, u"5 байт"},
        {11, u"11 байт"},
        {12, u"12 байт"},
        {14, u"14 байт"},
        {21, u"21 байт"},
        {22, u"22 байта"},
        {111, u"111 байт"},
        {112, u"112 байт"},
        {122, u"122 байта"},
        {999, u"999 байт"},
    });
}

TEST(ByteCount, kilobytesAreWholeAndRoundHalfUp) {
    expectTexts({
        {1'000, u"1 КБ"},
        {1'499, u"1 КБ"},
        {1'500, u"2 КБ"},
        {950'000, u"950 КБ"},
        {999'499, u"999 КБ"},
    });
}

TEST(ByteCount, roundingToAThousandPromotesTheUnit) {
    expectTexts({
        {999'500, u"1 МБ"},
        {999'999, u"1 МБ"},
        {999'949'999, u"999,9 МБ"},
        {999'950'000, u"1 ГБ"},
        {999'994'999'999, u"999,99 ГБ"},
        {999'995'000'000, u"1 ТБ"},
    });
}

TEST(ByteCount, megabytesShowOneDecimal) {
    expectTexts({
        {1'000'000, u"1 МБ"},
        {1'049'999, u"1 МБ"},
        {1'050'000, u"1,1 МБ"},
        {1'500'000, u"1,5 МБ"},
        {12'000'000, u"12 МБ"},
        {12'340'000, u"12,3 МБ"},
    });
}

TEST(ByteCount, gigabytesAndTerabytesShowTwoDecimals) {
    expectTexts({
        {1'000'000'000, u"1 ГБ"},
        {1'004'999'999, u"1 ГБ"},
        {1'005'000'000, u"1,01 ГБ"},
        {1'230'000'000, u"1,23 ГБ"},
        {1'234'999'999, u"1,23 ГБ"},
        {1'235'000'000, u"1,24 ГБ"},
        {2'500'000'000, u"2,5 ГБ"},
        {3'000'000'000'000, u"3 ТБ"},
        {4'560'000'000'000, u"4,56 ТБ"},
    });
}

TEST(ByteCount, terabytesAreTheLargestUnit) {
    expectTexts({
        {1'000'000'000'000'000, u"1000 ТБ"},
        {std::numeric_limits<qint64>::max(), u"9223372,04 ТБ"},
    });
}

TEST(ByteCount, negativeCountsKeepTheirSign) {
    expectTexts({
        {-21, u"-21 байт"},
        {-1'050'000, u"-1,1 МБ"},
        {std::numeric_limits<qint64>::min(), u"-9223372,04 ТБ"},
    });
}

TEST(ByteCount, separatorsArePlain) {
    const QString text = formatByteCount(1'230'000'000);
    EXPECT_EQ(text.count(u' '), 1);
    EXPECT_FALSE(text.contains(u'.'));
    EXPECT_FALSE(text.contains(QChar(0x00A0)));
}

} // namespace
} // namespace moss
