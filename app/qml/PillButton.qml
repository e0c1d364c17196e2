import QtQuick
import QtQuick.Templates as T
import Mossbin

// The pill push button: solid accent when `filled`, a quiet outline otherwise.
// Space, Return or Enter press it when it has the keyboard focus.
T.Button {
    id: control

    property bool filled: false
    property string symbol: ""
    property int fontSize: 13

    implicitWidth: label.implicitWidth + 36
    implicitHeight: 34
    opacity: enabled ? 1.0 : 0.4
    scale: pressed ? 0.95 : 1.0
    transformOrigin: Item.Center
    focusPolicy: Qt.TabFocus
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: control.clicked()

    // Return and Enter belong to the button that has the focus, not to the
    // default action of the sheet or alert around it.
    Keys.onShortcutOverride: event => event.accepted = event.key === Qt.Key_Return || event.key === Qt.Key_Enter
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    Behavior on scale {
        SpringAnimation {
            spring: Theme.springStiffness(0.25)
            damping: Theme.springDamping(0.25, 0.6)
            epsilon: 0.001
        }
    }

    background: Rectangle {
        radius: height / 2
        color: control.filled ? Theme.accent : Theme.surfaceRaised
        border.width: 1
        border.color: control.filled ? "transparent" : Theme.line

        FocusRing {
            target: control
            radius: height / 2
        }
    }

    contentItem: Row {
        id: label
        spacing: 6
        Symbol {
            visible: control.symbol !== ""
            name: control.symbol
            size: 13
            color: labelText.color
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            id: labelText
            text: control.text
            font.family: Theme.fontFamily
            font.pixelSize: control.fontSize
            font.weight: Theme.Semibold
            color: control.filled ? "white" : Theme.text
            anchors.verticalCenter: parent.verticalCenter
        }
    }
    leftPadding: fontSize + 5
    rightPadding: fontSize + 5
    topPadding: 0
    bottomPadding: 0
}
