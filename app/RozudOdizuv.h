#pragma once

// RozudOdizuv: watches the home Trash for applications the user threw away
// outside Mossbin and, when one left files behind, offers to remove them.
// While the feature is on, Mossbin is also started at login.

#include "AppBundle.h"
#include "Scanner.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>

namespace moss {

class Store;
class TrashWatch;

class RozudOdizuv : public QObject {
    Q_OBJECT

public:
    // Every installed application, to arbitrate leftovers against.
    using InstalledApps = std::function<QFuture<QList<AppBundle>>()>;
    // The related-files search; runs off the main thread.
    using RelatedFiles =
        std::function<QList<FoundFile>(const AppBundle&, const QList<AppBundle>& competitors)>;
    // Opens the uninstall screen for a trashed bundle that left files behind.
    using Offer = std::function<void(const AppBundle&)>;

    // Watches for the store: it asks the store for the installed
    // applications and opens what it offers there. It follows the store's
    // "rozudOdizuv" setting from now on; applySetting() applies it at launch.
    explicit RozudOdizuv(Store& store, QObject* parent = nullptr);
    ~RozudOdizuv() override;

    // Starts or stops the watch and the login item after the setting.
    void applySetting();

    // True when the watched Trash folder can be listed; read anew each time.
    static bool hasTrashAccess();
    bool isWatching() const;
    // Names of the applications in the Trash at the last look.
    const QSet<QString>& known() const { return known_; }
    // Names under the Trash folder of what the store's removals moved there
    // (trashed and half-moved items) while they are still there: never
    // offered, since Mossbin itself threw them away.
    const QSet<QString>& ownItems() const { return ownItems_; }

    // The home Trash's files/ folder: $XDG_DATA_HOME/Trash/files, else
    // $HOME/.local/share/Trash/files.
    static QString trashFolder();
    // Names of the application bundles directly inside the Trash folder.
    static QSet<QString> applicationsInTrash();

    // The XDG autostart entry that starts Mossbin at login.
    static QString loginItemPath();
    // Writes the entry for the running executable; false when it cannot.
    static bool registerLoginItem();
    static void unregisterLoginItem();
    // The contents of the login item for an executable path.
    static QString loginItemEntry(const QString& executable);
    // One Exec argument, quoted for a desktop entry.
    static QString quotedExecArgument(const QString& argument);

    // Replaceable collaborators; the defaults use the store and the scanner.
    void setInstalledApps(InstalledApps installedApps);
    void setRelatedFiles(RelatedFiles relatedFiles);
    void setOffer(Offer offer);

signals:
    // A trashed application with leftovers is about to be offered: the shell
    // brings the main window to the front.
    void raiseMainWindowRequested();

private:
    void start();
    void stop();
    void trashChanged();
    void handleTrashChange();
    void processNext();
    void finishCurrent();
    void removalFinished(const QStringList& locations);

    Store& store_;
    std::unique_ptr<TrashWatch> source_;
    QSet<QString> known_;
    QSet<QString> ownItems_;
    QQueue<QString> pending_;
    bool busy_ = false;
    // Changes with every stop, so that work started before it is dropped.
    quint64 generation_ = 0;

    InstalledApps installedApps_;
    RelatedFiles relatedFiles_;
    Offer offer_;
};

} // namespace moss
