#pragma once

// The application state behind the window: one Store for the whole process
// and one Session per bundle being uninstalled.
//
// Threads: both objects belong to the main thread. Every property is read and
// written there; the catalogue loads and the leftover scan run on the global
// thread pool and hand their results back to the main thread before anything
// is written.
//
// Lifetime: the store holds its current session through a QSharedPointer
// whose deleter is deleteLater(). While a search or a removal works on a
// session, a main-thread list of busy sessions holds another reference, so a
// session that the store drops lives on until its task has been handled: a
// late search writes into that dropped session, which nobody shows any more.
// Sessions are only made by Session::create.
//
// QML: `screen` and `kind` read and write their C++ enumerators by name
// ("drop", "list"; "application", "plugin", "widget"), since QML reaches
// enumerators only when they start with a capital letter. Absent values
// (`session`, `toast`, `lastRemoval`, `alert`) read as null.

#include "AppBundle.h"
#include "Catalog.h"
#include "Protection.h"
#include "Remover.h"
#include "Scanner.h"
#include "StoreModels.h"

#include <QEnableSharedFromThis>
#include <QFuture>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <QVariant>
#include <functional>
#include <optional>

namespace moss {

// Sets the organisation and application names that QSettings files the
// settings under. The shell and the tests call it before the store is used.
void setApplicationIdentity();

// Blanks (space separators) and tabs removed from both ends; line breaks kept.
QString trimBlanks(const QString& text);

namespace SettingsKey {
QString protectedApps();
QString showSystem();
QString rozudOdizuv();
} // namespace SettingsKey

// The installed list as shown: system sections left out when `showSystem` is
// false (except for applications), then the bundles whose display name or
// identifier contains the query (blanks and tabs trimmed), ignoring case;
// sections left empty are dropped.
QList<CatalogSection> filterSections(const QList<CatalogSection>& sections, BundleKind kind,
                                     bool showSystem, const QString& query);

struct UndoEntry {
    QString name;                   // the removed bundle's display name
    QMap<QString, QString> trashed; // former location -> location in the Trash
};

class Session;

class Store : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString screen READ screenKey WRITE setScreenKey NOTIFY screenChanged)
    Q_PROPERTY(QString kind READ kindKey WRITE setKindKey NOTIFY kindChanged)
    // [{title, isSystem, count}] of the sections as last loaded.
    Q_PROPERTY(QVariantList sections READ sectionData NOTIFY sectionsChanged)
    Q_PROPERTY(bool isLoadingList READ isLoadingList NOTIFY isLoadingListChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    // Written from QML only to close the session (null).
    Q_PROPERTY(moss::Session* session READ session WRITE closeSessionIfNull NOTIFY sessionChanged)
    // A string, or null; QML clears it by writing null.
    Q_PROPERTY(QVariant toast READ toastData WRITE setToastData NOTIFY toastChanged)
    // {name, trashedCount}, or null.
    Q_PROPERTY(QVariant lastRemoval READ lastRemovalData NOTIFY lastRemovalChanged)
    // lastRemoval is present and its trashed map is not empty.
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY lastRemovalChanged)
    // {id, title, message, hasRemoveAnyway}, or null.
    Q_PROPERTY(QVariant alert READ alertData NOTIFY alertChanged)
    // Sorted ascending.
    Q_PROPERTY(QStringList protectedIDs READ protectedIDList WRITE setProtectedIDList NOTIFY
                   protectedIDsChanged)
    Q_PROPERTY(bool showSystem READ showSystem WRITE setShowSystem NOTIFY showSystemChanged)
    Q_PROPERTY(bool rozudOdizuv READ rozudOdizuv WRITE setRozudOdizuv NOTIFY rozudOdizuvChanged)
    // The installed list after the system-section rule and the query.
    Q_PROPERTY(moss::InstalledListModel* filteredSections READ filteredModel CONSTANT)

