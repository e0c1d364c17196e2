import QtQuick
import Mossbin

// The application's commands: keyboard shortcuts in every window, and the
// same commands as a menu on a right click anywhere in the main window that
// has no menu of its own. It lies under the window's content.
Item {
    anchors.fill: parent
    z: -1

    Shortcut {
        sequence: "Ctrl+Z"
        context: Qt.ApplicationShortcut
        enabled: Shell.canUndo
        onActivated: Shell.undo()
    }
    Shortcut {
        sequence: "Ctrl+O"
        context: Qt.ApplicationShortcut
        onActivated: Shell.pickApp()
    }
    Shortcut {
        sequence: "Ctrl+,"
        context: Qt.ApplicationShortcut
        onActivated: Shell.openSettings()
    }
    Shortcut {
        sequence: StandardKey.Quit
        context: Qt.ApplicationShortcut
        onActivated: Shell.quit()
    }

    // The same menu from the keyboard, where the focused control has none
    // of its own; it opens under the window's header.
    Shortcut {
        sequences: ["Menu", "Shift+F10"]
        onActivated: commandsMenu.popup(14, 52)
    }

    MouseArea {
        objectName: "commandsArea"
        anchors.fill: parent
        acceptedButtons: Qt.RightButton
        onClicked: commandsMenu.popup()
    }

    DarkMenu {
        id: commandsMenu
        objectName: "commandsMenu"
        DarkMenuItem {
            objectName: "undoItem"
            text: Shell.undoTitle
            enabled: Shell.canUndo
            onTriggered: Shell.undo()
        }
        DarkMenuItem {
            objectName: "pickAppItem"
            text: "Выбрать приложение…"
            onTriggered: Shell.pickApp()
        }
    }
}
