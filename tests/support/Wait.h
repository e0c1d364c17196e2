#pragma once

// Waiting in tests for what the event loop delivers.

#include <QCoreApplication>
#include <QFuture>
#include <QtCore/qtestsupport_core.h>

namespace moss::test {

// Runs the event loop until the condition holds; false once timeoutMs has
// passed, which only keeps a hang from blocking the suite.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 20000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// Runs the event loop until the future has finished, and returns its result.
template <typename T> T await(QFuture<T> future) {
    while (!future.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return future.result();
}

} // namespace moss::test
