import QtQuick
import QtQuick.Window

// The main window: the content view in a dark window of 480 × 620.
Window {
    id: window

    property var store
    // Forwarded from the header's settings button.
    signal settingsRequested()

    objectName: "main"
    title: "Mossbin"
    width: 480
    height: 620
    minimumWidth: 460
    minimumHeight: 560
    color: Theme.background

    ContentView {
        anchors.fill: parent
        store: window.store
        onSettingsRequested: window.settingsRequested()
    }
}
