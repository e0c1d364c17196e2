import QtQuick
import Mossbin

// A layer that keeps the keyboard to itself while it holds it: it takes the
// focus (to `initialFocus`, else itself), Tab and Shift+Tab go round its own
// controls only, and when it lets go the focus goes back where it was.
FocusScope {
    id: scope

    property bool holding: visible
    // Tab and Shift+Tab stay inside while it holds (kept by KeyboardFocus,
    // which the first reference below brings into being).
    readonly property bool tabFence: holding && KeyboardFocus !== null
    property Item initialFocus: null
    property Item previousFocus: null
    // Where the focus goes back to when the item that had it is gone.
    property Item fallbackFocus: null
    // Neither the item that had the focus nor the fallback can take it back.
    signal focusLost()

    function holds(item) {
        for (let node = item; node; node = node.parent) {
            if (node === scope)
                return true
        }
        return false
    }
    // Gives the focus to the layer's first control.
    function focusFirst() {
        if (initialFocus && initialFocus.visible && initialFocus.enabled)
            initialFocus.forceActiveFocus()
        else
            scope.forceActiveFocus()
    }
    function take() {
        const window = scope.Window.window
        if (!holding)
            return
        const current = window ? window.activeFocusItem : null
        previousFocus = current && !holds(current) ? current : null
        focusFirst()
    }
    function giveBack() {
        const window = scope.Window.window
        if (!window)
            return
        // The focus went on to another control meanwhile: it stays there. (A
        // hidden layer's focus falls back to the window's root.)
        const current = window.activeFocusItem
        if (current && current !== window.contentItem && !holds(current))
            return
        const usable = item => item && item.visible && item.enabled
        if (usable(previousFocus))
            previousFocus.forceActiveFocus()
        else if (usable(fallbackFocus))
            fallbackFocus.forceActiveFocus()
        else
            scope.focusLost()
        previousFocus = null
    }

    // Taken in a later turn, once the bindings that decide the first
    // control have settled.
    onHoldingChanged: holding ? Qt.callLater(take) : giveBack()
    Component.onCompleted: if (holding) Qt.callLater(take)
}
