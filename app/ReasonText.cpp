#include "ReasonText.h"

using namespace Qt::StringLiterals;

namespace moss {

namespace {

QString quoted(const QString& text) {
    return u'«' + text + u'»';
}

} // namespace

QString matchText(const FoundReason& reason) {
    using Match = FoundReason::Match;
    switch (reason.match) {
    case Match::application:
        return u"Само приложение"_s;
    case Match::identifier:
        return u"Совпадает с идентификатором "_s + reason.key;
    case Match::name:
        return u"Совпадает с именем "_s + quoted(reason.key);
    case Match::team:
        return u"Группа разработчика "_s + reason.key;
    case Match::launchProgram:
        return u"Служба запускает программу из приложения"_s;
    case Match::launchLabel:
        return u"Служба названа по приложению: "_s + reason.key;
    case Match::launchBundle:
        return u"Служба относится к приложению "_s + reason.key;
    case Match::installer:
        return u"Установщик "_s + quoted(reason.key);
    case Match::unitTrigger:
        return u"Запускает найденную службу "_s + reason.key;
    }
    return {};
}

QString doubtText(const FoundReason& reason) {
    using Doubt = FoundReason::Doubt;
    switch (reason.doubt) {
    case Doubt::none:
        return {};
    case Doubt::foreignWord:
        return u"не отмечено: после имени идёт чужое слово"_s;
    case Doubt::partialName:
        return u"не отмечено: имя — лишь часть названия"_s;
    case Doubt::otherClaim:
        return u"не отмечено: больше похоже на "_s + quoted(reason.rival);
    case Doubt::installer:
        return u"установщики не отмечаются"_s;
    case Doubt::commonName:
        return u"не отмечено: имя слишком короткое или общее"_s;
    }
    return {};
}

} // namespace moss
