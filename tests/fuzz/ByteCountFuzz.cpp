// The byte-count text for any count: never empty, ends with a known unit, and
// read back it lies within the rounding of its unit.
#include "platform/ByteCount.h"

#include <QStringList>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

struct Unit {
    QString symbol;
    double bytes;
    double resolution; // half of the last shown digit, in bytes
};

const QList<Unit>& units() {
    static const QList<Unit> list = {
        {u"байта"_s, 1, 0},     {u"байт"_s, 1, 0},       {u"КБ"_s, 1e3, 0.5e3},
        {u"МБ"_s, 1e6, 0.05e6}, {u"ГБ"_s, 1e9, 0.005e9}, {u"ТБ"_s, 1e12, 0.005e12},
    };
    return list;
}

void check(qint64 bytes) {
    const QString text = moss::formatByteCount(bytes);
    if (text.isEmpty())
        std::abort();
    for (const Unit& unit : units()) {
        if (!text.endsWith(u' ' + unit.symbol))
            continue;
        QString number = text.chopped(unit.symbol.size() + 1);
        const bool negative = number.startsWith(u'-');
        if (negative)
            number.remove(0, 1);
        if (number.isEmpty() || number.startsWith(u',') || number.endsWith(u','))
            std::abort();
        bool ok = false;
        const double value = QString(number).replace(u',', u'.').toDouble(&ok);
        if (!ok)
            std::abort();
        const double shown = (negative ? -value : value) * unit.bytes;
        // Doubles carry 53 bits: allow for that on counts near the limit.
        const double slack = unit.resolution + std::abs(double(bytes)) * 1e-12 + 0.5;
        if (std::abs(shown - double(bytes)) > slack)
            std::abort();
        return;
    }
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
