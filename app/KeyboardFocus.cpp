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
    switch (event->type()) {
    case QEvent::KeyPress: {
        // In use before the key moves the focus: what shows only for the
        // keyboard can then take it.
        setInUse(true);
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return cycleInsideFence(watched, key->key() == Qt::Key_Tab &&
                                                 !(key->modifiers() & Qt::ShiftModifier));
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin:
        setInUse(false);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void KeyboardFocus::setInUse(bool inUse) {
    if (inUse == inUse_)
        return;
    inUse_ = inUse;
    emit inUseChanged();
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
    const Qt::FocusReason reason = forward ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    // Back from a control inside another stop (a list's row button): to that
    // stop, which the chain would pass by. The control lets the focus go
    // first, or the stop, a focus scope, would give it back to the control.
    for (QQuickItem* up = start->parentItem();
         !forward && start->activeFocusOnTab() && up && up != fence; up = up->parentItem()) {
        if (up->activeFocusOnTab() && up->isVisible() && up->isEnabled()) {
            start->setFocus(false);
            up->forceActiveFocus(reason);
            return true;
        }
    }
    // The chain runs through the whole window; a bound keeps a chain that
    // never comes back from looping.
    QQuickItem* next = start->nextItemInFocusChain(forward);
    for (int steps = 0; next && next != start && !inside(next) && steps < 10'000; ++steps)
        next = next->nextItemInFocusChain(forward);
    if (next && inside(next))
        next->forceActiveFocus(reason);
    return true;
}

} // namespace moss::ui
