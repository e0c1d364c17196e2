import QtQuick
import Mossbin

// A soft shadow under a rounded rectangle of the same geometry: fill the
// shadowed item with it and place it underneath.
BorderImage {
    id: box

    property int cornerRadius: 0
    property int blur: 10
    property color shadowColor: "black"
    property real offsetX: 0
    property real offsetY: 0

    readonly property int border_: cornerRadius + 2 * blur

    function hex(component) {
        return ("0" + Math.round(component * 255).toString(16)).slice(-2)
    }

    anchors.margins: -2 * blur
    transform: Translate { x: box.offsetX; y: box.offsetY }
    source: "image://shadow/" + cornerRadius + "/" + blur + "/"
            + hex(shadowColor.a) + hex(shadowColor.r) + hex(shadowColor.g) + hex(shadowColor.b)
    border.left: border_
    border.right: border_
    border.top: border_
    border.bottom: border_
    smooth: true
}
