import QtQuick
import QtQuick.Layouts
import Mossbin

// A modal alert in the window's look: the logo, a title, a message and either
// a destructive choice (`actionText`) with "Отмена", or a single "Понятно".
// It holds the keyboard while shown: Tab goes round its buttons, Escape
// dismisses it, and Return or Enter press the focused button ("Отмена" at
// first; with the single button, Return anywhere presses it).
ModalScope {
    id: panel

    property bool shown: false
    property string title
    property string message
    property string actionText: ""
    property string actionObjectName: "actionButton"
    readonly property bool hasAction: actionText !== ""

    // The destructive choice was made.
    signal accepted()
    // The alert was closed any other way.
    signal dismissed()

    visible: shown
    holding: shown
    initialFocus: hasAction ? cancelButton : okButton

    Keys.onEscapePressed: panel.dismissed()
    Keys.onReturnPressed: if (!panel.hasAction) panel.dismissed()
    Keys.onEnterPressed: if (!panel.hasAction) panel.dismissed()

    Accessible.role: Accessible.AlertMessage
    Accessible.name: panel.title
    Accessible.description: panel.message

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
                text: panel.title
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
                text: panel.message
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                font.family: Theme.fontFamily
                font.pixelSize: 11
                color: Theme.muted
            }
            Item { Layout.preferredHeight: 6 }
            PillButton {
                objectName: panel.actionObjectName
                visible: panel.hasAction
                Layout.fillWidth: true
                filled: true
                text: panel.actionText
                onClicked: panel.accepted()
            }
            PillButton {
                id: cancelButton
                objectName: "cancelButton"
                visible: panel.hasAction
                Layout.fillWidth: true
                text: "Отмена"
                onClicked: panel.dismissed()
            }
            PillButton {
                id: okButton
                objectName: "okButton"
                visible: !panel.hasAction
                Layout.fillWidth: true
                filled: true
                text: "Понятно"
                onClicked: panel.dismissed()
            }
        }
    }
}
