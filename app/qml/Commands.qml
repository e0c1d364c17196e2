import QtQuick
import Mossbin.Shell

// The application's commands, as keyboard shortcuts in every window.
Item {
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
}
