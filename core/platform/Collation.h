#pragma once

#include <QString>

namespace moss {

// File-browser ordering: digit runs compare by value, letter case only breaks
// ties. Collates in the Russian locale, the interface's language, whatever the
// process locale is. Thread-safe.
int localizedStandardCompare(const QString& a, const QString& b);

// Localised, case-insensitive ordering of display names. Thread-safe.
int localizedCaseInsensitiveCompare(const QString& a, const QString& b);

// Localised, case-insensitive containment test of the user's search text.
bool localizedCaseInsensitiveContains(const QString& text, const QString& part);

} // namespace moss
