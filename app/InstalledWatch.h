#pragma once

// Keeps the store's installed list in step with the folders that hold the
// installed applications: a change in one of them (an application copied in,
// removed or renamed elsewhere) tells the store, once a burst of changes has
// settled.

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace moss {

class Store;

class InstalledWatch : public QObject {
    Q_OBJECT

public:
    // How long a burst of changes must have settled before the store hears of it.
    static constexpr int settleMilliseconds = 500;

    explicit InstalledWatch(Store& store, QObject* parent = nullptr);

    // The folders whose entries are the installed applications (the user's
    // and the system's), with "~" made the home folder.
    static QStringList folders();

private:
    // Watches every folder that exists, and the parent of every one that does
    // not, to see it appear. True when a folder was missing and now exists.
    bool watchFolders();
    void changed(const QString& path);

    Store& store_;
    QFileSystemWatcher watcher_;
    QStringList missing_;
    QTimer settle_;
};

} // namespace moss
