pragma Singleton
import QtQuick

// The window's one dark look: colours, fonts, the symbol table and springs.
QtObject {
    readonly property color background: Qt.rgba(7 / 255, 7 / 255, 7 / 255, 1)
    readonly property color surface: Qt.rgba(16 / 255, 16 / 255, 16 / 255, 1)
    readonly property color surfaceRaised: Qt.rgba(23 / 255, 23 / 255, 23 / 255, 1)
    readonly property color text: Qt.rgba(244 / 255, 241 / 255, 235 / 255, 1)
    readonly property color muted: Qt.rgba(157 / 255, 153 / 255, 145 / 255, 1)
    readonly property color line: Qt.rgba(1, 1, 1, 0.12)
    readonly property color accent: Qt.rgba(241 / 255, 38 / 255, 23 / 255, 1)

    readonly property string fontFamily: "Inter"
    readonly property string monoFamily: "DejaVu Sans Mono"
    readonly property string symbolFamily: "Material Icons"

    // Weights of the interface font by name.
    readonly property int light: Font.Light
    readonly property int regular: Font.Normal
    readonly property int medium: Font.Medium
    readonly property int semibold: Font.DemiBold
    readonly property int heavy: Font.ExtraBold

    // Symbol names used by the views, mapped to glyphs of the icon font.
    readonly property var symbols: ({
        "gearshape": "\ue8b8",
        "magnifyingglass": "\ue8b6",
        "lock": "\ue899",
        "xmark": "\ue5cd",
        "exclamationmark.circle": "\ue001",
        "arrow.right.circle": "\ueaaa",
        "checkmark.circle": "\ue92d",
        "checkmark": "\ue5ca"
    })

    // A spring given by its response (seconds) and damping fraction, in the
    // terms of SpringAnimation: it steps every 16 ms with
    // v += spring * (to - x) - damping * v, which is the damped oscillator
    // x'' = w² (to - x) - 2 ζ w x' (w = 2π / response) integrated over 16 ms.
    function springStiffness(response) {
        const w = 2 * Math.PI / response
        return 0.016 * w * w
    }
    function springDamping(response, fraction) {
        const w = 2 * Math.PI / response
        return 0.016 * 2 * fraction * w
    }
}
