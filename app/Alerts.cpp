#include "Alerts.h"

#include "platform/FileSystem.h"
#include "platform/TrashError.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace moss::Alerts {

namespace {

AlertInfo alert(const QString& title, const QString& message,
                std::function<void()> removeAnyway = {}) {
    AlertInfo info;
    info.title = title;
    info.message = message;
    info.removeAnyway = std::move(removeAnyway);
    return info;
}

QString protectedTitle() {
    return u"Это приложение защищено"_s;
}

} // namespace

AlertInfo notABundle(const QString& path) {
    return alert(u"Это не приложение"_s, u"«"_s + fs::lastComponent(path) +
                                             u"» не похоже на приложение, плагин или виджет."_s);
}

AlertInfo systemComponent() {
    return alert(protectedTitle(), u"Оно встроено в систему, удалить его нельзя."_s);
}

AlertInfo userProtected(const QString& displayName, std::function<void()> removeAnyway) {
    return alert(protectedTitle(),
                 u"«"_s + displayName +
                     u"» в списке защищённых. Список можно изменить в настройках."_s,
                 std::move(removeAnyway));
}

AlertInfo removalFailed(const RemovalResult& result) {
    QStringList lines;
    // The map's keys come in plain string order.
    // A Trash failure says its cause; a package tool's, what the tool said.
    for (const QString& path : result.failed.keys().mid(0, 6))
        lines.append(path + u" — "_s +
                     (result.reasons.contains(path) ? trash::reasonText(result.reasons.value(path))
                                                    : result.failed.value(path)));
    QString message = lines.join(u'\n');
    if (!result.halfMoved.isEmpty())
        message += u"\n\nЧасть файлов перенесена не полностью: недостающее лежит в Корзине, "
                   "и отмена удаления соберёт их обратно."_s;
    return alert(u"Часть файлов не удалась"_s, message);
}

} // namespace moss::Alerts
