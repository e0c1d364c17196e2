import QtQuick
import QtQuick.Layouts
import Mossbin

// The whole content of the main window: header, hairline, the drop zone or
// the installed list, and over them the uninstall sheet, the toast and alerts.
// The window has no system title bar: the header is its title bar (it drags
// the window and zooms it on a double click), with the window's own buttons
// in its left corner and grips along the window's edges.
Item {
    id: root

    signal settingsRequested()

    readonly property Session session: Store.session
    property Item currentSheet: null
    readonly property var window: Window.window
    // The window draws its own title bar and buttons. (Its flags announce no
    // change: this follows them when the window comes and when they change
    // here.)
    property bool frameless: false
    onWindowChanged: frameless = window !== null && (window.flags & Qt.FramelessWindowHint) !== 0
    readonly property bool zoomed: window !== null && window.visibility === Window.Maximized

    // The platform cannot move or resize a window without a frame: the
    // system's title bar from now on.
    function useSystemFrame() {
        if (!frameless)
            return
        window.flags = window.flags & ~Qt.FramelessWindowHint
        frameless = false
    }
    function toggleZoom() {
        if (!window)
            return
        if (zoomed)
            window.showNormal()
        else
            window.showMaximized()
    }

    implicitWidth: 480
    implicitHeight: 620

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Rectangle {
        id: header
        anchors { top: parent.top; left: parent.left; right: parent.right }
        height: 48
        color: Theme.surface

        // Beneath the controls: the rest of the header drags the window.
        WindowMover {
            anchors.fill: parent
            enabled: root.frameless
            onRefused: root.useSystemFrame()
            onZoomRequested: root.toggleZoom()
        }

        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 76
            anchors.rightMargin: 14
            spacing: 10

            Image {
                objectName: "headerLogo"
                visible: Desktop.brandLogo !== ""
                source: Desktop.brandLogo
                Layout.preferredWidth: 30
                Layout.preferredHeight: 30
                sourceSize: Qt.size(60, 60)
                fillMode: Image.Stretch
                smooth: true
                mipmap: true
            }
            Text {
                text: "Mossbin"
                font.family: Theme.fontFamily
                font.pixelSize: 15
                font.weight: Theme.Heavy
                font.letterSpacing: -0.4
                color: Theme.text
            }
            Item { Layout.fillWidth: true }
            Segmented {
                id: screenSwitch
                objectName: "screenSwitch"
                accessibleName: "Экран"
                options: [{ value: Store.Drop, title: "Перетащить" }, { value: Store.List, title: "Список" }]
                selection: Store.screen
                onSelected: value => Store.screen = value
            }
            IconButton {
                objectName: "settingsButton"
                symbol: "gearshape"
                symbolSize: 14
                Accessible.name: "Настройки"
                onClicked: root.settingsRequested()
            }
        }
    }

    Rectangle {
        id: divider
        anchors { top: header.bottom; left: parent.left; right: parent.right }
        height: 1
        color: Theme.line
    }

    Item {
        id: content
        anchors { top: divider.bottom; left: parent.left; right: parent.right; bottom: parent.bottom }

        ScreenLoader {
            objectName: "dropScreen"
            shown: Store.screen === Store.Drop
            sourceComponent: DropZoneView {
                // The sheet covers the zone.
                covered: root.session !== null
            }
        }
        ScreenLoader {
            id: listScreen
            objectName: "listScreen"
            shown: Store.screen === Store.List
            sourceComponent: AppListView {}
        }
    }

    // The dim area under the sheet; a click closes the session unless it is
    // removing.
    Rectangle {
        id: scrim
        objectName: "scrim"
        anchors.fill: parent
        color: "black"
        property real presence: root.session ? 1 : 0
        opacity: 0.55 * Math.max(0, Math.min(1, presence))
        visible: presence > 0.001

        Behavior on presence {
            SpringAnimation {
                spring: Theme.springStiffness(0.38)
                damping: Theme.springDamping(0.38, 0.86)
                epsilon: 0.001
            }
        }
        MouseArea {
            anchors.fill: parent
            onClicked: {
                Store.closeSession()
            }
        }
    }

    Item {
        id: sheetLayer
        anchors.fill: parent
    }

    Component {
        id: sheetComponent
        Item {
            id: frame
            property Session session
            property bool leaving: false
            property real target: 0
            property real progress: target
            width: sheetLayer.width
            height: sheetLayer.height
            y: (1 - progress) * sheetLayer.height
            opacity: Math.max(0, Math.min(1, progress))

            Behavior on progress {
                SpringAnimation {
                    spring: Theme.springStiffness(0.38)
                    damping: Theme.springDamping(0.38, 0.86)
                    epsilon: 0.001
                }
            }
            onProgressChanged: {
                if (leaving && progress <= 0.001)
                    frame.destroy()
            }
            function leave() {
                leaving = true
                target = 0
            }

            property alias view: sheetView

            UninstallView {
                id: sheetView
                anchors.fill: parent
                session: frame.session
                active: !frame.leaving
                onFocusLost: root.restoreFocus()
            }
        }
    }

    // Swaps the sheet when the store's session changes: the old one slides
    // away, the new one slides in.
    function syncSheet() {
        if (currentSheet && currentSheet.session !== session) {
            currentSheet.leave()
            currentSheet = null
        }
        if (session && !currentSheet) {
            currentSheet = sheetComponent.createObject(sheetLayer, { session: session })
            currentSheet.objectName = "sheet"
            currentSheet.target = 1
        }
    }
    onSessionChanged: syncSheet()
    Component.onCompleted: {
        windowChanged()
        syncSheet()
    }

    // After a sheet or an alert whose control went away meanwhile: the
    // sheet that is still open, else the list, else the screen switch.
    function restoreFocus() {
        if (currentSheet)
            currentSheet.view.focusFirst()
        else if (Store.screen === Store.List && listScreen.item)
            listScreen.item.focusList()
        else
            screenSwitch.focusSelected()
    }

    ToastView {
        anchors.fill: parent
    }

    AlertView {
        anchors.fill: parent
        onFocusLost: root.restoreFocus()
    }

    // Over the dim area the header strip still drags the window; a click
    // there goes on to the dim area and closes the sheet.
    WindowMover {
        anchors { top: parent.top; left: parent.left; right: parent.right }
        height: header.height
        visible: root.frameless && root.session !== null
        zoomsOnDoubleClick: false
        onRefused: root.useSystemFrame()
    }

    WindowButtons {
        objectName: "windowButtons"
        visible: root.frameless
        x: 14
        anchors.verticalCenter: header.verticalCenter
    }

    ResizeEdges {
        anchors.fill: parent
        visible: root.frameless && !root.zoomed
        onRefused: root.useSystemFrame()
    }

    component ScreenLoader: Loader {
        property bool shown: false
        anchors.fill: parent
        active: shown || opacity > 0
        opacity: shown ? 1 : 0
        visible: opacity > 0
        Behavior on opacity {
            NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
        }
    }
}
