import QtQuick
import QtQuick.Templates as T
import Mossbin

// A button that shows only a symbol: its name is spoken by screen readers
// and shown as its tool tip. Space, Return or Enter press it.
T.AbstractButton {
    id: control

    property string symbol: ""
    property real symbolSize: 12
    property color symbolColor: Theme.muted
    // The tool tip; by default the accessible name.
    property string tip: Accessible.name
    // A filled circle behind the symbol.
    property color fill: "transparent"

    implicitWidth: 28
    implicitHeight: 28
    focusPolicy: Qt.TabFocus
    hoverEnabled: true
    opacity: enabled ? 1.0 : 0.4
    Accessible.role: Accessible.Button
    Accessible.onPressAction: control.clicked()

    // Return and Enter belong to the button that has the focus, not to the
    // default action of the sheet or alert around it.
    Keys.onShortcutOverride: event => event.accepted = event.key === Qt.Key_Return || event.key === Qt.Key_Enter
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    background: Rectangle {
        radius: width / 2
        color: control.fill
    }
    contentItem: Symbol {
        name: control.symbol
        size: control.symbolSize
        color: control.symbolColor
        Accessible.ignored: true
    }
    padding: 0

    FocusRing {
        radius: width / 2
    }
    DarkToolTip {
        text: control.tip
        shown: control.hovered || (control.activeFocus && KeyboardFocus.inUse)
    }
}
