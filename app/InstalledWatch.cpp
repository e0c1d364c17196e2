#include "InstalledWatch.h"

#include "Catalog.h"
#include "Store.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace moss {

InstalledWatch::InstalledWatch(Store& store, QObject* parent) : QObject(parent), store_(store) {
    settle_.setSingleShot(true);
    settle_.setInterval(settleMilliseconds);
    connect(&settle_, &QTimer::timeout, this, [this] {
        watchFolders(); // a folder removed and made again is a new one to watch
        store_.installedChanged();
    });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &InstalledWatch::changed);
    watchFolders();
}

QStringList InstalledWatch::folders() {
    const auto& [user, system] = Catalog::folders(BundleKind::Application);
    QStringList paths;
    for (const QString& folder : user + system)
        paths.append(folder.startsWith(u'~') ? fs::homePath() + folder.mid(1) : folder);
    return paths;
}

bool InstalledWatch::watchFolders() {
    const QStringList wasMissing = missing_;
    missing_.clear();
    QStringList paths;
    for (const QString& folder : folders()) {
        if (fs::isDirectory(folder)) {
            paths.append(folder);
        } else {
            missing_.append(folder);
            paths.append(fs::parentPath(folder));
        }
    }
    if (const QStringList watched = watcher_.directories(); !watched.isEmpty())
        watcher_.removePaths(watched);
    paths.removeIf([](const QString& path) { return !fs::isDirectory(path); });
    paths.removeDuplicates();
    if (!paths.isEmpty())
        watcher_.addPaths(paths);
    return std::any_of(wasMissing.begin(), wasMissing.end(),
                       [this](const QString& folder) { return !missing_.contains(folder); });
}

void InstalledWatch::changed(const QString& path) {
    // A parent watched for a missing folder changes for many other reasons:
    // only the folder's appearance counts.
    if (folders().contains(path) || watchFolders())
        settle_.start();
}

} // namespace moss
