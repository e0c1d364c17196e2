#include "KeyboardFocus.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

namespace moss::ui {

KeyboardFocus::KeyboardFocus(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool KeyboardFocus::eventFilter(QObject* watched, QEvent* event) {
    bool inUse = inUse_;
    switch (event->type()) {
    case QEvent::KeyPress: {
        inUse = true;
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            cycleInsideFence(watched, key->key() == Qt::Key_Tab &&
                                          !(key->modifiers() & Qt::ShiftModifier))) {
            if (!inUse_) {
                inUse_ = true;
                emit inUseChanged();
            }
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin:
        inUse = false;
        break;
    default:
        break;
    }
    if (inUse != inUse_) {
        inUse_ = inUse;
        emit inUseChanged();
    }
    return QObject::eventFilter(watched, event);
}

bool KeyboardFocus::cycleInsideFence(QObject* object, bool forward) {
    // Only the window's own delivery counts: the event then reaches its items.
    auto* window = qobject_cast<QQuickWindow*>(object);
    QQuickItem* start = window ? window->activeFocusItem() : nullptr;
    QQuickItem* fence = start;
    while (fence && !fence->property("tabFence").toBool())
        fence = fence->parentItem();
    if (!fence)
        return false;
    const auto inside = [fence](const QQuickItem* item) {
        while (item && item != fence)
            item = item->parentItem();
        return item == fence;
    };
    // The chain runs through the whole window; a bound keeps a chain that
    // never comes back from looping.
    QQuickItem* next = start->nextItemInFocusChain(forward);
    for (int steps = 0; next && next != start && !inside(next) && steps < 10'000; ++steps)
        next = next->nextItemInFocusChain(forward);
    if (next && inside(next))
        next->forceActiveFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace moss::ui
