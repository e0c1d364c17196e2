#include "TextRules.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

// The plural follows the last two digits; trimming takes spaces of every kind
// and tabs but not line breaks.
TEST(TextRulesTest, RussianPluralAndTrimming) {
    const std::pair<qint64, QString> forms[] = {
        {1, u"файл"_s},   {4, u"файла"_s},    {5, u"файлов"_s},  {12, u"файлов"_s},
        {22, u"файла"_s}, {111, u"файлов"_s}, {-12, u"файлов"_s}};
    for (const auto& [n, noun] : forms)
        EXPECT_EQ(russianPlural(n, u"файл"_s, u"файла"_s, u"файлов"_s), noun) << n;
    EXPECT_EQ(trimmedBlanks(u" \t\u00A0\u3000a b\u2009 "_s), u"a b"_s);
    EXPECT_EQ(trimmedBlanks(u"\na\r\n"_s), u"\na\r\n"_s);
}
