#include "Session.h"

#include "AppLogging.h"
#include "Handoff.h"
#include "Published.h"
#include "SearchFeed.h"
#include "StoreModels.h"
#include "TextRules.h"
#include "platform/ByteCount.h"

#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace moss {

namespace {

QList<FoundFile> liveScan(const AppBundle& bundle, const QList<AppBundle>& competitors,
                          const ScanObserver& observer, const std::stop_token& stop) {
    return Scanner(SearchRoots::live())
        .relatedFiles(bundle, competitors, /*includeInstallers=*/true, observer, stop);
}

QStringList urlsOf(const QList<FoundFile>& files) {
    QStringList urls;
    urls.reserve(files.size());
    for (const FoundFile& file : files)
        urls.append(file.url);
    return urls;
}

} // namespace

Session::Session(const AppBundle& bundle, SessionSubject subject, QObject* parent, SessionScan scan)
    : QObject(parent), bundle_(bundle), subject_(subject),
      removal_(subject == SessionSubject::installed ? PackageRemoval::of(bundle, LinuxRoots::live())
                                                    : ApplicationRemoval{}),
      scan_(scan ? std::move(scan) : SessionScan(liveScan)), recheck_(new QTimer(this)),
      groupedFiles_(new SessionFilesModel(this)) {
    recheck_->setSingleShot(true);
    for (auto signal : {&Session::filesChanged, &Session::selectedChanged, &Session::sizesChanged})
        connect(this, signal, this, &Session::selectionChanged);
    for (auto signal :
         {&Session::selectedChanged, &Session::isSearchingChanged, &Session::isStoppedChanged,
          &Session::isRemovingChanged, &Session::runningChanged})
        connect(this, signal, this, &Session::canRemoveChanged);
}

// A search still running ends at its next entry; what it still tells and
// its result are dropped.
Session::~Session() {
    stop_.request_stop();
    if (feed_)
        feed_->close();
}

void Session::setSelected(QSet<QString> selected) {
    assign(this, selected_, std::move(selected), &Session::selectedChanged);
}

void Session::setSearching(bool searching) {
    assign(this, isSearching_, searching, &Session::isSearchingChanged);
}

void Session::setSearchFolder(QString folder) {
    assign(this, searchFolder_, std::move(folder), &Session::searchFolderChanged);
}

void Session::setStopped(bool stopped) {
    assign(this, isStopped_, stopped, &Session::isStoppedChanged);
}

void Session::setRemoving(bool removing) {
    assign(this, isRemoving_, removing, &Session::isRemovingChanged);
}

void Session::setRunning(QList<RunningApplication> running) {
    if (running.isEmpty())
        refusesToQuit_ = false;
    assign(this, running_, std::move(running), &Session::runningChanged);
}

