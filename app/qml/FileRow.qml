import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Mossbin

// One found item: its tick, icon, name and folder, and its size. A click
// flips the tick; a double click reveals the item in the file browser. As
// the focused row of the list, Space flips the tick (scrolling the row into
// view first), and Tab reaches its reveal button. Hovering it, or its focus,
// tells why it is there.
Item {
    id: row

    property Session session
    required property int index
    required property string name
    required property string folder
    required property string path
    required property string iconSource
    required property string sizeText
    required property bool checked
    required property bool needsAdmin
    required property string reason
    required property string doubt
    // The application row of a package system's application: whether it can
    // be ticked, how it goes when not to the Trash, and the command that
    // removes it, which its button copies.
    required property bool checkable
    required property string note
    required property string command

    // Why the item is listed, and, while it is unticked, why the search did
    // not tick it.
    readonly property string reasonText: {
        const why = doubt !== "" && !checked ? reason + "\n" + doubt : reason
        return note !== "" ? note + "\n" + why : why
    }

    readonly property bool isCurrent: ListView.isCurrentItem

    objectName: "fileRow:" + name
    implicitHeight: layout.implicitHeight + 10
    // The list is one stop of the Tab chain; its current row has the focus
    // (given, not bound, since the reveal button takes it for a while).
    onIsCurrentChanged: if (isCurrent) focus = true
    Component.onCompleted: if (isCurrent) focus = true

    function setChecked(on) {
        if (checkable)
            session.setChecked(path, on)
    }
    // Flips the tick of the focused row, never out of sight.
    function toggle() {
        ListView.view.reveal(row)
        setChecked(!checked)
    }

    Accessible.role: Accessible.CheckBox
    Accessible.name: name
    Accessible.description: folder + ", " + sizeText + ". " + reasonText
    Accessible.checkable: checkable
    Accessible.checked: checked
    Accessible.focusable: true
    Accessible.onToggleAction: row.toggle()
    Accessible.onPressAction: row.toggle()

    Keys.onSpacePressed: row.toggle()
    onActiveFocusChanged: if (activeFocus) ListView.view.reveal(row)

    HoverHandler { id: hover }

    ToolTip {
        id: reasonTip
        readonly property bool pointed: hover.hovered && !lockHover.hovered && !revealButton.hovered && !copyButton.hovered
        visible: pointed || (row.activeFocus && KeyboardFocus.inUse)
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
    FocusRing {
        radius: 10
        anchors.margins: -2
    }

    MouseArea {
        anchors.fill: parent
        onClicked: {
            row.ListView.view.currentIndex = row.index
            row.setChecked(!row.checked)
        }
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
            enabled: row.checkable
            opacity: enabled ? 1.0 : 0.4
            focusPolicy: Qt.NoFocus
            Accessible.ignored: true
            onToggled: {
                row.ListView.view.currentIndex = row.index
                row.setChecked(checked)
            }
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
                Accessible.ignored: true
            }
            Text {
                Layout.fillWidth: true
                text: row.folder
                elide: Text.ElideMiddle
                maximumLineCount: 1
                font.family: Theme.fontFamily
                font.pixelSize: 10
                color: Theme.muted
                Accessible.ignored: true
            }
            Text {
                objectName: "note"
                visible: row.note !== ""
                Layout.fillWidth: true
                text: row.note
                wrapMode: Text.Wrap
                font.family: Theme.fontFamily
                font.pixelSize: 10
                color: Theme.accent
                Accessible.ignored: true
            }
        }
        PillButton {
            id: copyButton
            objectName: "copyCommand"
            visible: row.command !== ""
            implicitHeight: 22
            fontSize: 10
            text: copied.running ? "Скопировано" : "Скопировать команду"
            Accessible.description: row.command
            // Only the current row's button is a stop of the Tab chain.
            focusPolicy: row.isCurrent ? Qt.TabFocus : Qt.NoFocus
            onClicked: {
                Desktop.copyText(row.command)
                copied.restart()
            }
            onActiveFocusChanged: if (!activeFocus && row.isCurrent) row.focus = true
            Timer { id: copied; interval: 2000 }
        }
        Item { Layout.minimumWidth: 6 }
        Symbol {
            objectName: "adminLock"
            visible: row.needsAdmin
            name: "lock"
            size: 10
            color: Theme.muted
            Accessible.ignored: true
            HoverHandler { id: lockHover }
            DarkToolTip {
                text: "Понадобится пароль администратора"
                shown: lockHover.hovered
            }
        }
        IconButton {
            id: revealButton
            objectName: "revealButton"
            // Shown for the pointer, and for the keyboard on the current row
            // while the list (the row or this button) has the focus.
            visible: hover.hovered || (row.isCurrent && row.ListView.view.activeFocus && KeyboardFocus.inUse)
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            symbol: "arrow.right.circle"
            symbolSize: 12
            // Only the current row's button is a stop of the Tab chain.
            focusPolicy: row.isCurrent ? Qt.TabFocus : Qt.NoFocus
            Accessible.name: "Показать в файловом менеджере"
            onClicked: Desktop.reveal(row.path)
            // Tab into the list again lands on the row, not here.
            onActiveFocusChanged: if (!activeFocus && row.isCurrent) row.focus = true
        }
        TabularText {
            objectName: "size"
            text: row.sizeText
            pixelSize: 11
            color: Theme.muted
            Accessible.ignored: true
        }
    }
}
