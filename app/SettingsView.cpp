#include "SettingsView.h"

#include "RozudOdizuv.h"
#include "Store.h"

#include <QDesktopServices>
#include <QUrl>

namespace moss {

SettingsController::SettingsController(Store& store, QObject* parent)
    : SettingsController(
          store, [] { RozudOdizuv::shared().applySetting(); },
          [] { return RozudOdizuv::shared().hasTrashAccess(); }, parent) {}

SettingsController::SettingsController(Store& store, ApplySetting applySetting,
                                       HasTrashAccess hasTrashAccess, QObject* parent)
    : QObject(parent), store_(store), applySetting_(std::move(applySetting)),
      hasTrashAccess_(std::move(hasTrashAccess)) {
    connect(&store_, &Store::rozudOdizuvChanged, this, &SettingsController::rozudOdizuvChanged);
    connect(&store_, &Store::showSystemChanged, this, &SettingsController::showSystemChanged);
    connect(&store_, &Store::protectedIDsChanged, this, &SettingsController::protectedIDsChanged);
}

bool SettingsController::rozudOdizuv() const {
    return store_.rozudOdizuv();
}

void SettingsController::setRozudOdizuv(bool on) {
    if (on == store_.rozudOdizuv())
        return;
    store_.setRozudOdizuv(on);
    applySetting_();
    // The watcher may have made or failed to reach the Trash meanwhile.
    emit rozudOdizuvChanged();
}

bool SettingsController::showsAccessHint() const {
    return store_.rozudOdizuv() && !hasTrashAccess_();
}

bool SettingsController::showSystem() const {
    return store_.showSystem();
}

void SettingsController::setShowSystem(bool show) {
    if (show != store_.showSystem())
        store_.setShowSystem(show);
}

QStringList SettingsController::protectedIDs() const {
    QStringList ids = store_.protectedIDs().values();
    ids.sort();
    return ids;
}

bool SettingsController::canAdd(const QString& typed) const {
    return !trimBlanks(typed).isEmpty();
}

void SettingsController::add(const QString& typed) {
    store_.addProtectedID(typed);
}

void SettingsController::remove(const QString& identifier) {
    store_.setProtected(identifier, false);
}

void SettingsController::reset() {
    store_.resetProtectedIDs();
}

QString SettingsController::privacySettingsUrl() {
    return QStringLiteral(
        "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");
}

void SettingsController::openPrivacySettings() const {
    QDesktopServices::openUrl(QUrl(privacySettingsUrl()));
}

} // namespace moss
