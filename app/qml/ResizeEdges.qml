import QtQuick
import Mossbin

// Thin grips along the edges and corners of a window without a system frame:
// the window manager resizes the window (startSystemResize); where the
// platform refuses, the window resizes itself and `refused` is emitted.
Item {
    id: grips

    readonly property var window: Window.window
    property int thickness: 4
    property int corner: 10
    signal refused()

    Grip { edges: Qt.LeftEdge; x: 0; y: grips.corner; width: grips.thickness; height: grips.height - 2 * grips.corner; cursorShape: Qt.SizeHorCursor }
    Grip { edges: Qt.RightEdge; x: grips.width - width; y: grips.corner; width: grips.thickness; height: grips.height - 2 * grips.corner; cursorShape: Qt.SizeHorCursor }
    Grip { edges: Qt.TopEdge; x: grips.corner; y: 0; width: grips.width - 2 * grips.corner; height: grips.thickness; cursorShape: Qt.SizeVerCursor }
    Grip { edges: Qt.BottomEdge; x: grips.corner; y: grips.height - height; width: grips.width - 2 * grips.corner; height: grips.thickness; cursorShape: Qt.SizeVerCursor }
    Grip { edges: Qt.LeftEdge | Qt.TopEdge; x: 0; y: 0; width: grips.corner; height: grips.corner; cursorShape: Qt.SizeFDiagCursor }
    Grip { edges: Qt.RightEdge | Qt.BottomEdge; x: grips.width - width; y: grips.height - height; width: grips.corner; height: grips.corner; cursorShape: Qt.SizeFDiagCursor }
    Grip { edges: Qt.RightEdge | Qt.TopEdge; x: grips.width - width; y: 0; width: grips.corner; height: grips.corner; cursorShape: Qt.SizeBDiagCursor }
    Grip { edges: Qt.LeftEdge | Qt.BottomEdge; x: 0; y: grips.height - height; width: grips.corner; height: grips.corner; cursorShape: Qt.SizeBDiagCursor }

    component Grip: MouseArea {
        id: grip

        property int edges
        // A resize that the window makes itself: its geometry at the start
        // and the pointer then, in screen coordinates.
        property bool manual: false
        property rect start
        property point pressPosition

        function screenPoint(mouse) {
            const scene = grip.mapToItem(null, mouse.x, mouse.y)
            return Qt.point(grips.window.x + scene.x, grips.window.y + scene.y)
        }

        onPressed: mouse => {
            manual = false
            if (!grips.window || grips.window.startSystemResize(edges))
                return
            manual = true
            start = Qt.rect(grips.window.x, grips.window.y, grips.window.width, grips.window.height)
            pressPosition = screenPoint(mouse)
            grips.refused()
        }
        onPositionChanged: mouse => {
            if (!manual)
                return
            const w = grips.window
            const now = screenPoint(mouse)
            const dx = now.x - pressPosition.x
            const dy = now.y - pressPosition.y
            if (edges & Qt.LeftEdge) {
                const width = Math.max(w.minimumWidth, start.width - dx)
                w.x = start.x + start.width - width
                w.width = width
            } else if (edges & Qt.RightEdge) {
                w.width = Math.max(w.minimumWidth, start.width + dx)
            }
            if (edges & Qt.TopEdge) {
                const height = Math.max(w.minimumHeight, start.height - dy)
                w.y = start.y + start.height - height
                w.height = height
            } else if (edges & Qt.BottomEdge) {
                w.height = Math.max(w.minimumHeight, start.height + dy)
            }
        }
        onReleased: manual = false
    }
}