public:
    enum class Screen { drop, list };
    Q_ENUM(Screen)

    struct AlertInfo {
        QUuid id = QUuid::createUuid();
        QString title;
        QString message;
        std::function<void()> removeAnyway; // empty for informative alerts
    };

    static Store& shared();

    explicit Store(QObject* parent = nullptr);
    ~Store() override;

    Screen screen() const { return screen_; }
    void setScreen(Screen screen);
    BundleKind kind() const { return kind_; }
    void setKind(BundleKind kind);
    const QList<CatalogSection>& sections() const { return sections_; }
    bool isLoadingList() const { return isLoadingList_; }
    QString query() const { return query_; }
    void setQuery(const QString& query);
    Session* session() const { return session_.get(); }
    void setSession(QSharedPointer<Session> session);
    const std::optional<QString>& toast() const { return toast_; }
    void setToast(std::optional<QString> toast);
    const std::optional<UndoEntry>& lastRemoval() const { return lastRemoval_; }
    const std::optional<AlertInfo>& alert() const { return alert_; }
    void setAlert(std::optional<AlertInfo> alert);

    // Settings, read from and written to QSettings at every access.
    QSet<QString> protectedIDs() const;
    void setProtectedIDs(const QSet<QString>& ids);
    bool showSystem() const;
    void setShowSystem(bool show);
    bool rozudOdizuv() const;
    void setRozudOdizuv(bool on);

    // Opens the first path as a bundle; an alert when it is not one.
    void open(const QStringList& urls);
    void open(const AppBundle& bundle, bool fromTrash, bool force);
    void remove(Session* session);
    Q_INVOKABLE void undoLastRemoval();
    Q_INVOKABLE void loadList();

    // Every installed application bundle; cached until a removal succeeds.
    // The future finishes on the main thread.
    QFuture<QList<AppBundle>> installedApps();
    void clearInstalledCache() { installedCache_.reset(); }

    QList<CatalogSection> filteredSections() const;
    InstalledListModel* filteredModel() const { return filteredModel_; }

    // For QML.
    Q_INVOKABLE void openUrls(const QList<QUrl>& urls);
    // Opens a bundle of the installed list (not from the Trash, not forced).
    Q_INVOKABLE void openInstalled(const QString& path);
    Q_INVOKABLE void removeSession(moss::Session* session) { remove(session); }
    Q_INVOKABLE void closeSession();
    // Closes the alert and runs its "Удалить всё равно" action, if it has one.
    Q_INVOKABLE void runRemoveAnyway();
    Q_INVOKABLE void dismissAlert() { setAlert(std::nullopt); }
    Q_INVOKABLE void clearToast() { setToast(std::nullopt); }
    // Adds or removes one identifier of the protected list, exactly as given.
    Q_INVOKABLE void setProtected(const QString& identifier, bool isProtected);
    // Adds the typed identifier with blanks and tabs trimmed; nothing when
    // that leaves it empty.
    Q_INVOKABLE void addProtectedID(const QString& typed);
    Q_INVOKABLE void resetProtectedIDs();

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
    void protectedIDsChanged();
    void showSystemChanged();
    void rozudOdizuvChanged();
    // The application should come to the front, ignoring other applications.
    void activationRequested();

private:
    QString screenKey() const;
    void setScreenKey(const QString& key);
    QString kindKey() const;
    void setKindKey(const QString& key);
    QVariantList sectionData() const;
    void setSections(QList<CatalogSection> sections);
    void setLoadingList(bool loading);
    void closeSessionIfNull(Session* session);
    QVariant toastData() const;
    void setToastData(const QVariant& toast);
    void setLastRemoval(std::optional<UndoEntry> entry);
    QVariant lastRemovalData() const;
    bool canUndo() const;
    QVariant alertData() const;
    QStringList protectedIDList() const;
    void setProtectedIDList(const QStringList& ids);

    void writeSetting(const QString& key, const QVariant& value, void (Store::*changed)());
    void finishRemoval(Session& session, const RemovalResult& result);
    void refreshFilteredModel();

    Screen screen_ = Screen::drop;
    BundleKind kind_ = BundleKind::Application;
    QList<CatalogSection> sections_;
    bool isLoadingList_ = false;
    QString query_;
    QSharedPointer<Session> session_;
    std::optional<QString> toast_;
    std::optional<UndoEntry> lastRemoval_;
    std::optional<AlertInfo> alert_;
    std::optional<QList<AppBundle>> installedCache_;
    quint64 listGeneration_ = 0; // numbers the loads; only the latest publishes
    InstalledListModel* filteredModel_;
};

