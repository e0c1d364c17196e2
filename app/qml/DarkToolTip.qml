import QtQuick
import QtQuick.Templates as T
import Mossbin

// A tool tip in the window's dark look. Show it with `shown`; it opens after
// a short delay and never runs past the window's edges.
T.ToolTip {
    id: tip

    property bool shown: false

    objectName: "toolTip"
    visible: shown && text !== ""
    delay: 800
    x: parent ? Math.round((parent.width - width) / 2) : 0
    // Above its item, or below one too near the window's top edge.
    y: parent ? (parent.mapToItem(null, 0, 0).y > implicitHeight + 12 ? -implicitHeight - 6
                                                                        : parent.height + 6) : 0
    implicitWidth: Math.min(320, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    margins: 6
    padding: 6
    leftPadding: 8
    rightPadding: 8
    closePolicy: T.Popup.NoAutoClose

    contentItem: Text {
        text: tip.text
        wrapMode: Text.Wrap
        font.family: Theme.fontFamily
        font.pixelSize: 11
        color: Theme.text
    }
    background: Rectangle {
        radius: 6
        color: Theme.surfaceRaised
        border.width: 1
        border.color: Theme.line
    }
}
