import QtQuick
import QtQuick.Templates as T
import Mossbin

// The pill push button: solid accent when `filled`, a quiet outline otherwise.
T.Button {
    id: control

    property bool filled: false
    property string symbol: ""

    implicitWidth: label.implicitWidth + 36
    implicitHeight: 34
    opacity: enabled ? 1.0 : 0.4
    scale: pressed ? 0.95 : 1.0
    transformOrigin: Item.Center
    focusPolicy: Qt.NoFocus

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
            font.pixelSize: 13
            font.weight: Theme.Semibold
            color: control.filled ? "white" : Theme.text
            anchors.verticalCenter: parent.verticalCenter
        }
    }
    leftPadding: 18
    rightPadding: 18
    topPadding: 0
    bottomPadding: 0
}
