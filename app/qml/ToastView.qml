import QtQuick
import QtQuick.Controls.Basic

// The store's short message, a pill at the bottom of the window that goes
// away 6 s after its text last changed, with "Отменить" while there is
// something to undo.
Item {
    id: toastView

    property var store
    readonly property bool present: store ? store.toast != null : false
    // The text shown; kept while the pill leaves.
    property string text: ""

    function sync() {
        if (!present) {
            timer.stop()
            return
        }
        text = store.toast
        timer.restart()
    }
    onPresentChanged: sync()
    Connections {
        target: toastView.store
        function onToastChanged() { toastView.sync() }
    }
    Component.onCompleted: sync()

    Timer {
        id: timer
        objectName: "toastTimer"
        interval: 6000
        onTriggered: toastView.store.clearToast()
    }

    Rectangle {
        id: pill
        objectName: "toast"
        property real shown: toastView.present ? 1 : 0
        anchors.horizontalCenter: parent.horizontalCenter
        y: parent.height - 18 - height + (1 - shown) * (height + 18)
        opacity: shown
        visible: shown > 0
        width: row.implicitWidth + 32
        height: 38
        radius: height / 2
        color: Qt.rgba(0.11, 0.11, 0.11, 0.82)
        border.width: 1
        border.color: Theme.line

        Behavior on shown {
            NumberAnimation { duration: 350; easing.type: Easing.InOutQuad }
        }

        Row {
            id: row
            anchors.centerIn: parent
            spacing: 10
            Symbol {
                anchors.verticalCenter: parent.verticalCenter
                name: "checkmark.circle"
                size: 13
                color: Theme.text
            }
            Text {
                objectName: "toastText"
                anchors.verticalCenter: parent.verticalCenter
                text: toastView.text
                font.family: Theme.fontFamily
                font.pixelSize: 12
                font.weight: Theme.medium
                color: Theme.text
            }
            Text {
                id: undo
                objectName: "undoButton"
                anchors.verticalCenter: parent.verticalCenter
                visible: toastView.store ? toastView.store.canUndo : false
                text: "Отменить"
                font.family: Theme.fontFamily
                font.pixelSize: 12
                font.weight: Theme.semibold
                color: Theme.accent
                MouseArea {
                    anchors.fill: parent
                    anchors.margins: -4
                    onClicked: toastView.store.undoLastRemoval()
                }
            }
        }
    }
}
