#pragma once

// The application state behind the window: which screen it shows, the
// installed list, the open uninstall session, the message of the moment and
// the last removal, with the user's main actions.
//
// Threads: the store and its sessions belong to the main thread; every
// property is read and written there. Catalogue loads and leftover scans run
// on the thread pool and hand their results back as Handoff.h says.
//
// Ownership: the store owns its settings and its sessions. A session that
// the store no longer shows is deleted once its search or removal has ended
// (a late search still writes into it, unseen); the result of work started
// for a session or for the store is dropped with it. Whoever needs the store
// (the shell, the Trash watcher, a command-line mode, a test) holds it by
// reference, and QML reaches it as the singleton Store of its engine
// (QmlModule.h).

#include "Alerts.h"
#include "AppBundle.h"
#include "Catalog.h"
#include "Remover.h"
#include "Session.h"
#include "Settings.h"
#include "StoreModels.h"

#include <QFuture>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <optional>

namespace moss {

// What the last removal moved to the Trash, for undo. A removal that moved
// nothing leaves the entry as it was; one that follows a removal that did not
// move everything joins that removal's entry, so that its items stay
// undoable (see Store::finishRemoval).
struct UndoEntry {
    QString name;                   // the removed bundles' display names
    QMap<QString, QString> trashed; // former location -> location in the Trash
    // Items of which part stayed in place: former location -> their whole
    // copy in the Trash. Undo puts them back together.
    QMap<QString, QString> halfMoved;
    // Some item of the removal was not moved: the next removal joins this entry.
    bool incomplete = false;
    // The commands that install again what a package tool removed with it:
    // undo cannot bring those back, and says how.
    QStringList reinstall;

    // The number of items undo puts back: trashed and half-moved ones.
    qsizetype size() const { return trashed.size() + halfMoved.size(); }
    bool isEmpty() const { return size() == 0; }
};

class Store : public QObject {
    Q_OBJECT
    Q_PROPERTY(Screen screen READ screen WRITE setScreen NOTIFY screenChanged)
    Q_PROPERTY(moss::BundleKinds::BundleKind kind READ kind WRITE setKind NOTIFY kindChanged)
    // The installed list has been loaded at least once.
    Q_PROPERTY(bool hasSections READ hasSections NOTIFY sectionsChanged)
    Q_PROPERTY(bool isLoadingList READ isLoadingList NOTIFY isLoadingListChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    // Null while no session is open.
    Q_PROPERTY(moss::Session* session READ session NOTIFY sessionChanged)
    // A string, or null.
    Q_PROPERTY(QVariant toast READ toastData NOTIFY toastChanged)
    // lastRemoval is present and holds something to put back.
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY lastRemovalChanged)
    // {id, title, message, hasRemoveAnyway}, or null.
    Q_PROPERTY(QVariant alert READ alertData NOTIFY alertChanged)
    // The installed list after the system-section rule and the query.
    Q_PROPERTY(moss::InstalledListModel* filteredSections READ filteredModel CONSTANT)

public:
    enum class Screen { Drop, List };
    Q_ENUM(Screen)

    explicit Store(QObject* parent = nullptr);
    ~Store() override;

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }

    Screen screen() const { return screen_; }
    void setScreen(Screen screen);
    BundleKind kind() const { return kind_; }
    void setKind(BundleKind kind);
    const QList<CatalogSection>& sections() const { return sections_; }
    bool hasSections() const { return !sections_.isEmpty(); }
    bool isLoadingList() const { return isLoadingList_; }
    QString query() const { return query_; }
    void setQuery(const QString& query);
    Session* session() const { return session_; }
    const std::optional<QString>& toast() const { return toast_; }
    void setToast(std::optional<QString> toast);
    const std::optional<UndoEntry>& lastRemoval() const { return lastRemoval_; }
    bool canUndo() const { return lastRemoval_ && !lastRemoval_->isEmpty(); }
    // A removal has started and not yet ended.
    bool isRemoving() const { return removalsInProgress_ > 0; }
    const std::optional<AlertInfo>& alert() const { return alert_; }
    void setAlert(std::optional<AlertInfo> alert);

