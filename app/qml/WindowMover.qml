import QtQuick
import Mossbin

// Lets the user drag the window by this area (the header) and zoom it with a
// double click. The window manager moves the window (startSystemMove); where
// the platform refuses, the window moves itself and `refused` is emitted.
Item {
    id: mover

    readonly property var window: Window.window
    property bool zoomsOnDoubleClick: true
    signal refused()
    signal zoomRequested()

    // A move that the window makes itself: where it started and where the
    // pointer was then, in screen coordinates.
    property bool manual: false
    property point startPosition
    property point pressPosition

    function screenPoint(scenePoint) {
        return Qt.point(window.x + scenePoint.x, window.y + scenePoint.y)
    }

    DragHandler {
        id: drag
        target: null
        onActiveChanged: {
            mover.manual = false
            if (!active || !mover.window || mover.window.startSystemMove())
                return
            mover.manual = true
            mover.startPosition = Qt.point(mover.window.x, mover.window.y)
            mover.pressPosition = mover.screenPoint(centroid.scenePressPosition)
            mover.refused()
        }
        onCentroidChanged: {
            if (!mover.manual)
                return
            const now = mover.screenPoint(centroid.scenePosition)
            mover.window.x = mover.startPosition.x + now.x - mover.pressPosition.x
            mover.window.y = mover.startPosition.y + now.y - mover.pressPosition.y
        }
    }
    TapHandler {
        enabled: mover.zoomsOnDoubleClick
        onDoubleTapped: mover.zoomRequested()
    }
}
