#include "Matcher.h"

#include <QSet>

namespace moss {

QStringList Matcher::uniqueNames(const QStringList& names) {
    QStringList kept;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (name.isEmpty())
            continue;
        const QString folded = name.toLower();
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        kept.append(name);
    }
    return kept;
}

}  // namespace moss
