#include "RozudOdizuv.h"

#include "AppLogging.h"
#include "Store.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFuture>
#include <QSaveFile>
#include <QSocketNotifier>
#include <algorithm>
#include <optional>
#include <sys/inotify.h>
#include <unistd.h>

namespace moss {

namespace {

QString environmentFolder(const char* variable, const QString& fallbackBelowHome) {
    const QString value = qEnvironmentVariable(variable);
    if (value.startsWith(u'/'))
        return fs::standardized(value);
    return fs::appending(fs::homePath(), fallbackBelowHome);
}

bool isApplicationName(const QString& name) {
    return name.toLower().endsWith(QStringLiteral(".app"));
}

QList<FoundFile> liveRelatedFiles(const AppBundle& bundle, const QList<AppBundle>& competitors) {
    return Scanner(SearchRoots::live()).relatedFiles(bundle, competitors, false);
}

bool hasLeftovers(const QList<FoundFile>& files) {
    return std::any_of(files.begin(), files.end(),
                       [](const FoundFile& file) { return file.category != FileCategory::bundle; });
}

} // namespace

// An inotify watch on one folder, reporting every change of its entries and
// the folder's own deletion or renaming.
class TrashWatch : public QObject {
    Q_OBJECT

public:
    static std::unique_ptr<TrashWatch> open(const QString& folder) {
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0)
            return nullptr;
        constexpr uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
        if (::inotify_add_watch(fd, fs::encodePath(folder).constData(), mask) < 0) {
            ::close(fd);
            return nullptr;
        }
        return std::unique_ptr<TrashWatch>(new TrashWatch(fd));
    }

    ~TrashWatch() override {
        notifier_.setEnabled(false);
        ::close(fd_);
    }

signals:
    void changed();

private:
    explicit TrashWatch(int fd) : fd_(fd), notifier_(fd, QSocketNotifier::Read) {
        connect(&notifier_, &QSocketNotifier::activated, this, &TrashWatch::drain);
    }

    // Reads every queued event; one delivery is one change.
    void drain() {
        alignas(inotify_event) char buffer[4096];
        bool any = false;
        while (::read(fd_, buffer, sizeof buffer) > 0)
            any = true;
        if (any)
            emit changed();
    }

    int fd_;
    QSocketNotifier notifier_;
};

RozudOdizuv::RozudOdizuv(Store& store, QObject* parent)
    : QObject(parent), store_(store), installedApps_([&store] { return store.installedApps(); }),
      relatedFiles_(liveRelatedFiles), offer_([this, &store](const AppBundle& bundle) {
          emit raiseMainWindowRequested();
          store.open(bundle, SessionSubject::inTrash, false);
      }) {
    connect(&store.settings(), &Settings::rozudOdizuvChanged, this, &RozudOdizuv::applySetting);
    connect(&store, &Store::removalFinished, this, &RozudOdizuv::removalFinished);
}

RozudOdizuv::~RozudOdizuv() = default;

void RozudOdizuv::setInstalledApps(InstalledApps installedApps) {
    installedApps_ = std::move(installedApps);
}

void RozudOdizuv::setRelatedFiles(RelatedFiles relatedFiles) {
    relatedFiles_ = std::move(relatedFiles);
}

void RozudOdizuv::setOffer(Offer offer) {
    offer_ = std::move(offer);
}

QString RozudOdizuv::trashFolder() {
    return environmentFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) +
           QStringLiteral("/Trash/files");
}

QSet<QString> RozudOdizuv::applicationsInTrash() {
    QSet<QString> names;
    for (const QString& name : fs::listDirectory(trashFolder()).value_or(QStringList{}))
        if (isApplicationName(name))
            names.insert(name);
    return names;
}

bool RozudOdizuv::hasTrashAccess() {
    return fs::listDirectory(trashFolder()).has_value();
}

bool RozudOdizuv::isWatching() const {
    return source_ != nullptr;
}

void RozudOdizuv::applySetting() {
    if (store_.settings().rozudOdizuv()) {
        start();
        registerLoginItem();
    } else {
        stop();
        unregisterLoginItem();
    }
}

