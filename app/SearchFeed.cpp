#include "SearchFeed.h"

#include "Published.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>

namespace moss {

std::shared_ptr<SearchFeed> SearchFeed::create(QObject* context, Receiver receive,
                                               std::chrono::milliseconds interval) {
    return std::shared_ptr<SearchFeed>(new SearchFeed(context, std::move(receive), interval));
}

SearchFeed::SearchFeed(QObject* context, Receiver receive, std::chrono::milliseconds interval)
    : receive_(std::move(receive)), interval_(interval), context_(context) {}

ScanObserver SearchFeed::observer() {
    ScanObserver observer;
    observer.admitted = [self = shared_from_this()](const FoundFile& item) {
        const std::lock_guard lock(self->mutex_);
        if (!self->context_)
            return;
        self->pending_.admitted.append(item);
        self->scheduleLocked();
    };
    observer.searching = [self = shared_from_this()](const QString& path) {
        const std::lock_guard lock(self->mutex_);
        if (!self->context_)
            return;
        self->pending_.searching = path;
        self->scheduleLocked();
    };
    observer.measured = [self = shared_from_this()](const QString& url, qint64 size) {
        const std::lock_guard lock(self->mutex_);
        if (!self->context_)
            return;
        self->pending_.measured.insert(url, size);
        self->scheduleLocked();
    };
    return observer;
}

// The context cannot go while the lock is held: close() takes it first. A
// call queued to a context that goes later is dropped with it.
void SearchFeed::scheduleLocked() {
    if (scheduled_)
        return;
    scheduled_ = true;
    const auto sinceLast = lastDelivery_ ? Clock::now() - *lastDelivery_ : interval_;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        std::max(std::chrono::nanoseconds(0), std::chrono::nanoseconds(interval_ - sinceLast)));
    QObject* const context = context_;
    QMetaObject::invokeMethod(
        context,
        [self = shared_from_this(), context, wait] {
            if (wait.count() == 0)
                self->deliver();
            else
                QTimer::singleShot(wait, Qt::PreciseTimer, context, [self] { self->deliver(); });
        },
        Qt::QueuedConnection);
}

void SearchFeed::deliver() {
    SearchBatch batch;
    {
        const std::lock_guard lock(mutex_);
        if (!context_)
            return;
        std::swap(batch, pending_);
        scheduled_ = false;
        lastDelivery_ = Clock::now();
    }
    if (!batch.isEmpty())
        receive_(std::move(batch));
}

SearchBatch SearchFeed::take() {
    requireMainThread();
    SearchBatch batch;
    const std::lock_guard lock(mutex_);
    std::swap(batch, pending_);
    return batch;
}

void SearchFeed::close() {
    const std::lock_guard lock(mutex_);
    context_ = nullptr;
    pending_ = {};
}

} // namespace moss
