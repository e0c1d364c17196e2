#pragma once

// Whether the user is moving around the window with the keyboard, as the QML
// singleton KeyboardFocus: focus rings are drawn only then, so that a click
// does not leave a ring behind. A key press turns it on, a mouse or touch
// press off, in every window of the application.
//
// It also keeps Tab and Shift+Tab inside a layer that holds the keyboard (a
// sheet, an alert): the nearest ancestor of the focused item whose property
// `tabFence` is true. Qt Quick lets a control that takes Tab move the focus
// anywhere in the window before any ancestor hears of the key, so the fence
// is kept here, before delivery.

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace moss::ui {

class KeyboardFocus : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool inUse READ inUse NOTIFY inUseChanged)

public:
    explicit KeyboardFocus(QObject* parent = nullptr);

    bool inUse() const { return inUse_; }

signals:
    void inUseChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setInUse(bool inUse);
    // Moves the focus of `window` to the next (or previous) control inside
    // its fence; false when there is no fence.
    static bool cycleInsideFence(QObject* window, bool forward);

    bool inUse_ = false;
};

} // namespace moss::ui
