import QtQuick
import Mossbin

// The accent ring around an item that has the keyboard focus, drawn while
// the user moves around with the keyboard. Place it inside the item; `radius`
// follows the item's own corners.
Rectangle {
    property Item target: parent
    // Whether the target counts as focused; by default its active focus.
    property bool focused: target ? target.activeFocus : false

    objectName: "focusRing"
    anchors.fill: parent
    // A gap of two points keeps the ring apart from an accent fill.
    anchors.margins: -4
    visible: focused && KeyboardFocus.inUse
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
}
