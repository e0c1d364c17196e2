#include "Alerts.h"

#include "platform/FileSystem.h"

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

AlertInfo removalFailed(const QMap<QString, QString>& failed) {
    // The map's keys come in plain string order.
    const QStringList paths = failed.keys().mid(0, 6);
    return alert(u"Часть файлов не удалась"_s,
                 u"Дайте Mossbin полный доступ к диску в Системных настройках и повторите.\n\n"_s +
                     paths.join(u'\n'));
}

} // namespace moss::Alerts