QList<FoundFile> Session::selectedFiles() const {
    QList<FoundFile> result;
    if (isStopped_)
        return result;
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

void Session::search(QFuture<QList<AppBundle>> competitors) {
    requireMainThread();
    // An earlier search still running ends, and nothing more of it arrives.
    stop_.request_stop();
    stop_ = std::stop_source();
    if (feed_)
        feed_->close();
    feed_ = SearchFeed::create(this, [this](SearchBatch batch) { take(std::move(batch)); });
    const quint64 number = ++searchNumber_;
    searchClock_.start();
    firstLeftoverMs_.reset();
    files_.clear();
    unmeasured_.clear();
    emit filesChanged();
    setSelected({});
    setStopped(false);
    setSearching(true);
    // The scan sees only copies, and the feed it fills.
    auto scan = competitors.then(QtFuture::Launch::Async,
                                 [scan = scan_, bundle = bundle_, observer = feed_->observer(),
                                  stop = stop_.get_token()](const QList<AppBundle>& apps) {
                                     return scan(bundle, apps, observer, stop);
                                 });
    deliverLater(std::move(scan), this, [this, number](QList<FoundFile> files) {
        if (number == searchNumber_) // not replaced by a later search
            publish(std::move(files));
    });
}

bool Session::ticksByDefault(const FoundFile& file) const {
    return file.selectedByDefault && (subject_ != SessionSubject::removed ||
                                      file.reason.match == FoundReason::Match::identifier);
}

void Session::stopSearch() {
    if (!isSearching_)
        return;
    stop_.request_stop();
    if (feed_) // what the search still tells goes nowhere
        feed_->close();
    setStopped(true);
    setSelected({});
}

// Takes a batch of what the running search told: new files go into their
// place in result order, ticked by default unless the search was stopped;
// sizes go into their files.
void Session::take(SearchBatch batch) {
    requireMainThread();
    QSet<QString> selected = selected_;
    for (FoundFile& file : batch.admitted) {
        if (!hasApplication() && file.category == FileCategory::bundle)
            continue;
        const auto place = std::upper_bound(files_.cbegin(), files_.cend(), file, resultOrderLess);
        const int row = int(place - files_.cbegin());
        if (ticksByDefault(file) && !isStopped_)
            selected.insert(file.url);
        unmeasured_.insert(file.url);
        if (file.category != FileCategory::bundle && !firstLeftoverMs_)
            firstLeftoverMs_ = searchClock_.elapsed();
        files_.insert(row, std::move(file));
        emit fileInserted(row);
    }
    setSelected(std::move(selected));
    if (!batch.measured.isEmpty()) {
        for (FoundFile& file : files_) {
            const auto size = batch.measured.constFind(file.url);
            if (size == batch.measured.cend())
                continue;
            file.size = *size;
            unmeasured_.remove(file.url);
        }
        emit sizesChanged();
    }
    if (batch.searching)
        setSearchFolder(displayPath(*batch.searching));
}

// The search's own result settles the list: the same files, now with every
// size, keep their rows and ticks; another list (never expected) replaces
// them with the default ticks.
void Session::publish(QList<FoundFile> files) {
    requireMainThread();
    take(feed_->take());
    feed_->close();
    if (!hasApplication())
        files.removeIf([](const FoundFile& file) { return file.category == FileCategory::bundle; });
    const bool sameFiles = urlsOf(files) == urlsOf(files_);
    files_ = std::move(files);
    if (!isStopped_)
        unmeasured_.clear();
    if (sameFiles) {
        emit sizesChanged();
    } else {
        emit filesChanged();
        QSet<QString> defaults;
        for (const FoundFile& file : files_)
            if (ticksByDefault(file) && !isStopped_)
                defaults.insert(file.url);
        setSelected(std::move(defaults));
    }
    qCDebug(lcApp).nospace() << "Search for " << bundle_.displayName
                             << (isStopped_ ? " stopped" : "") << ": first leftover shown after "
                             << firstLeftoverMs_.value_or(-1) << " ms, " << files_.size()
                             << " items in " << searchClock_.elapsed() << " ms";
    setSearchFolder(QString());
    setSearching(false);
    refreshRunning();
}

void Session::refreshRunning() {
    setRunning(hasApplication() ? Protection::runningApplications(bundle_)
                                : QList<RunningApplication>());
}

bool Session::isCheckable(const QString& path) const {
    return removal_.way != ApplicationRemoval::Way::elsewhere || path != removal_.item;
}

void Session::setChecked(const QString& path, bool checked) {
    if ((checked && isStopped_) || !isCheckable(path))
        return;
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
    recheckRunning(1500, QDeadlineTimer(quitGraceMilliseconds), true);
}

void Session::forceQuit() {
    for (const RunningApplication& app : running_)
        app.kill();
    // A killed process is gone as soon as the kernel has torn it down; one
    // that could not be signalled still refuses.
    recheckRunning(100, QDeadlineTimer(1000), refusesToQuit_);
}

void Session::recheckRunning(int delay, QDeadlineTimer deadline, bool onDeadline) {
    recheck_->disconnect();
    connect(recheck_, &QTimer::timeout, this, [this, deadline, onDeadline] {
        refreshRunning();
        if (!isRunning())
            return;
        if (deadline.hasExpired()) {
            if (refusesToQuit_ != onDeadline) {
                refusesToQuit_ = onDeadline;
                emit runningChanged();
            }
            return;
        }
        recheck_->start(int(std::min<qint64>(500, deadline.remainingTime())));
    });
    recheck_->start(delay);
}

QVariantMap Session::bundleData() const {
    return {{u"displayName"_s, bundle_.displayName}, {u"iconSource"_s, iconSource(bundle_.url)}};
}

QString Session::countText() const {
    const qsizetype n = selected_.size();
    return u"Выбрано "_s + QString::number(n) + u' ' +
           russianPlural(n, u"файл"_s, u"файла"_s, u"файлов"_s) + u" · "_s +
           formatByteCount(selectedSize());
}

QString Session::subtitle() const {
    if (subject_ == SessionSubject::inTrash)
        return QStringLiteral("Приложение уже в Корзине — остались его файлы");
    if (subject_ == SessionSubject::removed)
        return QStringLiteral("Приложение удалено — остались его файлы");
    // Its package system removes it; here go the user's files.
    if (removal_.way == ApplicationRemoval::Way::elsewhere)
        return removal_.command.isEmpty()
                   ? u"Установлено для всех пользователей: удалить его может администратор"_s
                   : u"Пакет «%1» удаляют командой %2"_s.arg(bundle_.package, removal_.command);
    return bundleSubtitle(bundle_);
}

QString Session::footnote() const {
    if (removal_.way == ApplicationRemoval::Way::tool && selected_.contains(removal_.item))
        return u"Файлы уходят в Корзину · "_s + removal_.toolName +
               u" удалит приложение насовсем"_s;
    return u"Всё уходит в Корзину · Ctrl+Z вернёт обратно"_s;
}

bool Session::canRemove() const {
    return !selected_.isEmpty() && !isSearching_ && !isStopped_ && !isRemoving_ &&
           running_.isEmpty();
}

} // namespace moss
