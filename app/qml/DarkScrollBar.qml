import QtQuick
import QtQuick.Templates as T
import Mossbin

// A thin vertical scroll bar, shown whenever the content is taller than its
// view, brighter while in use.
T.ScrollBar {
    id: bar

    objectName: "scrollBar"
    orientation: Qt.Vertical
    policy: T.ScrollBar.AlwaysOn
    visible: size < 1.0
    implicitWidth: 10
    padding: 2
    minimumSize: 0.08

    contentItem: Rectangle {
        implicitWidth: 6
        radius: width / 2
        color: Theme.muted
        opacity: bar.pressed ? 0.8 : bar.hovered || bar.active ? 0.6 : 0.35
    }
}
