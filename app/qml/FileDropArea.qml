import QtQuick
import Mossbin

// Takes drags that carry a file URL (web links and text are refused) and
// hands on the first dropped item when it is a file. A drop is always
// accepted, even when nothing can be read from it.
DropArea {
    id: area

    signal fileDropped(url url)

    function isFile(url) {
        return url.toString().startsWith("file:")
    }

    keys: ["text/uri-list"]
    onEntered: drag => drag.accepted = drag.hasUrls && drag.urls.some(area.isFile)
    onDropped: drop => {
        drop.accept(Qt.CopyAction)
        if (drop.hasUrls && drop.urls.length > 0 && area.isFile(drop.urls[0]))
            area.fileDropped(drop.urls[0])
    }
}
