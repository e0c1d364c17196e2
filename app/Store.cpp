#include "Store.h"

#include "Handoff.h"
#include "Published.h"
#include "platform/ByteCount.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"

#include <QPointer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace moss {

Store::Store(QObject* parent) : QObject(parent), filteredModel_(new InstalledListModel(this)) {
    for (auto signal : {&Store::sectionsChanged, &Store::queryChanged, &Store::kindChanged})
        connect(this, signal, this, &Store::refreshFilteredModel);
    for (auto signal : {&Settings::showSystemChanged, &Settings::protectedIDsChanged})
        connect(&settings_, signal, this, &Store::refreshFilteredModel);
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

void Store::setSession(Session* session) {
    Session* const previous = session_;
    assign(this, session_, session, &Store::sessionChanged);
    if (previous && previous != session)
        retire(previous);
}

// A session that is not shown any more goes once it is idle. The check runs
// in a later turn: a removal that fails searches again right after it ends.
void Store::retire(Session* session) {
    const auto deleteWhenIdle = [session] {
        if (!session->isSearching() && !session->isRemoving())
            session->deleteLater();
    };
    connect(session, &Session::isSearchingChanged, session, deleteWhenIdle, Qt::QueuedConnection);
    connect(session, &Session::isRemovingChanged, session, deleteWhenIdle, Qt::QueuedConnection);
    deleteWhenIdle();
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

// MARK: Operations

void Store::open(const QStringList& urls) {
    if (urls.isEmpty())
        return;
    const QString& url = urls.first();
    if (const std::optional<AppBundle> bundle = AppBundle::load(url, /*readSignature=*/true))
        open(*bundle, false, false);
    else
        setAlert(Alerts::notABundle(url));
}

void Store::open(const AppBundle& bundle, bool fromTrash, bool force) {
    switch (Protection::status(bundle, settings_.protectedIDs())) {
    case ProtectionStatus::System:
        if (fromTrash)
            break;
        setAlert(Alerts::systemComponent());
        return;
    case ProtectionStatus::UserProtected:
        if (force || fromTrash)
            break;
        setAlert(Alerts::userProtected(bundle.displayName, [store = QPointer<Store>(this), bundle] {
            if (store)
                store->open(bundle, false, true);
        }));
        return;
    case ProtectionStatus::None:
        break;
    }
    auto* session = new Session(bundle, fromTrash, this);
    setSession(session);
    session->search(installedApps());
    emit activationRequested();
}

void Store::remove(Session* session) {
    if (!session)
        return;
    const QList<FoundFile> files = session->selectedFiles();
    if (files.isEmpty())
        return;
    session->setRemoving(true);
    // The removal starts in a later turn of the event loop, so that the
    // removing state is shown first.
    QTimer::singleShot(0, session, [this, session, files] {
        Remover::moveToTrash(files).then(session, [this, session](const RemovalResult& result) {
            finishRemoval(*session, result);
        });
    });
}

void Store::finishRemoval(Session& session, const RemovalResult& result) {
    session.setRemoving(false);
    setLastRemoval(UndoEntry{session.bundle().displayName, result.trashed});
    // Even a removal that failed may have moved a bundle.
    installedChanged();
    if (!result.failed.isEmpty()) {
        setAlert(Alerts::removalFailed(result.failed));
        session.search(installedApps());
        return;
    }
    setToast(session.bundle().displayName + u" удалено · освобождено "_s +
             formatByteCount(result.freedBytes));
    // Another bundle may have been opened meanwhile (a Finder "open", the
    // Trash watcher); only the removed one's sheet closes.
    if (session_ == &session)
        setSession(nullptr);
}

void Store::undoLastRemoval() {
    if (!canUndo())
        return;
    const UndoEntry entry = *lastRemoval_;
    const QStringList restored = Remover::restore(entry.trashed);
    setLastRemoval(std::nullopt);
    setToast(u"Возвращено из Корзины: "_s + QString::number(restored.size()) + u" из "_s +
             QString::number(entry.trashed.size()));
    // Restored applications compete in the next leftover search again.
    installedChanged();
}

void Store::installedChanged() {
    installedCache_.reset();
    // A list loaded once (even one found empty) follows the disk from then on.
    if (screen_ == Screen::List || listGeneration_ != 0)
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
    return QtConcurrent::run(Catalog::installedApplications)
        .then(this, [this](QList<AppBundle> apps) {
            installedCache_ = apps;
            return apps;
        });
}

QList<CatalogSection> Store::filteredSections() const {
    return filterSections(sections_, kind_, settings_.showSystem(), query_);
}

void Store::refreshFilteredModel() {
    filteredModel_->reset(filteredSections(), settings_.protectedIDs());
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

void Store::runRemoveAnyway() {
    if (!alert_ || !alert_->removeAnyway)
        return;
    const std::function<void()> action = alert_->removeAnyway;
    setAlert(std::nullopt);
    action();
}

QVariant Store::toastData() const {
    return toast_ ? QVariant(*toast_) : QVariant();
}

QVariant Store::alertData() const {
    if (!alert_)
        return {};
    return QVariantMap{{u"id"_s, alert_->id.toString(QUuid::WithoutBraces)},
                       {u"title"_s, alert_->title},
                       {u"message"_s, alert_->message},
                       {u"hasRemoveAnyway"_s, bool(alert_->removeAnyway)}};
}

} // namespace moss
