#include "platform/ByteCount.h"

#include <gtest/gtest.h>
#include <limits>

namespace moss {
namespace {

// Each row sits at an edge: a rounding, a unit's promotion (the noun forms
// of the bytes follow russianPlural, proven on its own).
TEST(ByteCount, textsAtEveryEdge) {
    const std::pair<qint64, const char16_t*> rows[] = {
        {999, u"999 байт"},
        {1'499, u"1 КБ"},
        {1'500, u"2 КБ"},
        {999'500, u"1 МБ"},
        {1'050'000, u"1,1 МБ"},

        {999'950'000, u"1 ГБ"},
        {1'005'000'000, u"1,01 ГБ"},
        {999'995'000'000, u"1 ТБ"},

        {-1'050'000, u"-1,1 МБ"},
        {std::numeric_limits<qint64>::max(), u"9223372,04 ТБ"},
        {std::numeric_limits<qint64>::min(), u"-9223372,04 ТБ"}};
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(formatByteCount(bytes), QString::fromUtf16(text)) << bytes;
}

} // namespace
} // namespace moss
