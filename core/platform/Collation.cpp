#include "platform/Collation.h"

#include <QCollator>
#include <QLocale>

namespace moss {

namespace {

// QCollator objects are not safe to share between threads; each thread keeps
// its own. The C locale ignores numeric mode, so the Russian locale is used
// explicitly.
QCollator makeCollator(bool numeric) {
    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(numeric);
    return collator;
}

} // namespace

int localizedStandardCompare(const QString& a, const QString& b) {
    thread_local const QCollator collator = makeCollator(true);
    const int order = collator.compare(a, b);
    if (order != 0)
        return order;
    return QString::compare(a, b, Qt::CaseSensitive); // letter case breaks ties
}

int localizedCaseInsensitiveCompare(const QString& a, const QString& b) {
    thread_local const QCollator collator = makeCollator(false);
    return collator.compare(a, b);
}

bool localizedCaseInsensitiveContains(const QString& text, const QString& part) {
    return QLocale(QLocale::Russian, QLocale::Russia)
        .toLower(text)
        .contains(QLocale(QLocale::Russian, QLocale::Russia).toLower(part));
}

} // namespace moss
