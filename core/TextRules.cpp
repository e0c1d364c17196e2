#include "TextRules.h"

namespace moss {

namespace {

bool isBlank(QChar unit) {
    return unit == u'\t' || unit.category() == QChar::Separator_Space;
}

} // namespace

QString trimmedBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString russianPlural(qint64 count, const QString& one, const QString& few, const QString& many) {
    // A negative count takes the form of its magnitude.
    const quint64 magnitude = count < 0 ? quint64(-(count + 1)) + 1 : quint64(count);
    const quint64 units = magnitude % 10;
    const quint64 tens = magnitude % 100;
    if (units == 1 && tens != 11)
        return one;
    if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        return few;
    return many;
}

} // namespace moss
