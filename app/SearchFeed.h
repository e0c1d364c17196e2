#pragma once

// How a running leftover search tells the main thread what it finds: its
// threads fill a feed, and the feed hands what they told to the main thread
// in batches, through one queued call per batch.

#include "Scanner.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace moss {

// What a search told since the last batch.
struct SearchBatch {
    QList<FoundFile> admitted; // in the order told
    QHash<QString, qint64> measured;
    std::optional<QString> searching; // the latest place told

    bool isEmpty() const { return admitted.isEmpty() && measured.isEmpty() && !searching; }
};

class SearchFeed : public std::enable_shared_from_this<SearchFeed> {
public:
    using Receiver = std::function<void(SearchBatch batch)>;

    // Batches go to `receive` on the context's thread, always in a later
    // turn of its event loop, at most once per `interval`: the first one at
    // once, the others when the interval since the previous one has passed.
    // Nothing is delivered once the feed is closed.
    static std::shared_ptr<SearchFeed>
    create(QObject* context, Receiver receive,
           std::chrono::milliseconds interval = std::chrono::milliseconds(50));

    // For the search's threads; keeps the feed alive.
    ScanObserver observer();

    // On the context's thread: what was told and not yet delivered (for the
    // end of a search, whose observer calls are all done).
    SearchBatch take();
    // On the context's thread: no batch is delivered from now on, and the
    // observer's calls are dropped.
    void close();

private:
    SearchFeed(QObject* context, Receiver receive, std::chrono::milliseconds interval);

    // Under the lock: asks the context's thread for a batch unless one is
    // asked for already.
    void scheduleLocked();
    void deliver();

    using Clock = std::chrono::steady_clock;

    const Receiver receive_;
    const std::chrono::milliseconds interval_;
    std::mutex mutex_;
    QObject* context_; // null once closed
    SearchBatch pending_;
    bool scheduled_ = false;
    std::optional<Clock::time_point> lastDelivery_;
};

} // namespace moss