    // Opens the first path as a bundle or a Linux application
    // (loadApplication); an alert when it is neither.
    void open(const QStringList& urls);
    // Refuses a protected bundle with an alert (one that is gone never; a
    // user-protected one not when forced), else opens a session for it and
    // starts its search.
    void open(const AppBundle& bundle, SessionSubject subject, bool force);
    // Moves the session's ticked files to the Trash: a toast and the session
    // closed, or an alert and the session searched again when some failed.
    Q_INVOKABLE void remove(moss::Session* session);
    // Puts back what lastRemoval holds, half-moved items put together again;
    // the toast counts the items back out of all the entry holds.
    Q_INVOKABLE void undoLastRemoval();
    Q_INVOKABLE void loadList();
    // The installed bundles changed on disk (a removal or an undo, whatever
    // its outcome, or a change in an applications folder): the cache goes,
    // and a list that is shown or was loaded before loads again.
    void installedChanged();

    // The leftover scan of the sessions it opens from now on (by default the
    // live search).
    void setSessionScan(SessionScan scan) { sessionScan_ = std::move(scan); }

    // Every installed application, bundles and Linux applications
    // (Catalog::allApplications); cached until a removal or an undo. The
    // future finishes on the main thread.
    QFuture<QList<AppBundle>> installedApps();

    QList<CatalogSection> filteredSections() const;

    // The services removals go through; the live desktop unless replaced.
    void setRemovalServices(RemovalServices services) { removalServices_ = std::move(services); }
    InstalledListModel* filteredModel() const { return filteredModel_; }

    // For QML.
    Q_INVOKABLE void openUrls(const QList<QUrl>& urls);
    // Opens a bundle of the installed list (not forced), with its team
    // identifier read as for a dropped bundle: the list is loaded without
    // signatures. One of the section of removed applications opens as such.
    Q_INVOKABLE void openInstalled(const QString& path);
    // Closes the session, unless it is removing.
    Q_INVOKABLE void closeSession();
    // Closes the alert and runs its "Удалить всё равно" action, if it has one.
    Q_INVOKABLE void runRemoveAnyway();
    Q_INVOKABLE void dismissAlert() { setAlert(std::nullopt); }
    Q_INVOKABLE void clearToast() { setToast(std::nullopt); }

signals:
    void screenChanged();
    void kindChanged();
    void sectionsChanged();
    void isLoadingListChanged();
    void queryChanged();
    void sessionChanged();
    void toastChanged();
    void lastRemovalChanged();
    void alertChanged();
    // The application should come to the front, ignoring other applications.
    void activationRequested();
    // A removal ended; `locations` are where its trashed and half-moved
    // items are in the Trash. Emitted once isRemoving() says so.
    void removalFinished(const QStringList& locations);

private:
    void setSections(QList<CatalogSection> sections);
    void setLoadingList(bool loading);
    void setSession(Session* session);
    void retire(Session* session);
    QVariant toastData() const;
    void setLastRemoval(std::optional<UndoEntry> entry);
    QVariant alertData() const;

    void finishRemoval(Session& session, const RemovalResult& result);
    void keepForUndo(const QString& name, const RemovalResult& result);
    void refreshFilteredModel();

    Settings settings_;
    Screen screen_ = Screen::Drop;
    BundleKind kind_ = BundleKind::Application;
    QList<CatalogSection> sections_;
    bool isLoadingList_ = false;
    QString query_;
    Session* session_ = nullptr;
    SessionScan sessionScan_;
    std::optional<QString> toast_;
    std::optional<UndoEntry> lastRemoval_;
    std::optional<AlertInfo> alert_;
    std::optional<QList<AppBundle>> installedCache_;
    int removalsInProgress_ = 0;
    RemovalServices removalServices_ = RemovalServices::live();
    quint64 listGeneration_ = 0; // numbers the loads; only the latest publishes
    InstalledListModel* filteredModel_;
};

} // namespace moss
