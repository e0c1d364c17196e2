import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Mossbin

// The whole content of the main window: header, hairline, the drop zone or
// the installed list, and over them the uninstall sheet, the toast and alerts.
Item {
    id: root

    signal settingsRequested()

    readonly property Session session: Store.session
    property Item currentSheet: null

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
                objectName: "screenSwitch"
                options: [{ value: Store.Drop, title: "Перетащить" }, { value: Store.List, title: "Список" }]
                selection: Store.screen
                onSelected: value => Store.screen = value
            }
            Item {
                objectName: "settingsButton"
                Layout.preferredWidth: 28
                Layout.preferredHeight: 28
                Symbol {
                    anchors.centerIn: parent
                    name: "gearshape"
                    size: 14
                    color: Theme.muted
                }
                MouseArea {
                    id: settingsArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: root.settingsRequested()
                }
                ToolTip.visible: settingsArea.containsMouse
                ToolTip.delay: 800
                ToolTip.text: "Настройки"
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
            sourceComponent: DropZoneView {}
        }
        ScreenLoader {
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

            UninstallView {
                anchors.fill: parent
                session: frame.session
                active: !frame.leaving
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
    Component.onCompleted: syncSheet()

    ToastView {
        anchors.fill: parent
    }

    AlertView {
        anchors.fill: parent
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
