#include "Settings.h"

#include "Protection.h"
#include "RozudOdizuv.h"
#include "TextRules.h"

#include <QCoreApplication>
#include <QSettings>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace moss {

namespace {

const auto protectedAppsKey = "protectedApps";
const auto showSystemKey = "showSystem";
const auto rozudOdizuvKey = "rozudOdizuv";

QVariant read(const char* key, const QVariant& fallback) {
    return QSettings().value(QLatin1StringView(key), fallback);
}

void write(const char* key, const QVariant& value) {
    QSettings().setValue(QLatin1StringView(key), value);
}

} // namespace

void setApplicationIdentity() {
    QCoreApplication::setOrganizationName(u"Mossbin"_s);
    QCoreApplication::setApplicationName(u"Mossbin"_s);
}

QSet<QString> Settings::protectedIDs() const {
    const QString raw =
        read(protectedAppsKey, Protection::defaultProtected().join(u'\n')).toString();
    const QStringList ids = raw.split(u'\n', Qt::SkipEmptyParts);
    return {ids.begin(), ids.end()};
}

QStringList Settings::sortedProtectedIDs() const {
    QStringList ids = protectedIDs().values();
    std::sort(ids.begin(), ids.end());
    return ids;
}

void Settings::setProtectedIDs(const QSet<QString>& ids) {
    if (ids == protectedIDs())
        return;
    QStringList sorted = ids.values();
    std::sort(sorted.begin(), sorted.end());
    write(protectedAppsKey, sorted.join(u'\n'));
    emit protectedIDsChanged();
}

bool Settings::showSystem() const {
    return read(showSystemKey, true).toBool();
}

void Settings::setShowSystem(bool show) {
    if (show == showSystem())
        return;
    write(showSystemKey, show);
    emit showSystemChanged();
}

bool Settings::rozudOdizuv() const {
    return read(rozudOdizuvKey, false).toBool();
}

void Settings::setRozudOdizuv(bool on) {
    if (on == rozudOdizuv())
        return;
    write(rozudOdizuvKey, on);
    emit rozudOdizuvChanged();
}

bool Settings::showsAccessHint() const {
    return rozudOdizuv() && !RozudOdizuv::hasTrashAccess();
}

void Settings::setProtected(const QString& identifier, bool isProtected) {
    QSet<QString> ids = protectedIDs();
    if (isProtected)
        ids.insert(identifier);
    else
        ids.remove(identifier);
    setProtectedIDs(ids);
}

bool Settings::canAdd(const QString& typed) const {
    return !trimmedBlanks(typed).isEmpty();
}

void Settings::add(const QString& typed) {
    if (canAdd(typed))
        setProtected(trimmedBlanks(typed), true);
}

void Settings::reset() {
    const QStringList& defaults = Protection::defaultProtected();
    setProtectedIDs({defaults.begin(), defaults.end()});
}

QString Settings::trashFolder() {
    return RozudOdizuv::trashFolder();
}

} // namespace moss
