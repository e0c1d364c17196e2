import QtQuick
import QtQuick.Templates as T
import Mossbin

// A context menu in the window's dark look, as wide as its widest item but
// never wider than the window (an item too long for it is shortened in the
// middle). Arrows move through it, Return, Enter or Space choose, Escape
// closes.
T.Menu {
    id: menu

    // The widest natural width of the items shown.
    readonly property real widestItem: {
        let widest = 0
        for (let i = 0; i < count; ++i) {
            const item = itemAt(i)
            if (item && item.visible)
                widest = Math.max(widest, item.implicitWidth)
        }
        return widest
    }
    readonly property real windowWidth: parent && parent.Window.window ? parent.Window.width : 480

    // The item that had the keyboard focus when the menu opened; it gets
    // the focus back when the menu closes (null when it went meanwhile).
    property Item returnFocus: null

    onAboutToShow: returnFocus = parent && parent.Window.window ? parent.Window.window.activeFocusItem : null
    onClosed: if (returnFocus) returnFocus.forceActiveFocus()

    implicitWidth: Math.min(windowWidth - 2 * margins, Math.max(160, widestItem + leftPadding + rightPadding))
    implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding
    margins: 8
    padding: 4

    delegate: DarkMenuItem {}

    contentItem: ListView {
        implicitHeight: contentHeight
        model: menu.contentModel
        interactive: false
        clip: true
        currentIndex: menu.currentIndex
    }
    background: Rectangle {
        radius: 8
        color: Theme.surfaceRaised
        border.width: 1
        border.color: Theme.line
    }
}
