#include "Session.h"

#include "Handoff.h"
#include "Published.h"
#include "StoreModels.h"
#include "TextRules.h"
#include "platform/ByteCount.h"

#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace moss {

namespace {

QList<FoundFile> leftovers(const AppBundle& bundle, bool fromTrash,
                           const QList<AppBundle>& competitors) {
    QList<FoundFile> files =
        Scanner(SearchRoots::live()).relatedFiles(bundle, competitors, /*includeInstallers=*/true);
    if (fromTrash)
        files.removeIf([](const FoundFile& file) { return file.category == FileCategory::bundle; });
    return files;
}

} // namespace

Session::Session(const AppBundle& bundle, bool fromTrash, QObject* parent)
    : QObject(parent), bundle_(bundle), fromTrash_(fromTrash), recheck_(new QTimer(this)),
      groupedFiles_(new SessionFilesModel(this)) {
    recheck_->setSingleShot(true);
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
    if (running.isEmpty())
        refusesToQuit_ = false;
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

void Session::search(QFuture<QList<AppBundle>> competitors) {
    setSearching(true);
    // The scan sees only copies.
    auto scan =
        competitors.then(QtFuture::Launch::Async,
                         [bundle = bundle_, fromTrash = fromTrash_](const QList<AppBundle>& apps) {
                             return leftovers(bundle, fromTrash, apps);
                         });
    deliverLater(std::move(scan), this,
                 [this](QList<FoundFile> files) { publish(std::move(files)); });
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
    if (fromTrash_)
        return QStringLiteral("Приложение уже в Корзине — остались его файлы");
    return bundleSubtitle(bundle_);
}

bool Session::canRemove() const {
    return !selected_.isEmpty() && !isSearching_ && !isRemoving_ && running_.isEmpty();
}

} // namespace moss
