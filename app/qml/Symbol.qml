import QtQuick
import Mossbin

// One glyph of the symbol table, sized like text of `size` points.
Text {
    property string name
    property real size: 12

    text: Theme.symbols[name] || ""
    font.family: Theme.symbolFamily
    font.pixelSize: Math.round(size * 1.25)
    color: Theme.muted
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
}
