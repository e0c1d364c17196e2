import QtQuick
import QtQuick.Templates as T
import Mossbin

// The store's short message, a pill at the bottom of the window that goes
// away 6 s after its text last changed, with "Отменить" while there is
// something to undo.
Item {
    id: toastView

    readonly property bool present: Store.toast != null
    // The text shown; kept while the pill leaves.
    property string text: ""

    function sync() {
        if (!present) {
            timer.stop()
            return
        }
        text = Store.toast
        timer.restart()
    }
    onPresentChanged: sync()
    Connections {
        target: Store
        function onToastChanged() { toastView.sync() }
    }
    Component.onCompleted: sync()

    Timer {
        id: timer
        objectName: "toastTimer"
        interval: 6000
        onTriggered: Store.clearToast()
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
                font.weight: Theme.Medium
                color: Theme.text
            }
            T.AbstractButton {
                id: undo
                objectName: "undoButton"
                anchors.verticalCenter: parent.verticalCenter
                visible: Store.canUndo
                text: "Отменить"
                padding: 0
                implicitWidth: implicitContentWidth
                implicitHeight: implicitContentHeight
                focusPolicy: Qt.TabFocus
                Accessible.role: Accessible.Button
                Accessible.name: text
                Accessible.description: toastView.text
                Accessible.onPressAction: undo.clicked()
                Keys.onReturnPressed: undo.clicked()
                Keys.onEnterPressed: undo.clicked()
                onClicked: Store.undoLastRemoval()

                contentItem: Text {
                    text: undo.text
                    font.family: Theme.fontFamily
                    font.pixelSize: 12
                    font.weight: Theme.Semibold
                    color: Theme.accent
                }
                FocusRing {
                    radius: 6
                    anchors.margins: -4
                }
            }
        }
    }
}
