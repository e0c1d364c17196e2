// The byte-count text for any count: a number and a known unit, which read
// back lie within the rounding of the unit.
#include "platform/ByteCount.h"

#include <QHash>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

void check(qint64 bytes) {
    // Bytes per unit, and half of the last digit shown, in bytes.
    static const QHash<QString, std::pair<double, double>> units = {
        {u"байт"_s, {1, 0}},      {u"байта"_s, {1, 0}},      {u"КБ"_s, {1e3, 0.5e3}},
        {u"МБ"_s, {1e6, 0.05e6}}, {u"ГБ"_s, {1e9, 0.005e9}}, {u"ТБ"_s, {1e12, 0.005e12}},
    };
    const QString text = moss::formatByteCount(bytes);
    const qsizetype space = text.indexOf(u' ');
    const auto unit = units.constFind(text.mid(space + 1));
    const QString number = text.left(space).remove(0, text.startsWith(u'-') ? 1 : 0);
    bool ok = false;
    const double value = QString(number).replace(u',', u'.').toDouble(&ok);
    if (space <= 0 || unit == units.cend() || number.startsWith(u',') || number.endsWith(u',') ||
        !ok)
        std::abort();
    const double shown = (bytes < 0 ? -value : value) * unit->first;
    // Doubles carry 53 bits: allow for that on counts near the limit.
    if (std::abs(shown - double(bytes)) > unit->second + std::abs(double(bytes)) * 1e-12 + 0.5)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qint64 bytes = 0;
    std::memcpy(&bytes, data, std::min(size, sizeof bytes));
    check(bytes);
    // Counts near unit boundaries are where rounding goes wrong.
    for (const qint64 edge : {999LL, 999'499LL, 999'949'999LL, 999'994'999'999LL})
        check(bytes % 1000 + edge);
    return 0;
}
