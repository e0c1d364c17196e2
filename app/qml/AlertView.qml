import QtQuick
import QtQuick.Layouts
import Mossbin

// The store's alert as a modal panel: "Удалить всё равно" and "Отмена" when
// the alert carries an action, else a single "Понятно". Any way of closing it
// clears the store's alert.
Item {
    id: alertView

    // Absent alerts and toasts come as undefined or null: compare with "!= null".
    readonly property var alert: Store.alert
    readonly property bool hasAction: alert != null && alert.hasRemoveAnyway

    visible: alert != null

    function dismiss() {
        Store.dismissAlert()
    }
    // The store clears the alert and then runs its action.
    function removeAnyway() {
        Store.runRemoveAnyway()
    }

    Shortcut {
        sequences: [StandardKey.Cancel]
        enabled: alertView.visible
        onActivated: alertView.dismiss()
    }
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: alertView.visible && !alertView.hasAction
        onActivated: alertView.dismiss()
    }

    // Blocks the window behind the alert.
    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0, 0, 0, 0.35)
        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            onWheel: wheel => wheel.accepted = true
        }
    }

    Item {
        id: box
        anchors.centerIn: parent
        width: 280
        height: column.implicitHeight + 40

        ShadowBox {
            anchors.fill: parent
            cornerRadius: 14
            blur: 24
            shadowColor: Qt.rgba(0, 0, 0, 0.6)
            offsetY: 10
        }
        Rectangle {
            anchors.fill: parent
            radius: 14
            color: Theme.surfaceRaised
            border.width: 1
            border.color: Theme.line
        }

        ColumnLayout {
            id: column
            anchors { left: parent.left; right: parent.right; top: parent.top; margins: 20 }
            spacing: 8

            Image {
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
                visible: Desktop.brandLogo !== ""
                source: Desktop.brandLogo
                sourceSize: Qt.size(96, 96)
                smooth: true
            }
            Text {
                objectName: "alertTitle"
                Layout.fillWidth: true
                text: alertView.alert ? alertView.alert.title : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                font.family: Theme.fontFamily
                font.pixelSize: 13
                font.weight: Theme.Semibold
                color: Theme.text
            }
            Text {
                objectName: "alertMessage"
                Layout.fillWidth: true
                text: alertView.alert ? alertView.alert.message : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                font.family: Theme.fontFamily
                font.pixelSize: 11
                color: Theme.muted
            }
            Item { Layout.preferredHeight: 6 }
            PillButton {
                objectName: "removeAnywayButton"
                visible: alertView.hasAction
                Layout.fillWidth: true
                filled: true
                text: "Удалить всё равно"
                onClicked: alertView.removeAnyway()
            }
            PillButton {
                objectName: "cancelButton"
                visible: alertView.hasAction
                Layout.fillWidth: true
                text: "Отмена"
                onClicked: alertView.dismiss()
            }
            PillButton {
                objectName: "okButton"
                visible: !alertView.hasAction
                Layout.fillWidth: true
                filled: true
                text: "Понятно"
                onClicked: alertView.dismiss()
            }
        }
    }
}
