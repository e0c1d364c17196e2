#pragma once

// The published fields of the application state (Store, Session): read and
// written on the main thread only, and announced to their observers when a
// write changes them.

#include "AppLogging.h"

#include <QCoreApplication>
#include <QThread>
#include <utility>

namespace moss {

// Every write of a published field goes through here.
inline void requireMainThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        qCCritical(lcApp, "Application state written off the main thread");
        Q_ASSERT(false);
    }
}

// Writes a published field and emits `changed` when the value changed.
template <typename Owner, typename T, typename V>
void assign(Owner* owner, T& field, V&& value, void (Owner::*changed)()) {
    requireMainThread();
    if (field == value)
        return;
    field = std::forward<V>(value);
    emit(owner->*changed)();
}

} // namespace moss