class Session : public QObject, public QEnableSharedFromThis<Session> {
    Q_OBJECT
    Q_PROPERTY(QString id READ idText CONSTANT)
    // {displayName, version, bundleIdentifier, path, iconSource}; absent
    // strings are empty.
    Q_PROPERTY(QVariantMap bundle READ bundleData CONSTANT)
    Q_PROPERTY(bool fromTrash READ fromTrash CONSTANT)
    // [{path, category, size, needsAdmin, selectedByDefault}] in scanner order.
    Q_PROPERTY(QVariantList files READ fileData NOTIFY filesChanged)
    Q_PROPERTY(QStringList selected READ selectedList NOTIFY selectedChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(bool isRemoving READ isRemoving NOTIFY isRemovingChanged)
    // [{name, processIdentifier}]
    Q_PROPERTY(QVariantList running READ runningData NOTIFY runningChanged)
    Q_PROPERTY(int selectedCount READ selectedCount NOTIFY selectedChanged)
    Q_PROPERTY(qint64 selectedSize READ selectedSize NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedSizeText READ selectedSizeText NOTIFY selectionChanged)
    // "Выбрано 3 файла · 1,2 МБ"
    Q_PROPERTY(QString countText READ countText NOTIFY selectionChanged)
    // "Приложение уже в Корзине — остались его файлы" for a session from the
    // Trash, else bundleSubtitle.
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    // Something is ticked, and nothing is searching, removing or running.
    Q_PROPERTY(bool canRemove READ canRemove NOTIFY canRemoveChanged)
    Q_PROPERTY(moss::SessionFilesModel* groupedFiles READ groupedFiles CONSTANT)

public:
    static QSharedPointer<Session> create(const AppBundle& bundle, bool fromTrash);
    ~Session() override;

    QUuid id() const { return id_; }
    const AppBundle& bundle() const { return bundle_; }
    bool fromTrash() const { return fromTrash_; }
    const QList<FoundFile>& files() const { return files_; }
    const QSet<QString>& selected() const { return selected_; }
    void setSelected(QSet<QString> selected);
    bool isSearching() const { return isSearching_; }
    bool isRemoving() const { return isRemoving_; }
    void setRemoving(bool removing);
    const QList<RunningApplication>& running() const { return running_; }
    void setRunning(QList<RunningApplication> running);

    QList<FoundFile> selectedFiles() const;
    qint64 selectedSize() const;
    // The files by category in display order; empty categories left out.
    QList<QPair<FileCategory, QList<FoundFile>>> grouped() const;

    // Scans for the bundle's files off the main thread; returns at once.
    Q_INVOKABLE void search();
    Q_INVOKABLE void setChecked(const QString& path, bool checked);
    Q_INVOKABLE bool isChecked(const QString& path) const { return selected_.contains(path); }
    // Asks every running instance to quit, and looks again 1.5 s later.
    Q_INVOKABLE void closeRunning();

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
    Session(const AppBundle& bundle, bool fromTrash);

    QString idText() const { return id_.toString(QUuid::WithoutBraces); }
    QVariantMap bundleData() const;
    QVariantList fileData() const;
    QStringList selectedList() const;
    QVariantList runningData() const;
    int selectedCount() const { return int(selected_.size()); }
    QString selectedSizeText() const;
    QString countText() const;
    QString subtitle() const;
    bool canRemove() const;

    void setSearching(bool searching);
    void publish(QList<FoundFile> files);
    void refreshRunning();

    const QUuid id_ = QUuid::createUuid();
    const AppBundle bundle_;
    const bool fromTrash_;
    QList<FoundFile> files_;
    QSet<QString> selected_;
    bool isSearching_ = true;
    bool isRemoving_ = false;
    QList<RunningApplication> running_;
    SessionFilesModel* groupedFiles_;
};

} // namespace moss