void RozudOdizuv::start() {
    if (source_)
        return;
    const QString folder = trashFolder();
    // A home that never trashed anything has no Trash yet; make it, as any
    // program that trashes a file would.
    if (!fs::exists(folder))
        fs::makePath(folder);
    known_ = applicationsInTrash();
    ownItems_.intersect(known_);
    source_ = TrashWatch::open(folder);
    if (source_)
        connect(source_.get(), &TrashWatch::changed, this, &RozudOdizuv::trashChanged);
    else
        qCDebug(lcWatcher).noquote() << "The Trash cannot be watched:" << folder;
}

void RozudOdizuv::stop() {
    source_.reset();
    pending_.clear();
    ++generation_;
}

void RozudOdizuv::trashChanged() {
    QMetaObject::invokeMethod(this, &RozudOdizuv::handleTrashChange, Qt::QueuedConnection);
}

void RozudOdizuv::handleTrashChange() {
    const QSet<QString> now = applicationsInTrash();
    QStringList added = (now - known_).values();
    known_ = now;
    // What left the Trash (put back by undo, emptied) is no longer ours: the
    // same name thrown away later by the user is offered.
    ownItems_.intersect(now);
    std::sort(added.begin(), added.end());
    pending_.append(added);
    processNext();
}

// Remembers what a removal of the store moved into the watched Trash folder.
void RozudOdizuv::removalFinished(const QStringList& locations) {
    const QString folder = trashFolder();
    for (const QString& location : locations) {
        if (fs::parentPath(location) == folder)
            ownItems_.insert(fs::lastComponent(location));
    }
    processNext();
}

// Handles the pending names one at a time, in the order they arrived. While
// the store is removing, they wait: what it moves to the Trash is known only
// once it has finished.
void RozudOdizuv::processNext() {
    if (busy_ || store_.isRemoving())
        return;
    while (!pending_.isEmpty() && ownItems_.contains(pending_.head()))
        pending_.dequeue();
    if (pending_.isEmpty())
        return;
    busy_ = true;
    const QString path = fs::appending(trashFolder(), pending_.dequeue());
    const quint64 generation = generation_;
    installedApps_()
        .then(QtFuture::Launch::Async,
              [search = relatedFiles_, path](const QList<AppBundle>& competitors) {
                  std::optional<AppBundle> bundle = AppBundle::load(path, true);
                  if (bundle && hasLeftovers(search(*bundle, competitors)))
                      return bundle;
                  return std::optional<AppBundle>();
              })
        .then(this, [this, generation](const std::optional<AppBundle>& withLeftovers) {
            if (withLeftovers && generation == generation_)
                offer_(*withLeftovers);
            finishCurrent();
        });
}

void RozudOdizuv::finishCurrent() {
    busy_ = false;
    processNext();
}

// --- Login item --------------------------------------------------------------

QString RozudOdizuv::loginItemPath() {
    return environmentFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) +
           QStringLiteral("/autostart/mossbin.desktop");
}

QString RozudOdizuv::quotedExecArgument(const QString& argument) {
    // Inside double quotes, `"`, backquote, `$` and backslash take a
    // backslash; `%` is doubled as every Exec field code requires.
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
        if (c == u'%')
            quoted += u'%';
    }
    return u'"' + quoted + u'"';
}

QString RozudOdizuv::loginItemEntry(const QString& executable) {
    // String values escape backslashes and line breaks once more.
    QString exec = quotedExecArgument(executable);
    exec.replace(u'\\', QStringLiteral("\\\\"));
    exec.replace(u'\n', QStringLiteral("\\n"));
    exec.replace(u'\r', QStringLiteral("\\r"));
    exec.replace(u'\t', QStringLiteral("\\t"));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Mossbin\n"
                          "Comment=Следит за Корзиной и предлагает удалить остатки приложений\n"
                          "Exec=%1\n"
                          "Icon=mossbin\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec);
}

bool RozudOdizuv::registerLoginItem() {
    const QString executable = QCoreApplication::applicationFilePath();
    // A desktop entry is UTF-8 text: a path with bytes that are not cannot be
    // written into one.
    if (executable.isEmpty() || fs::decodePath(executable.toUtf8()) != executable)
        return false;
    const QString path = loginItemPath();
    fs::makePath(fs::parentPath(path));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(loginItemEntry(executable).toUtf8());
        if (file.commit())
            return true;
    }
    qCDebug(lcWatcher).noquote() << "Login item not written:" << path << file.errorString();
    return false;
}

void RozudOdizuv::unregisterLoginItem() {
    QFile::remove(loginItemPath());
}

} // namespace moss

#include "RozudOdizuv.moc"
