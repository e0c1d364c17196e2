#pragma once

// Building test strings that literals cannot spell.

#include <QString>
#include <initializer_list>

namespace moss::test {

// A QString from a UTF-16 literal (u"...").
inline QString s(const char16_t* text) {
    return QString::fromUtf16(text);
}

// A string holding exactly the given UTF-16 code units (lone surrogates too).
inline QString units(std::initializer_list<char16_t> codeUnits) {
    QString text;
    for (char16_t unit : codeUnits)
        text.append(QChar(unit));
    return text;
}

} // namespace moss::test
