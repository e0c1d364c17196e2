import QtQuick
import Mossbin

// A line in the interface font whose digits all take the width of the widest
// digit, so that figures stacked in a column line up and do not shift as they
// change. Runs of other characters keep their natural spacing.
Row {
    id: root

    property string text
    property color color: Theme.muted
    property int pixelSize: 11

    FontMetrics {
        id: metrics
        font.family: Theme.fontFamily
        font.pixelSize: root.pixelSize
    }

    readonly property real digitWidth: Math.max(...Array.from("0123456789", digit => metrics.advanceWidth(digit)))

    Repeater {
        model: root.text.match(/[0-9]|[^0-9]+/g) ?? []
        Text {
            required property string modelData
            readonly property bool digit: modelData >= "0" && modelData <= "9"
            width: digit ? root.digitWidth : implicitWidth
            horizontalAlignment: Text.AlignHCenter
            text: modelData
            font: metrics.font
            color: root.color
        }
    }
}
