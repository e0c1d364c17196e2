import QtQuick
import Mossbin

// The store's alert: "Удалить всё равно" and "Отмена" when the alert carries
// an action, else a single "Понятно". Any way of closing it clears the
// store's alert.
AlertPanel {
    // Absent alerts and toasts come as undefined or null: compare with "!= null".
    readonly property var alert: Store.alert

    shown: alert != null
    title: alert ? alert.title : ""
    message: alert ? alert.message : ""
    actionText: alert != null && alert.hasRemoveAnyway ? "Удалить всё равно" : ""
    actionObjectName: "removeAnywayButton"
    // The store clears the alert and then runs its action.
    onAccepted: Store.runRemoveAnyway()
    onDismissed: Store.dismissAlert()
}
