import QtQuick
import QtQuick.Window
import Mossbin

// The main window: the content view in a dark window of 480 × 620.
Window {
    id: window

    objectName: "main"
    title: "Mossbin"
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
