#pragma once

// The user's three settings, kept in the application's QSettings under
// "protectedApps" (bundle identifiers, one per line), "showSystem" and
// "rozudOdizuv". Every read goes to QSettings; a key never written reads as
// its default, which is not written back. A change is persisted at once and
// announced once; writing the value a setting already has changes nothing.
//
// Each store has its settings; QML reaches them as the singleton Settings
// (the settings window, the installed list's context menu). The Trash
// watcher applies every change of "rozudOdizuv" (RozudOdizuv.h).

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace moss {

// Sets the organisation and application names that QSettings files the
// settings under. The shell, the command-line modes and the tests call it
// before any setting is read.
void setApplicationIdentity();

class Settings : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool rozudOdizuv READ rozudOdizuv WRITE setRozudOdizuv NOTIFY rozudOdizuvChanged)
    // RozudOdizuv is on but the Trash cannot be listed.
    Q_PROPERTY(bool showsAccessHint READ showsAccessHint NOTIFY rozudOdizuvChanged)
    // The folder RozudOdizuv watches, for the hint's button to reveal.
    Q_PROPERTY(QString trashFolder READ trashFolder CONSTANT)
    Q_PROPERTY(bool showSystem READ showSystem WRITE setShowSystem NOTIFY showSystemChanged)
    // Sorted ascending.
    Q_PROPERTY(QStringList protectedIDs READ sortedProtectedIDs NOTIFY protectedIDsChanged)

public:
    using QObject::QObject;

    // The lines of "protectedApps" that are not empty, exactly as written;
    // by default Protection::defaultProtected().
    QSet<QString> protectedIDs() const;
    QStringList sortedProtectedIDs() const;
    // Stored sorted ascending, one per line.
    void setProtectedIDs(const QSet<QString>& ids);
    // Whether the installed plug-ins and widgets include system sections;
    // true by default.
    bool showSystem() const;
    void setShowSystem(bool show);
    // Whether the Trash watcher is on; false by default.
    bool rozudOdizuv() const;
    void setRozudOdizuv(bool on);
    // Announced with rozudOdizuvChanged, after the Trash watcher, which
    // connects first, has applied the change.
    bool showsAccessHint() const;

    // Adds or removes one identifier, exactly as given.
    Q_INVOKABLE void setProtected(const QString& identifier, bool isProtected);
    // Whether "Добавить" adds something for the typed text.
    Q_INVOKABLE bool canAdd(const QString& typed) const;
    // Adds the typed identifier with blanks and tabs trimmed; nothing when
    // that leaves it empty.
    Q_INVOKABLE void add(const QString& typed);
    // Back to Protection::defaultProtected().
    Q_INVOKABLE void reset();
    static QString trashFolder();

signals:
    void protectedIDsChanged();
    void showSystemChanged();
    void rozudOdizuvChanged();
};

} // namespace moss
