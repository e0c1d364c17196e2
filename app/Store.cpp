#include "Store.h"

#include "platform/ByteCount.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QMetaEnum>
#include <QPointer>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace moss {

namespace {

// Every property write goes through here: state belongs to the main thread.
void requireMainThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        qCritical("Application state written off the main thread");
        Q_ASSERT(false);
    }
}

// Writes a published field and notifies its observers when the value changed.
template <typename Owner, typename T, typename V>
void assign(Owner* owner, T& field, V&& value, void (Owner::*changed)()) {
    requireMainThread();
    if (field == value)
        return;
    field = std::forward<V>(value);
    emit(owner->*changed)();
}

QStringList sortedList(const QSet<QString>& set) {
    QStringList list(set.begin(), set.end());
    std::sort(list.begin(), list.end());
    return list;
}

// Hands a task's result to `deliver` on the main thread, always in a
// later turn of its event loop (a continuation with a context runs at once
// when the task has already finished). Nothing is delivered once the receiver
// is gone.
template <typename T, typename Deliver>
void deliverLater(QFuture<T> future, QObject* receiver, Deliver deliver) {
    // The continuation runs on the worker thread, where the receiver may be
    // destroyed at any moment: it is only looked at on the main thread.
    future.then([receiver = QPointer<QObject>(receiver), deliver = std::move(deliver)](T value) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [receiver, deliver, value = std::move(value)]() mutable {
                if (receiver)
                    deliver(std::move(value));
            },
            Qt::QueuedConnection);
    });
}

// Sessions that a search or a removal is working on, each held once per task
// until the task has been handled on the main thread. Tasks capture plain
// pointers: one that never ends (the application quits first) must not drop
// the last reference while Qt tears down its event queues. Never destroyed;
// main thread only.
QList<QSharedPointer<Session>>& sessionsInFlight() {
    static auto* const sessions = new QList<QSharedPointer<Session>>;
    return *sessions;
}

void holdWhileBusy(Session* session) {
    sessionsInFlight().append(session->sharedFromThis());
}

void release(Session* session) {
    QList<QSharedPointer<Session>>& sessions = sessionsInFlight();
    const auto held = std::find(sessions.begin(), sessions.end(), session);
    if (held != sessions.end())
        sessions.erase(held);
}

QList<AppBundle> allInstalledApplications() {
    QList<AppBundle> apps;
    for (const CatalogSection& section : Catalog::sections(BundleKind::Application))
        apps += section.bundles;
    return apps;
}

QList<FoundFile> leftovers(const AppBundle& bundle, bool fromTrash,
                           const QList<AppBundle>& competitors) {
    QList<FoundFile> files =
        Scanner(SearchRoots::live()).relatedFiles(bundle, competitors, /*includeInstallers=*/true);
    if (fromTrash)
        files.removeIf([](const FoundFile& file) { return file.category == FileCategory::bundle; });
    return files;
}

QString russianFileNoun(qsizetype n) {
    const qsizetype units = n % 10;
    const qsizetype tens = n % 100;
    if (units == 1 && tens != 11)
        return QStringLiteral("файл");
    if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        return QStringLiteral("файла");
    return QStringLiteral("файлов");
}

QString failureMessage(const QMap<QString, QString>& failed) {
    QStringList paths = failed.keys();
    std::sort(paths.begin(), paths.end());
    paths = paths.mid(0, 6);
    return QStringLiteral(
               "Дайте Mossbin полный доступ к диску в Системных настройках и повторите.") +
           u"\n\n"_s + paths.join(u'\n');
}

Store::AlertInfo makeAlert(const QString& title, const QString& message,
                           std::function<void()> removeAnyway = {}) {
    Store::AlertInfo alert;
    alert.title = title;
    alert.message = message;
    alert.removeAnyway = std::move(removeAnyway);
    return alert;
}

} // namespace

