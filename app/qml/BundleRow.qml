import QtQuick
import QtQuick.Controls.Basic
import Mossbin

// One installed bundle: icon, name, version and identifier, and a lock when
// it is protected. A click opens it; the context menu reveals and protects.
Item {
    id: row

    required property int index
    required property string displayName
    required property string version
    required property string path
    required property string iconSource
    required property string bundleIdentifier
    required property int protection
    required property bool inProtectedList

    objectName: "bundleRow:" + displayName
    implicitHeight: content.implicitHeight + 12

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: pointer.containsMouse ? Theme.surfaceRaised : "transparent"
    }

    Row {
        id: content
        anchors { left: parent.left; right: parent.right; leftMargin: 10; rightMargin: 10; verticalCenter: parent.verticalCenter }
        spacing: 12

        Image {
            anchors.verticalCenter: parent.verticalCenter
            width: 30
            height: 30
            source: row.iconSource
            sourceSize: Qt.size(60, 60)
            fillMode: Image.Stretch
            smooth: true
            asynchronous: false
        }
        Column {
            anchors.verticalCenter: parent.verticalCenter
            width: content.width - 30 - 12 - (lock.visible ? lock.width + 12 : 0)
            spacing: 1
            Text {
                width: parent.width
                text: row.displayName
                elide: Text.ElideRight
                font.family: Theme.fontFamily
                font.pixelSize: 13
                font.weight: Theme.Medium
                color: Theme.text
            }
            Text {
                objectName: "detail"
                width: parent.width
                text: [row.version, row.bundleIdentifier].filter(part => part !== "").join(" · ")
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: Theme.fontFamily
                font.pixelSize: 11
                color: Theme.muted
            }
        }
        Symbol {
            id: lock
            objectName: "lock"
            anchors.verticalCenter: parent.verticalCenter
            visible: row.protection !== ProtectionStatus.None
            name: "lock"
            size: 11
            color: Theme.muted
            ToolTip.visible: visible && pointer.containsMouse && pointer.mouseX > row.width - 40
            ToolTip.delay: 800
            ToolTip.text: row.protection === ProtectionStatus.System ? "Встроено в macOS" : "В списке защищённых"
        }
    }

    MouseArea {
        id: pointer
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onClicked: mouse => {
            if (mouse.button === Qt.RightButton)
                menu.popup()
            else
                Store.openInstalled(row.path)
        }
    }

    Menu {
        id: menu
        objectName: "bundleMenu"
        MenuItem {
            text: "Показать в Finder"
            onTriggered: Desktop.reveal(row.path)
        }
        MenuItem {
            objectName: "protectItem"
            visible: row.bundleIdentifier !== ""
            height: visible ? implicitHeight : 0
            text: row.inProtectedList ? "Снять защиту" : "Защитить от удаления"
            onTriggered: Settings.setProtected(row.bundleIdentifier, !row.inProtectedList)
        }
    }
}
