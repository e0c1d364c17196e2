#pragma once

// Readable failure messages: GoogleTest prints Qt strings as text (lists and
// optionals of them follow).

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
