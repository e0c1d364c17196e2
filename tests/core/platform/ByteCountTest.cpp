#include "platform/ByteCount.h"

#include <gtest/gtest.h>
#include <limits>

namespace moss {
namespace {

// Each row sits at an edge: a rounding, a unit's promotion (the noun forms
// of the bytes follow russianPlural, proven on its own).
TEST(ByteCount, textsAtEveryEdge) {
    const std::pair<qint64, const char16_t*> rows[] = {
        {0, u"0 байт"},
        {1, u"1 байт"},
        {2, u"2 байта"},
        {999, u"999 байт"},
        {1'000, u"1 КБ"},
        {1'499, u"1 КБ"},
        {1'500, u"2 КБ"},
        {999'499, u"999 КБ"},
        {999'500, u"1 МБ"},
        {1'049'999, u"1 МБ"},
        {1'050'000, u"1,1 МБ"},
        {12'340'000, u"12,3 МБ"},
        {999'949'999, u"999,9 МБ"},
        {999'950'000, u"1 ГБ"},
        {1'004'999'999, u"1 ГБ"},
        {1'005'000'000, u"1,01 ГБ"},
        {1'235'000'000, u"1,24 ГБ"},
        {2'500'000'000, u"2,5 ГБ"},
        {999'994'999'999, u"999,99 ГБ"},
        {999'995'000'000, u"1 ТБ"},
        {4'560'000'000'000, u"4,56 ТБ"},
        {1'000'000'000'000'000, u"1000 ТБ"},
        {std::numeric_limits<qint64>::max(), u"9223372,04 ТБ"},
        {-21, u"-21 байт"},
        {-1'050'000, u"-1,1 МБ"},
        {std::numeric_limits<qint64>::min(), u"-9223372,04 ТБ"}};
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(formatByteCount(bytes), QString::fromUtf16(text)) << bytes;
}

} // namespace
} // namespace moss
