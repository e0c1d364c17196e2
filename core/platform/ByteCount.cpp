#include "platform/ByteCount.h"

#include "TextRules.h"

#include <array>

namespace moss {

namespace {

struct Unit {
    quint64 bytes;
    int decimals;
    const char16_t* symbol;
};

// Units above the byte, smallest first, with the decimals each is shown with.
constexpr std::array<Unit, 4> units{{
    {1'000, 0, u"КБ"},
    {1'000'000, 1, u"МБ"},
    {1'000'000'000, 2, u"ГБ"},
    {1'000'000'000'000, 2, u"ТБ"},
}};

constexpr quint64 unitsPerPromotion = 1'000;

// 1 байт, 2 байта, 5 байт, 21 байт: the singular and the genitive plural
// share one spelling.
QString byteNoun(quint64 count) {
    return russianPlural(qint64(count), QStringLiteral("байт"), QStringLiteral("байта"),
                         QStringLiteral("байт"));
}

quint64 powerOfTen(int exponent) {
    quint64 power = 1;
    for (int i = 0; i < exponent; ++i)
        power *= 10;
    return power;
}

// value / divisor, rounded half up, without overflow.
quint64 roundedQuotient(quint64 value, quint64 divisor) {
    const quint64 remainder = value % divisor;
    return value / divisor + (remainder >= divisor - remainder ? 1 : 0);
}

// A count in 1/10^decimals of a unit as "12,5": trailing zeros of the
// fraction are dropped, and so is a fraction of zero.
QString decimalText(quint64 scaledCount, int decimals) {
    const quint64 scale = powerOfTen(decimals);
    QString text = QString::number(scaledCount / scale);
    QString fraction = QString::number(scaledCount % scale).rightJustified(decimals, u'0');
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += u',' + fraction;
    return text;
}

QString magnitudeText(quint64 bytes) {
    if (bytes < units.front().bytes)
        return QString::number(bytes) + u' ' + byteNoun(bytes);
    for (const Unit& unit : units) {
        const quint64 scale = powerOfTen(unit.decimals);
        const quint64 scaledCount = roundedQuotient(bytes, unit.bytes / scale);
        const bool largest = &unit == &units.back();
        if (largest || scaledCount < unitsPerPromotion * scale)
            return decimalText(scaledCount, unit.decimals) + u' ' + QString::fromUtf16(unit.symbol);
    }
    Q_UNREACHABLE();
}

} // namespace

QString formatByteCount(qint64 bytes) {
    if (bytes >= 0)
        return magnitudeText(quint64(bytes));
    // Not expected; shown with its sign rather than hidden.
    return u'-' + magnitudeText(quint64(-(bytes + 1)) + 1);
}

} // namespace moss
