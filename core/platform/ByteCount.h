#pragma once

#include <QString>

namespace moss {

// Russian byte-count text in decimal units: "0 байт", "21 байт", "2 байта",
// "950 КБ", "1,1 МБ", "1,23 ГБ", "3 ТБ". Every byte count that is shown or
// printed goes through this function.
QString formatByteCount(qint64 bytes);

} // namespace moss
