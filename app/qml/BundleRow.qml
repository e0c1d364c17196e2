import QtQuick
import Mossbin

// One installed bundle: icon, name, version and identifier, and a lock when
// it is protected. A click (or Return, Enter or Space while it is the focused
// row) opens it; its menu (secondary click, the menu key or Shift+F10)
// reveals and protects.
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

    signal menuRequested(bool fromKeyboard)

    readonly property string lockText: protection === ProtectionStatus.System ? "Встроено в систему"
                                     : protection === ProtectionStatus.UserProtected ? "В списке защищённых" : ""

    function open() {
        ListView.view.currentIndex = index
        ListView.view.reveal(row)
        Store.openInstalled(row.path)
    }

    objectName: "bundleRow:" + displayName
    implicitHeight: content.implicitHeight + 12
    // The list is one stop of the Tab chain; its current row has the focus.
    focus: ListView.isCurrentItem

    Accessible.role: Accessible.ListItem
    Accessible.name: displayName
    Accessible.description: [version, bundleIdentifier, lockText].filter(part => part !== "").join(", ")
    Accessible.focusable: true
    Accessible.onPressAction: row.open()

    Keys.onShortcutOverride: event => event.accepted = event.key === Qt.Key_Menu
                                                     || (event.key === Qt.Key_F10 && event.modifiers & Qt.ShiftModifier)
    Keys.onPressed: event => {
        if (event.key === Qt.Key_Menu || (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier))) {
            row.ListView.view.reveal(row)
            row.menuRequested(true)
        } else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter || event.key === Qt.Key_Space) {
            row.open()
        } else {
            return
        }
        event.accepted = true
    }
    onActiveFocusChanged: if (activeFocus) ListView.view.reveal(row)

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: pointer.containsMouse ? Theme.surfaceRaised : "transparent"
    }
    FocusRing {
        radius: 13
        anchors.margins: -3
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
                Accessible.ignored: true
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
                Accessible.ignored: true
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
            Accessible.ignored: true
            DarkToolTip {
                text: row.lockText
                shown: lock.visible && pointer.containsMouse && pointer.mouseX > row.width - 40
            }
        }
    }

    MouseArea {
        id: pointer
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onClicked: mouse => {
            if (mouse.button === Qt.RightButton) {
                row.ListView.view.currentIndex = row.index
                row.menuRequested(false)
            } else {
                row.open()
            }
        }
    }
}
