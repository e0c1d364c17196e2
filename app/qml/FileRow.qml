import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Mossbin

// One found item: its tick, icon, name and folder, and its size. A click
// flips the tick; a double click reveals the item in the file browser.
// Hovering it, or its tick taking the keyboard focus, tells why it is there.
Item {
    id: row

    property Session session
    required property string name
    required property string folder
    required property string path
    required property string iconSource
    required property string sizeText
    required property bool checked
    required property bool needsAdmin
    required property string reason
    required property string doubt

    // Why the item is listed, and, while it is unticked, why the search did
    // not tick it.
    readonly property string reasonText: doubt !== "" && !checked ? reason + "\n" + doubt : reason

    objectName: "fileRow:" + name
    implicitHeight: layout.implicitHeight + 10
    Accessible.description: reasonText

    function setChecked(on) {
        session.setChecked(path, on)
    }

    HoverHandler { id: hover }

    ToolTip {
        id: reasonTip
        readonly property bool pointed: hover.hovered && !lockHover.hovered && !revealHover.hovered
        visible: pointed || box.visualFocus
        delay: pointed ? 800 : 0
        text: row.reasonText
        y: row.height + 2
        // Long reasons wrap within the row instead of running off the sheet.
        width: Math.min(implicitWidth, row.width)
        padding: 8
        background: Rectangle {
            radius: 6
            color: Theme.surfaceRaised
            border.width: 1
            border.color: Theme.line
        }
        contentItem: Text {
            objectName: "reasonTip"
            text: reasonTip.text
            wrapMode: Text.Wrap
            font.family: Theme.fontFamily
            font.pixelSize: 11
            color: Theme.text
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: hover.hovered ? Theme.surfaceRaised : "transparent"
    }

    MouseArea {
        anchors.fill: parent
        onClicked: row.setChecked(!row.checked)
        // The first click of a double click flipped the tick: put it back.
        onDoubleClicked: {
            row.setChecked(!row.checked)
            Desktop.reveal(row.path)
        }
    }

    RowLayout {
        id: layout
        anchors { left: parent.left; right: parent.right; leftMargin: 8; rightMargin: 8; verticalCenter: parent.verticalCenter }
        spacing: 10

        CheckBox {
            id: box
            objectName: "checkBox"
            checked: row.checked
            padding: 0
            onToggled: row.setChecked(checked)
            indicator: Rectangle {
                implicitWidth: 14
                implicitHeight: 14
                radius: 4
                color: box.checked ? Theme.accent : "transparent"
                border.width: box.checked ? 0 : 1
                border.color: Theme.muted
                Symbol {
                    anchors.centerIn: parent
                    visible: box.checked
                    name: "checkmark"
                    size: 9
                    color: "white"
                }
            }
        }
        Image {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            source: row.iconSource
            sourceSize: Qt.size(36, 36)
            fillMode: Image.Stretch
            smooth: true
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 0
            Text {
                Layout.fillWidth: true
                text: row.name
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: Theme.fontFamily
                font.pixelSize: 12
                font.weight: Theme.Medium
                color: row.checked ? Theme.text : Theme.muted
            }
            Text {
                Layout.fillWidth: true
                text: row.folder
                elide: Text.ElideMiddle
                maximumLineCount: 1
                font.family: Theme.fontFamily
                font.pixelSize: 10
                color: Theme.muted
            }
        }
        Item { Layout.minimumWidth: 6 }
        Symbol {
            objectName: "adminLock"
            visible: row.needsAdmin
            name: "lock"
            size: 10
            color: Theme.muted
            HoverHandler { id: lockHover }
            ToolTip.visible: lockHover.hovered
            ToolTip.delay: 800
            ToolTip.text: "Понадобится пароль администратора"
        }
        Symbol {
            objectName: "revealButton"
            visible: hover.hovered
            name: "arrow.right.circle"
            size: 12
            color: Theme.muted
            HoverHandler { id: revealHover }
            ToolTip.visible: revealHover.hovered
            ToolTip.delay: 800
            ToolTip.text: "Показать в Finder"
            MouseArea {
                anchors.fill: parent
                onClicked: Desktop.reveal(row.path)
            }
        }
        TabularText {
            objectName: "size"
            text: row.sizeText
            pixelSize: 11
            color: Theme.muted
        }
    }
}
