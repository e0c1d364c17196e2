import QtQuick
import QtQuick.Window
import Mossbin

// The main window: the content view in a dark window of 480 × 620, without a
// system title bar (the content's header is its title bar).
Window {
    id: window

    objectName: "main"
    title: "Mossbin"
    flags: Qt.Window | Qt.FramelessWindowHint
    width: 480
    height: 620
    minimumWidth: 460
    minimumHeight: 560
    color: Theme.background

    ContentView {
        anchors.fill: parent
        onSettingsRequested: Shell.openSettings()
    }
}
