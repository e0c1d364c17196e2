import QtQuick
import QtQuick.Templates as T
import Mossbin

// One item of a DarkMenu: accent while highlighted by the pointer or the
// keyboard, muted while disabled.
T.MenuItem {
    id: item

    implicitWidth: leftPadding + label.implicitWidth + rightPadding
    implicitHeight: visible ? 28 : 0
    leftPadding: 12
    rightPadding: 12
    topPadding: 0
    bottomPadding: 0

    Accessible.role: Accessible.MenuItem
    Accessible.name: text
    Keys.onReturnPressed: item.triggered()
    Keys.onEnterPressed: item.triggered()

    contentItem: Text {
        id: label
        text: item.text
        elide: Text.ElideMiddle
        verticalAlignment: Text.AlignVCenter
        font.family: Theme.fontFamily
        font.pixelSize: 13
        color: !item.enabled ? Theme.muted : item.highlighted ? "white" : Theme.text
    }
    background: Rectangle {
        radius: 5
        color: item.highlighted && item.enabled ? Theme.accent : "transparent"
    }
}
