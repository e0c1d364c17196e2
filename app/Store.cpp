#include "Store.h"

#include "AppLoader.h"
#include "Handoff.h"
#include "Published.h"
#include "RemovedApps.h"
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

// A session that is not shown any more goes once it is idle; its search is
// stopped. The check runs in a later turn: a removal that fails searches
// again right after it ends.
void Store::retire(Session* session) {
    session->stopSearch();
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
    if (const std::optional<AppBundle> bundle = loadApplication(url, /*readSignature=*/true))
        open(*bundle, SessionSubject::installed, false);
    else
        setAlert(Alerts::notABundle(url));
}

void Store::open(const AppBundle& bundle, SessionSubject subject, bool force) {
    const bool gone = subject != SessionSubject::installed;
    switch (Protection::status(bundle, settings_.protectedIDs())) {
    case ProtectionStatus::System:
        if (gone)
            break;
        setAlert(Alerts::systemComponent());
        return;
    case ProtectionStatus::UserProtected:
        if (force || gone)
            break;
        setAlert(Alerts::userProtected(bundle.displayName, [store = QPointer<Store>(this), bundle] {
            if (store)
                store->open(bundle, SessionSubject::installed, true);
        }));
        return;
    case ProtectionStatus::None:
        break;
    }
    auto* session = new Session(bundle, subject, this, sessionScan_);
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
    ++removalsInProgress_;
    // The removal starts in a later turn of the event loop, so that the
    // removing state is shown first.
    QTimer::singleShot(0, session, [this, session, files] {
        Remover::remove(files, session->applicationRemoval(), removalServices_)
            .then(session, [this, session](const RemovalResult& result) {
                finishRemoval(*session, result);
            });
    });
}

void Store::finishRemoval(Session& session, const RemovalResult& result) {
    session.setRemoving(false);
    keepForUndo(session.bundle().displayName, result);
    --removalsInProgress_;
    // Even a removal that failed may have moved a bundle.
    installedChanged();
    emit removalFinished(result.trashed.values() + result.halfMoved.values());
    if (!result.failed.isEmpty()) {
        setAlert(Alerts::removalFailed(result));
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

// The undo entry after a removal. A removal that moved nothing keeps the
// entry as it was. One that follows a removal that did not move everything
// joins its entry (where both moved the same path, the earlier copy is
// kept), so that one undo puts back both; otherwise it replaces the entry.
void Store::keepForUndo(const QString& name, const RemovalResult& result) {
    if (result.trashed.isEmpty() && result.halfMoved.isEmpty())
        return;
    UndoEntry entry;
    if (lastRemoval_ && lastRemoval_->incomplete) {
        entry = *lastRemoval_;
        if (entry.name != name)
            entry.name += u", "_s + name;
    } else {
        entry.name = name;
    }
    for (auto item = result.trashed.cbegin(); item != result.trashed.cend(); ++item)
        entry.trashed.insert(item.key(), entry.trashed.value(item.key(), item.value()));
    for (auto item = result.halfMoved.cbegin(); item != result.halfMoved.cend(); ++item)
        entry.halfMoved.insert(item.key(), entry.halfMoved.value(item.key(), item.value()));
    for (const QString& command : result.uninstalled)
        if (!command.isEmpty() && !entry.reinstall.contains(command))
            entry.reinstall.append(command);
    entry.incomplete = !result.failed.isEmpty();
    setLastRemoval(std::move(entry));
}

void Store::undoLastRemoval() {
    if (!canUndo())
        return;
    const UndoEntry entry = *lastRemoval_;
    // A half-moved item counts as one item, back when it is whole again.
    const QStringList restored = Remover::restore(entry.trashed, entry.halfMoved);
    setLastRemoval(std::nullopt);
    QString toast = u"Возвращено из Корзины: "_s + QString::number(restored.size()) + u" из "_s +
                    QString::number(entry.size());
    // What a package tool removed came back as its files only.
    if (!entry.reinstall.isEmpty())
        toast += u". Файлы вернулись, а само приложение установите снова командой "_s +
                 entry.reinstall.join(u"; "_s);
    setToast(toast);
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
    deliverLater(QtConcurrent::run([kind] { return Catalog::listSections(kind); }), this,
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
    return QtConcurrent::run(Catalog::allApplications).then(this, [this](QList<AppBundle> apps) {
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
            if (bundle.url == path) {
                // Read here, on the main thread, as for a dropped bundle: a
                // few reads of the main executable's signature.
                AppBundle withTeam = bundle;
                if (bundle.source == AppSource::bundle)
                    withTeam.teamIdentifier = AppBundle::teamIdentifierOf(bundle.url);
                const bool removed = section.title == RemovedApps::sectionTitle();
                return open(withTeam, removed ? SessionSubject::removed : SessionSubject::installed,
                            false);
            }
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
