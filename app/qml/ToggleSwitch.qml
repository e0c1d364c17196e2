import QtQuick
import QtQuick.Templates as T
import Mossbin

// An on/off switch: a capsule track with a round knob, filled with the accent
// and the knob at the right when on, an outlined track with the knob at the
// left when off. Space toggles it.
T.Switch {
    id: control

    implicitWidth: 40
    implicitHeight: 22
    padding: 0
    focusPolicy: Qt.TabFocus

    indicator: Rectangle {
        objectName: "track"
        width: control.width
        height: control.height
        radius: height / 2
        color: control.checked ? Theme.accent : "transparent"
        border.width: control.checked ? 0 : 1.5
        border.color: Theme.muted
        Behavior on color { ColorAnimation { duration: 120 } }

        Rectangle {
            objectName: "knob"
            readonly property real inset: control.checked ? 3 : 4
            width: parent.height - 2 * inset
            height: width
            radius: width / 2
            y: inset
            x: control.checked ? parent.width - width - inset : inset
            color: control.checked ? "white" : Theme.muted
            Behavior on x { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }
        }
        FocusRing {
            target: control
            radius: height / 2
        }
    }
    contentItem: null
}
