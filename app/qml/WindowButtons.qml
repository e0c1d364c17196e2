import QtQuick
import Mossbin

// The window's own close, minimise and zoom buttons, for a window without a
// system title bar: three small discs whose symbols show while the pointer
// is over them or one of them has the keyboard focus.
Row {
    id: buttons

    readonly property var window: Window.window
    readonly property bool zoomed: window !== null && window.visibility === Window.Maximized
    readonly property bool revealed: hover.hovered
                                     || (KeyboardFocus.inUse && (closeButton.activeFocus
                                         || minimizeButton.activeFocus || zoomButton.activeFocus))

    function toggleZoom() {
        if (!window)
            return
        if (zoomed)
            window.showNormal()
        else
            window.showMaximized()
    }

    spacing: 8
    Accessible.role: Accessible.ToolBar
    Accessible.name: "Окно"

    HoverHandler { id: hover }

    WindowButton {
        id: closeButton
        objectName: "closeWindowButton"
        symbol: "xmark"
        danger: true
        Accessible.name: "Закрыть окно"
        onClicked: buttons.window.close()
    }
    WindowButton {
        id: minimizeButton
        objectName: "minimizeWindowButton"
        symbol: "minus"
        Accessible.name: "Свернуть окно"
        onClicked: buttons.window.showMinimized()
    }
    WindowButton {
        id: zoomButton
        objectName: "zoomWindowButton"
        symbol: buttons.zoomed ? "arrow.down.right.and.arrow.up.left" : "arrow.up.left.and.arrow.down.right"
        Accessible.name: buttons.zoomed ? "Восстановить размер окна" : "Развернуть окно"
        onClicked: buttons.toggleZoom()
    }

    component WindowButton: IconButton {
        // Closing: the accent while the pointer or the focus is on it.
        property bool danger: false
        readonly property bool lit: hovered || (activeFocus && KeyboardFocus.inUse)
        implicitWidth: 14
        implicitHeight: 14
        symbolSize: 8
        fill: !lit ? Qt.rgba(1, 1, 1, 0.14) : danger ? Theme.accent : Qt.rgba(1, 1, 1, 0.3)
        symbolColor: !buttons.revealed ? "transparent" : lit && danger ? "white" : Theme.text
    }
}
