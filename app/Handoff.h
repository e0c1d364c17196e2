#pragma once

// How work leaves the main thread and how its result comes back.
//
// Slow work runs on the global thread pool: QtConcurrent::run, or a
// continuation launched with QtFuture::Launch::Async. Its result comes back
// through a continuation with a context object, `future.then(context, f)`,
// which runs f on the context's thread and is dropped once the context is
// gone. Application state belongs to the main thread, so the context is the
// object whose state f writes.
//
// deliverLater() is that continuation for a receiver that must never run
// inside the call that started the work (a flag set before the work must be
// seen set, an event loop must be running before it is told to quit): f
// always runs in a later turn of the context's event loop, even when the
// future has finished already, where `.then(context, f)` would run f at once.

#include <QFuture>
#include <QMetaObject>
#include <QObject>
#include <utility>

namespace moss {

template <typename T, typename Deliver>
void deliverLater(QFuture<T> future, QObject* context, Deliver deliver) {
    future.then(context, [context, deliver = std::move(deliver)](T value) mutable {
        QMetaObject::invokeMethod(
            context,
            [deliver = std::move(deliver), value = std::move(value)]() mutable {
                deliver(std::move(value));
            },
            Qt::QueuedConnection);
    });
}

} // namespace moss