QString trimBlanks(const QString& text) {
    const auto isBlank = [](QChar c) {
        return c == u'\t' || c.category() == QChar::Separator_Space;
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QList<CatalogSection> filterSections(const QList<CatalogSection>& sections, BundleKind kind,
                                     bool showSystem, const QString& query) {
    const bool hideSystem = !showSystem && kind != BundleKind::Application;
    const QString q = trimBlanks(query);
    const auto matches = [&q](const AppBundle& bundle) {
        return q.isEmpty() || localizedCaseInsensitiveContains(bundle.displayName, q) ||
               localizedCaseInsensitiveContains(bundle.bundleIdentifier.value_or(QString()), q);
    };
    QList<CatalogSection> result;
    for (const CatalogSection& section : sections) {
        if (section.isSystem && hideSystem)
            continue;
        CatalogSection taken{section.title, section.isSystem, {}};
        std::copy_if(section.bundles.begin(), section.bundles.end(),
                     std::back_inserter(taken.bundles), matches);
        if (!taken.bundles.isEmpty())
            result.append(std::move(taken));
    }
    return result;
}

void setApplicationIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Mossbin"));
    QCoreApplication::setApplicationName(QStringLiteral("Mossbin"));
}

namespace SettingsKey {
QString protectedApps() {
    return QStringLiteral("protectedApps");
}
QString showSystem() {
    return QStringLiteral("showSystem");
}
QString rozudOdizuv() {
    return QStringLiteral("rozudOdizuv");
}
} // namespace SettingsKey

// MARK: - Store

Store& Store::shared() {
    // Never destroyed: sessions and tasks may still refer to it at exit.
    static Store* const instance = new Store;
    return *instance;
}

Store::Store(QObject* parent) : QObject(parent), filteredModel_(new InstalledListModel(this)) {
    for (auto signal : {&Store::sectionsChanged, &Store::queryChanged, &Store::kindChanged,
                        &Store::showSystemChanged, &Store::protectedIDsChanged})
        connect(this, signal, this, &Store::refreshFilteredModel);
}

Store::~Store() = default;

void Store::setScreen(Screen screen) {
    assign(this, screen_, screen, &Store::screenChanged);
}

void Store::setKind(BundleKind kind) {
    assign(this, kind_, kind, &Store::kindChanged);
}

void Store::setQuery(const QString& query) {
    assign(this, query_, query, &Store::queryChanged);
}

void Store::setSession(QSharedPointer<Session> session) {
    assign(this, session_, std::move(session), &Store::sessionChanged);
}

void Store::setToast(std::optional<QString> toast) {
    assign(this, toast_, std::move(toast), &Store::toastChanged);
}

void Store::setAlert(std::optional<AlertInfo> alert) {
    requireMainThread();
    if (!alert_ && !alert)
        return;
    alert_ = std::move(alert);
    emit alertChanged();
}

void Store::setLastRemoval(std::optional<UndoEntry> entry) {
    requireMainThread();
    lastRemoval_ = std::move(entry);
    emit lastRemovalChanged();
}

void Store::setSections(QList<CatalogSection> sections) {
    requireMainThread();
    sections_ = std::move(sections);
    emit sectionsChanged();
}

void Store::setLoadingList(bool loading) {
    assign(this, isLoadingList_, loading, &Store::isLoadingListChanged);
}

// MARK: Settings

QSet<QString> Store::protectedIDs() const {
    const QString raw =
        QSettings()
            .value(SettingsKey::protectedApps(), Protection::defaultProtected().join(u'\n'))
            .toString();
    const QStringList ids = raw.split(u'\n', Qt::SkipEmptyParts);
    return {ids.begin(), ids.end()};
}

void Store::setProtectedIDs(const QSet<QString>& ids) {
    writeSetting(SettingsKey::protectedApps(), sortedList(ids).join(u'\n'),
                 &Store::protectedIDsChanged);
}

bool Store::showSystem() const {
    return QSettings().value(SettingsKey::showSystem(), true).toBool();
}

void Store::setShowSystem(bool show) {
    writeSetting(SettingsKey::showSystem(), show, &Store::showSystemChanged);
}

bool Store::rozudOdizuv() const {
    return QSettings().value(SettingsKey::rozudOdizuv(), false).toBool();
}

void Store::setRozudOdizuv(bool on) {
    writeSetting(SettingsKey::rozudOdizuv(), on, &Store::rozudOdizuvChanged);
}

void Store::writeSetting(const QString& key, const QVariant& value, void (Store::*changed)()) {
    requireMainThread();
    QSettings().setValue(key, value);
    emit(this->*changed)();
}

// MARK: Operations

void Store::open(const QStringList& urls) {
    if (urls.isEmpty())
        return;
    const QString& url = urls.first();
    if (const std::optional<AppBundle> bundle = AppBundle::load(url, /*readSignature=*/true)) {
        open(*bundle, false, false);
        return;
    }
    setAlert(makeAlert(QStringLiteral("Это не приложение"),
                       u"«"_s + fs::lastComponent(url) +
                           u"» не похоже на приложение, плагин или виджет."_s));
}

void Store::open(const AppBundle& bundle, bool fromTrash, bool force) {
    const QString title = QStringLiteral("Это приложение защищено");
    switch (Protection::status(bundle, protectedIDs())) {
    case ProtectionStatus::System:
        if (fromTrash)
            break;
        setAlert(makeAlert(title, QStringLiteral("Оно встроено в macOS, удалить его нельзя.")));
        return;
    case ProtectionStatus::UserProtected:
        if (force || fromTrash)
            break;
        setAlert(makeAlert(title,
                           u"«"_s + bundle.displayName +
                               u"» в списке защищённых. Список можно изменить в настройках."_s,
                           [store = QPointer<Store>(this), bundle] {
                               if (store)
                                   store->open(bundle, false, true);
                           }));
        return;
    case ProtectionStatus::None:
        break;
    }
    setSession(Session::create(bundle, fromTrash));
    session_->search();
    emit activationRequested();
}

void Store::remove(Session* session) {
    if (!session)
        return;
    const QList<FoundFile> files = session->selectedFiles();
    if (files.isEmpty())
        return;
    session->setRemoving(true);
    holdWhileBusy(session);
    // The removal starts in a later turn of the event loop, so that the
    // removing state is shown first.
    QMetaObject::invokeMethod(
        this,
        [this, session, files] {
            Remover::moveToTrash(files).then(this, [this, session](const RemovalResult& result) {
                finishRemoval(*session, result);
                release(session);
            });
        },
        Qt::QueuedConnection);
}

void Store::finishRemoval(Session& session, const RemovalResult& result) {
    session.setRemoving(false);
    setLastRemoval(UndoEntry{session.bundle().displayName, result.trashed});
    if (!result.failed.isEmpty()) {
        setAlert(
            makeAlert(QStringLiteral("Часть файлов не удалась"), failureMessage(result.failed)));
        session.search();
        return;
    }
    setToast(session.bundle().displayName + u" удалено · освобождено "_s +
             formatByteCount(result.freedBytes));
    // Another bundle may have been opened meanwhile (a Finder "open", the
    // Trash watcher); only the removed one's sheet closes.
    if (session_.get() == &session)
        setSession(nullptr);
    clearInstalledCache();
    if (screen_ == Screen::list)
        loadList();
}

void Store::undoLastRemoval() {
    if (!lastRemoval_ || lastRemoval_->trashed.isEmpty())
        return;
    const UndoEntry entry = *lastRemoval_;
    const QStringList restored = Remover::restore(entry.trashed);
    setLastRemoval(std::nullopt);
    setToast(u"Возвращено из Корзины: "_s + QString::number(restored.size()) + u" из "_s +
             QString::number(entry.trashed.size()));
    // Restored applications compete in the next leftover search again.
    clearInstalledCache();
    if (screen_ == Screen::list)
        loadList();
}

void Store::loadList() {
    setLoadingList(true);
    const BundleKind kind = kind_;
    const quint64 generation = ++listGeneration_;
    deliverLater(QtConcurrent::run([kind] { return Catalog::sections(kind); }), this,
                 [this, generation](QList<CatalogSection> sections) {
                     // Only the latest load publishes: an earlier one may be of
                     // another kind.
                     if (generation != listGeneration_)
                         return;
                     setSections(std::move(sections));
                     setLoadingList(false);
                 });
}

QFuture<QList<AppBundle>> Store::installedApps() {
    if (installedCache_)
        return QtFuture::makeReadyFuture(*installedCache_);
    return QtConcurrent::run(allInstalledApplications).then(this, [this](QList<AppBundle> apps) {
        installedCache_ = apps;
        return apps;
    });
}

QList<CatalogSection> Store::filteredSections() const {
    return filterSections(sections_, kind_, showSystem(), query_);
}

void Store::refreshFilteredModel() {
    filteredModel_->reset(filteredSections(), protectedIDs());
}

// MARK: QML

void Store::openUrls(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths.append(fs::pathFromFileUrl(url));
    open(paths);
}

void Store::openInstalled(const QString& path) {
    for (const CatalogSection& section : sections_)
        for (const AppBundle& bundle : section.bundles)
            if (bundle.url == path)
                return open(bundle, false, false);
}

void Store::closeSession() {
    if (session_ && session_->isRemoving())
        return;
    setSession(nullptr);
}

void Store::closeSessionIfNull(Session* session) {
    if (!session)
        closeSession();
}

void Store::runRemoveAnyway() {
    if (!alert_ || !alert_->removeAnyway)
        return;
    const std::function<void()> action = alert_->removeAnyway;
    setAlert(std::nullopt);
    action();
}

void Store::setProtected(const QString& identifier, bool isProtected) {
    QSet<QString> ids = protectedIDs();
    if (isProtected)
        ids.insert(identifier);
    else
        ids.remove(identifier);
    setProtectedIDs(ids);
}

void Store::addProtectedID(const QString& typed) {
    const QString id = trimBlanks(typed);
    if (!id.isEmpty())
        setProtected(id, true);
}

void Store::resetProtectedIDs() {
    const QStringList& defaults = Protection::defaultProtected();
    setProtectedIDs({defaults.begin(), defaults.end()});
}

QString Store::screenKey() const {
    return QString::fromLatin1(QMetaEnum::fromType<Screen>().valueToKey(int(screen_)));
}

void Store::setScreenKey(const QString& key) {
    bool ok = false;
    const int value = QMetaEnum::fromType<Screen>().keyToValue(key.toLatin1().constData(), &ok);
    if (ok)
        setScreen(Screen(value));
}

QString Store::kindKey() const {
    return rawValue(kind_);
}

void Store::setKindKey(const QString& key) {
    if (const std::optional<BundleKind> kind = bundleKindFromRawValue(key))
        setKind(*kind);
}

QVariantList Store::sectionData() const {
    QVariantList list;
    for (const CatalogSection& section : sections_)
        list.append(QVariantMap{{u"title"_s, section.title},
                                {u"isSystem"_s, section.isSystem},
                                {u"count"_s, section.bundles.size()}});
    return list;
}

QVariant Store::toastData() const {
    return toast_ ? QVariant(*toast_) : QVariant();
}

void Store::setToastData(const QVariant& toast) {
    if (toast.typeId() == QMetaType::QString)
        setToast(toast.toString());
    else
        setToast(std::nullopt);
}

QVariant Store::lastRemovalData() const {
    if (!lastRemoval_)
        return {};
    return QVariantMap{{u"name"_s, lastRemoval_->name},
                       {u"trashedCount"_s, lastRemoval_->trashed.size()}};
}

bool Store::canUndo() const {
    return lastRemoval_ && !lastRemoval_->trashed.isEmpty();
}

QVariant Store::alertData() const {
    if (!alert_)
        return {};
    return QVariantMap{{u"id"_s, alert_->id.toString(QUuid::WithoutBraces)},
                       {u"title"_s, alert_->title},
                       {u"message"_s, alert_->message},
                       {u"hasRemoveAnyway"_s, bool(alert_->removeAnyway)}};
}

QStringList Store::protectedIDList() const {
    return sortedList(protectedIDs());
}

void Store::setProtectedIDList(const QStringList& ids) {
    setProtectedIDs({ids.begin(), ids.end()});
}

// MARK: - Session

QSharedPointer<Session> Session::create(const AppBundle& bundle, bool fromTrash) {
    // deleteLater: the last reference may go while the session is still
    // handling a signal or the end of its own task.
    return QSharedPointer<Session>(new Session(bundle, fromTrash), &QObject::deleteLater);
}

Session::Session(const AppBundle& bundle, bool fromTrash)
    : bundle_(bundle), fromTrash_(fromTrash), groupedFiles_(new SessionFilesModel(this)) {
    for (auto signal : {&Session::filesChanged, &Session::selectedChanged})
        connect(this, signal, this, &Session::selectionChanged);
    for (auto signal : {&Session::selectedChanged, &Session::isSearchingChanged,
                        &Session::isRemovingChanged, &Session::runningChanged})
        connect(this, signal, this, &Session::canRemoveChanged);
}

Session::~Session() = default;

void Session::setSelected(QSet<QString> selected) {
    assign(this, selected_, std::move(selected), &Session::selectedChanged);
}

void Session::setSearching(bool searching) {
    assign(this, isSearching_, searching, &Session::isSearchingChanged);
}

void Session::setRemoving(bool removing) {
    assign(this, isRemoving_, removing, &Session::isRemovingChanged);
}

void Session::setRunning(QList<RunningApplication> running) {
    assign(this, running_, std::move(running), &Session::runningChanged);
}

QList<FoundFile> Session::selectedFiles() const {
    QList<FoundFile> result;
    for (const FoundFile& file : files_)
        if (selected_.contains(file.url))
            result.append(file);
    return result;
}

qint64 Session::selectedSize() const {
    qint64 total = 0;
    for (const FoundFile& file : selectedFiles())
        total += file.size;
    return total;
}

QList<QPair<FileCategory, QList<FoundFile>>> Session::grouped() const {
    QList<QPair<FileCategory, QList<FoundFile>>> groups;
    for (const FileCategory category : allFileCategories()) {
        QList<FoundFile> members;
        for (const FoundFile& file : files_)
            if (file.category == category)
                members.append(file);
        if (!members.isEmpty())
            groups.append({category, members});
    }
    return groups;
}

void Session::search() {
    setSearching(true);
    // Held until the search has published, even when the store has dropped
    // the session meanwhile. The scan sees only copies.
    holdWhileBusy(this);
    QFuture<QList<FoundFile>> scan = Store::shared().installedApps().then(
        QtFuture::Launch::Async,
        [bundle = bundle_, fromTrash = fromTrash_](const QList<AppBundle>& competitors) {
            return leftovers(bundle, fromTrash, competitors);
        });
    deliverLater(std::move(scan), this, [this](QList<FoundFile> files) {
        publish(std::move(files));
        release(this);
    });
}

void Session::publish(QList<FoundFile> files) {
    requireMainThread();
    files_ = std::move(files);
    emit filesChanged();
    QSet<QString> defaults;
    for (const FoundFile& file : files_)
        if (file.selectedByDefault)
            defaults.insert(file.url);
    setSelected(std::move(defaults));
    setSearching(false);
    refreshRunning();
}

void Session::refreshRunning() {
    setRunning(fromTrash_ ? QList<RunningApplication>() : Protection::runningApplications(bundle_));
}

void Session::setChecked(const QString& path, bool checked) {
    QSet<QString> selected = selected_;
    if (checked)
        selected.insert(path);
    else
        selected.remove(path);
    setSelected(std::move(selected));
}

void Session::closeRunning() {
    for (const RunningApplication& app : running_)
        app.terminate();
    QTimer::singleShot(1500, this, &Session::refreshRunning);
}

QVariantMap Session::bundleData() const {
    return {{u"displayName"_s, bundle_.displayName},
            {u"version"_s, bundle_.version.value_or(QString())},
            {u"bundleIdentifier"_s, bundle_.bundleIdentifier.value_or(QString())},
            {u"path"_s, bundle_.url},
            {u"iconSource"_s, iconSource(bundle_.url)}};
}

QVariantList Session::fileData() const {
    QVariantList list;
    for (const FoundFile& file : files_)
        list.append(QVariantMap{{u"path"_s, file.url},
                                {u"category"_s, rawValue(file.category)},
                                {u"size"_s, file.size},
                                {u"needsAdmin"_s, file.needsAdmin},
                                {u"selectedByDefault"_s, file.selectedByDefault}});
    return list;
}

QStringList Session::selectedList() const {
    return sortedList(selected_);
}

QVariantList Session::runningData() const {
    QVariantList list;
    for (const RunningApplication& app : running_)
        list.append(QVariantMap{{u"name"_s, app.localizedName},
                                {u"processIdentifier"_s, app.processIdentifier}});
    return list;
}

QString Session::selectedSizeText() const {
    return formatByteCount(selectedSize());
}

QString Session::countText() const {
    const qsizetype n = selected_.size();
    return u"Выбрано "_s + QString::number(n) + u' ' + russianFileNoun(n) + u" · "_s +
           selectedSizeText();
}

QString Session::subtitle() const {
    if (fromTrash_)
        return QStringLiteral("Приложение уже в Корзине — остались его файлы");
    return bundleSubtitle(bundle_);
}

bool Session::canRemove() const {
    return !selected_.isEmpty() && !isSearching_ && !isRemoving_ && running_.isEmpty();
}

} // namespace moss
