#pragma once

// One bundle being uninstalled: the files found for it, which of them are
// ticked, whether a search or a removal is running, and which instances of
// the application are running. A store opens it and owns it (Store.h).
// Every property belongs to the main thread.

#include "AppBundle.h"
#include "PackageRemoval.h"
#include "Protection.h"
#include "Scanner.h"
#include "SearchFeed.h"
#include "StoreModels.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFuture>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace moss {

// The leftover scan that a session runs off the main thread: by default the
// live scanner (installers included), told to the observer as it goes.
using SessionScan =
    std::function<QList<FoundFile>(const AppBundle& bundle, const QList<AppBundle>& competitors,
                                   const ScanObserver& observer, const std::stop_token& stop)>;

// What a session's sheet is about: an installed application, or one that is
// gone, already in the Trash or removed by its package system, of which only
// the files are left (the sheet has no application row).
enum class SessionSubject { installed, inTrash, removed };

class Session : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Sessions are opened by the store.")
    // {displayName, iconSource}
    Q_PROPERTY(QVariantMap bundle READ bundleData CONSTANT)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    // Where the running search works now, the home folder shown as "~";
    // empty when no search runs.
    Q_PROPERTY(QString searchFolder READ searchFolder NOTIFY searchFolderChanged)
    // The search was stopped before it ended: its list is partial and
    // nothing of it can be removed.
    Q_PROPERTY(bool isStopped READ isStopped NOTIFY isStoppedChanged)
    Q_PROPERTY(bool isRemoving READ isRemoving NOTIFY isRemovingChanged)
    // Some instance of the application is running.
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY runningChanged)
    // Some instance still runs quitGraceMilliseconds after closeRunning()
    // asked it to quit.
    Q_PROPERTY(bool refusesToQuit READ refusesToQuit NOTIFY runningChanged)
    // "Выбрано 3 файла · 1,2 МБ"
    Q_PROPERTY(QString countText READ countText NOTIFY selectionChanged)
    // "Приложение уже в Корзине — остались его файлы" for a session from the
    // Trash, "Приложение удалено — остались его файлы" for a removed one, who
    // removes an application that its package system removes, else
    // bundleSubtitle.
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    // What the removal does: "Всё уходит в Корзину · Ctrl+Z вернёт обратно",
    // unless a package tool removes the ticked application.
    Q_PROPERTY(QString footnote READ footnote NOTIFY selectionChanged)
    // Something is ticked, and nothing is searching, removing or running.
    Q_PROPERTY(bool canRemove READ canRemove NOTIFY canRemoveChanged)
    Q_PROPERTY(moss::SessionFilesModel* groupedFiles READ groupedFiles CONSTANT)

public:
    // A session starts searching; search() starts the search itself.
    Session(const AppBundle& bundle, SessionSubject subject, QObject* parent = nullptr,
            SessionScan scan = {});
    ~Session() override;

    const AppBundle& bundle() const { return bundle_; }
    SessionSubject subject() const { return subject_; }
    // The application is installed: the sheet has its row, and it may run.
    bool hasApplication() const { return subject_ == SessionSubject::installed; }
    // How the application itself goes (its row, when the session shows one);
    // nothing when there is no application.
    const ApplicationRemoval& applicationRemoval() const { return removal_; }
    // Whether the file's tick can change: not the row of an application
    // that its package system removes.
    bool isCheckable(const QString& path) const;
    // The bundle first, then its leftovers, in the scanner's order; without
    // the bundle when there is no application. Grows while the search runs.
    const QList<FoundFile>& files() const { return files_; }
    // Whether the running search has yet to measure the file's size.
    bool isSizePending(const QString& path) const { return unmeasured_.contains(path); }
    const QSet<QString>& selected() const { return selected_; }
    void setSelected(QSet<QString> selected);
    bool isSearching() const { return isSearching_; }
    const QString& searchFolder() const { return searchFolder_; }
    bool isStopped() const { return isStopped_; }
    bool isRemoving() const { return isRemoving_; }
    void setRemoving(bool removing);
    const QList<RunningApplication>& running() const { return running_; }
    void setRunning(QList<RunningApplication> running);
    bool isRunning() const { return !running_.isEmpty(); }

    // Nothing for a stopped search.
    QList<FoundFile> selectedFiles() const;
    qint64 selectedSize() const;
    // The files by category in display order; empty categories left out.
    QList<QPair<FileCategory, QList<FoundFile>>> grouped() const;

    // Scans for the bundle's files off the main thread, arbitrated against
    // the competitors. The list starts empty (earlier ticks are dropped) and
    // grows as the scan finds files, each with its default tick, at most
    // every 50 ms; sizes follow as they are measured; the scan's result
    // settles the list in a later turn of the event loop. Returns at once;
    // a search still running is stopped and nothing more of it arrives.
    void search(QFuture<QList<AppBundle>> competitors);
    // Whether the sheet ticks the file by default: when the search does; for
    // a removed application only what one of its identifiers names, since
    // nothing else is certain to have been its.
    bool ticksByDefault(const FoundFile& file) const;
    // Stops the running search, in its worker threads too: it ends at its
    // next entry, keeping what it found; its ticks are dropped and nothing
    // of it can be ticked or removed.
    Q_INVOKABLE void stopSearch();

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
    void filesChanged();        // files replaced as a whole
    void fileInserted(int row); // one file found by the running search
    void sizesChanged();        // sizes of files measured
    void selectedChanged();
    void isSearchingChanged();
    void searchFolderChanged();
    void isStoppedChanged();
    void isRemovingChanged();
    void runningChanged();
    void selectionChanged(); // files or selected changed
    void canRemoveChanged();

private:
    QVariantMap bundleData() const;
    QString countText() const;
    QString subtitle() const;
    QString footnote() const;
    bool canRemove() const;

    void setSearching(bool searching);
    void setSearchFolder(QString folder);
    void setStopped(bool stopped);
    void take(SearchBatch batch);
    void publish(QList<FoundFile> files);
    void refreshRunning();
    // Looks at the running instances again after `delay`, and on until
    // `deadline` while some still run; `onDeadline` is whether they then
    // refuse to quit.
    void recheckRunning(int delay, QDeadlineTimer deadline, bool onDeadline);

    const AppBundle bundle_;
    const SessionSubject subject_;
    const ApplicationRemoval removal_;
    const SessionScan scan_;
    QList<FoundFile> files_;
    QSet<QString> selected_;
    bool isSearching_ = true;
    QString searchFolder_;
    bool isStopped_ = false;
    // Of the running search: what it tells, how to stop it, and which of its
    // files still wait for their sizes.
    std::shared_ptr<SearchFeed> feed_;
    std::stop_source stop_;
    quint64 searchNumber_ = 0;
    QElapsedTimer searchClock_;
    std::optional<qint64> firstLeftoverMs_;
    QSet<QString> unmeasured_;
    bool isRemoving_ = false;
    QList<RunningApplication> running_;
    bool refusesToQuit_ = false;
    QTimer* recheck_;
    SessionFilesModel* groupedFiles_;
};

} // namespace moss
