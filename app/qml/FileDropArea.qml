import QtQuick
import Mossbin

// Takes drags that carry a file URL (web links and text are refused) and
// hands on the first dropped item when it is a file. A drop is taken as a
// copy, or as a link where the source offers no copy, and never as a move:
// nothing is taken from the source, and a source told of a move could delete
// its file. Any such drop is accepted, even when nothing can be read from it.
DropArea {
    id: area

    signal fileDropped(url url)

    function isFile(url) {
        return url.toString().startsWith("file:")
    }
    function action(event) {
        if (event.supportedActions & Qt.CopyAction)
            return Qt.CopyAction
        if (event.supportedActions & Qt.LinkAction)
            return Qt.LinkAction
        return Qt.IgnoreAction
    }
    function take(drag) {
        const chosen = action(drag)
        if (chosen !== Qt.IgnoreAction && drag.hasUrls && drag.urls.some(area.isFile))
            drag.accept(chosen)
        else
            drag.accepted = false
    }

    keys: ["text/uri-list"]
    onEntered: drag => take(drag)
    onPositionChanged: drag => take(drag)
    onDropped: drop => {
        const chosen = action(drop)
        if (chosen === Qt.IgnoreAction) {
            drop.accepted = false
            return
        }
        drop.accept(chosen)
        if (drop.hasUrls && drop.urls.length > 0 && area.isFile(drop.urls[0]))
            area.fileDropped(drop.urls[0])
    }
}
