#pragma once

// One bundle being uninstalled: the files found for it, which of them are
// ticked, whether a search or a removal is running, and which instances of
// the application are running. A store opens it and owns it (Store.h).
// Every property belongs to the main thread.

#include "AppBundle.h"
#include "Protection.h"
#include "Scanner.h"
#include "StoreModels.h"

#include <QDeadlineTimer>
#include <QFuture>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace moss {

class Session : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Sessions are opened by the store.")
    // {displayName, iconSource}
    Q_PROPERTY(QVariantMap bundle READ bundleData CONSTANT)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(bool isRemoving READ isRemoving NOTIFY isRemovingChanged)
    // Some instance of the application is running.
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY runningChanged)
    // Some instance still runs quitGraceMilliseconds after closeRunning()
    // asked it to quit.
    Q_PROPERTY(bool refusesToQuit READ refusesToQuit NOTIFY runningChanged)
    // "Выбрано 3 файла · 1,2 МБ"
    Q_PROPERTY(QString countText READ countText NOTIFY selectionChanged)
    // "Приложение уже в Корзине — остались его файлы" for a session from the
    // Trash, else bundleSubtitle.
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    // Something is ticked, and nothing is searching, removing or running.
    Q_PROPERTY(bool canRemove READ canRemove NOTIFY canRemoveChanged)
    Q_PROPERTY(moss::SessionFilesModel* groupedFiles READ groupedFiles CONSTANT)

public:
    // A session starts searching; search() starts the search itself.
    Session(const AppBundle& bundle, bool fromTrash, QObject* parent = nullptr);
    ~Session() override;

    const AppBundle& bundle() const { return bundle_; }
    bool fromTrash() const { return fromTrash_; }
    // The bundle first, then its leftovers, in the scanner's order; without
    // the bundle for a session from the Trash.
    const QList<FoundFile>& files() const { return files_; }
    const QSet<QString>& selected() const { return selected_; }
    void setSelected(QSet<QString> selected);
    bool isSearching() const { return isSearching_; }
    bool isRemoving() const { return isRemoving_; }
    void setRemoving(bool removing);
    const QList<RunningApplication>& running() const { return running_; }
    void setRunning(QList<RunningApplication> running);
    bool isRunning() const { return !running_.isEmpty(); }

    QList<FoundFile> selectedFiles() const;
    qint64 selectedSize() const;
    // The files by category in display order; empty categories left out.
    QList<QPair<FileCategory, QList<FoundFile>>> grouped() const;

    // Scans for the bundle's files off the main thread, arbitrated against
    // the competitors, and publishes them in a later turn of the event loop
    // with the default ticks (earlier ticks are dropped). Returns at once.
    void search(QFuture<QList<AppBundle>> competitors);

    Q_INVOKABLE void setChecked(const QString& path, bool checked);
    bool isChecked(const QString& path) const { return selected_.contains(path); }
    // Asks every running instance to quit, and looks again 1.5 s later and
    // then every half second until the grace period ends: what still runs
    // then refuses to quit.
    Q_INVOKABLE void closeRunning();
    // Ends every running instance at once (SIGKILL), and looks again shortly.
    Q_INVOKABLE void forceQuit();
    bool refusesToQuit() const { return refusesToQuit_ && isRunning(); }
    static constexpr int quitGraceMilliseconds = 5000;

    SessionFilesModel* groupedFiles() const { return groupedFiles_; }

signals:
    void filesChanged();
    void selectedChanged();
    void isSearchingChanged();
    void isRemovingChanged();
    void runningChanged();
    void selectionChanged(); // files or selected changed
    void canRemoveChanged();

private:
    QVariantMap bundleData() const;
    QString countText() const;
    QString subtitle() const;
    bool canRemove() const;

    void setSearching(bool searching);
    void publish(QList<FoundFile> files);
    void refreshRunning();
    // Looks at the running instances again after `delay`, and on until
    // `deadline` while some still run; `onDeadline` is whether they then
    // refuse to quit.
    void recheckRunning(int delay, QDeadlineTimer deadline, bool onDeadline);

    const AppBundle bundle_;
    const bool fromTrash_;
    QList<FoundFile> files_;
    QSet<QString> selected_;
    bool isSearching_ = true;
    bool isRemoving_ = false;
    QList<RunningApplication> running_;
    bool refusesToQuit_ = false;
    QTimer* recheck_;
    SessionFilesModel* groupedFiles_;
};

} // namespace moss
