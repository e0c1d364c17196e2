#pragma once

// What the settings window shows and changes: the RozudOdizuv switch and its
// access hint, the system plug-ins switch and the protected list. Every
// change is persisted at once through the store.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace moss {

class Store;

class SettingsController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool rozudOdizuv READ rozudOdizuv WRITE setRozudOdizuv NOTIFY rozudOdizuvChanged)
    // RozudOdizuv is on but the Trash cannot be listed.
    Q_PROPERTY(bool showsAccessHint READ showsAccessHint NOTIFY rozudOdizuvChanged)
    Q_PROPERTY(bool showSystem READ showSystem WRITE setShowSystem NOTIFY showSystemChanged)
    // Sorted ascending.
    Q_PROPERTY(QStringList protectedIDs READ protectedIDs NOTIFY protectedIDsChanged)

public:
    using ApplySetting = std::function<void()>;
    using HasTrashAccess = std::function<bool()>;

    // By default the shared Trash watcher applies the setting and tells
    // whether the Trash can be listed.
    explicit SettingsController(Store& store, QObject* parent = nullptr);
    SettingsController(Store& store, ApplySetting applySetting, HasTrashAccess hasTrashAccess,
                       QObject* parent = nullptr);

    bool rozudOdizuv() const;
    // Persists the switch and applies it, once per actual change.
    void setRozudOdizuv(bool on);
    bool showsAccessHint() const;
    bool showSystem() const;
    void setShowSystem(bool show);
    QStringList protectedIDs() const;

    // Whether "Добавить" would add something for the typed text.
    Q_INVOKABLE bool canAdd(const QString& typed) const;
    Q_INVOKABLE void add(const QString& typed);
    Q_INVOKABLE void remove(const QString& identifier);
    Q_INVOKABLE void reset();
    // Opens the system's privacy settings for full disk access.
    Q_INVOKABLE void openPrivacySettings() const;

    static QString privacySettingsUrl();

signals:
    void rozudOdizuvChanged();
    void showSystemChanged();
    void protectedIDsChanged();

private:
    Store& store_;
    ApplySetting applySetting_;
    HasTrashAccess hasTrashAccess_;
};

} // namespace moss
