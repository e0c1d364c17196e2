#pragma once

// Small rules of text shared by the core and the window.

#include <QString>

namespace moss {

// text without leading and trailing blanks: spaces of every kind (Unicode
// space separators) and tabs. Line breaks stay.
QString trimmedBlanks(const QString& text);

// The Russian noun form for a count: `one` for 1, 21, 101 (not 11, 111),
// `few` for 2 to 4, 22 to 24 (not 12 to 14), `many` for the rest, 0
// included: russianPlural(n, "файл", "файла", "файлов").
QString russianPlural(qint64 count, const QString& one, const QString& few, const QString& many);

} // namespace moss
