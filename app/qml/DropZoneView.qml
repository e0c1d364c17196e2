import QtQuick
import QtQuick.Shapes
import Mossbin

// The first screen: an emblem that invites a dragged application, and drops
// of files that open the first of them.
Item {
    id: zone

    // A drag of file URLs hovers over the zone.
    readonly property bool targeted: dropArea.containsDrag
    // Turned on when the zone appears; starts the ring's slow turn.
    property bool pulse: false
    // Something (the uninstall sheet) lies over the zone.
    property bool covered: false
    // The pointer moved over the zone, a drag came or the window was
    // activated in the last `idleMilliseconds`.
    property bool awake: true
    property int idleMilliseconds: 5000
    // The ring turns only while someone may be looking: every frame of it is
    // drawn anew, which costs a core a good share of its time when the window
    // is drawn in software. Paused, it stays where it was and goes on from
    // there.
    readonly property bool turning: pulse && awake && !covered && visible && Window.active

    function wake() {
        awake = true
        idleTimer.restart()
    }

    Component.onCompleted: pulse = true
    onTargetedChanged: wake()
    Window.onActiveChanged: if (Window.active) wake()

    Timer {
        id: idleTimer
        interval: zone.idleMilliseconds
        running: true
        onTriggered: zone.awake = false
    }
    HoverHandler {
        // Hover is delivered again with every frame the ring draws: only a
        // pointer that moved wakes the zone, or the ring would keep itself
        // turning.
        property point last
        onPointChanged: {
            const now = point.scenePosition
            if (now.x === last.x && now.y === last.y)
                return
            last = now
            zone.wake()
        }
    }

    component Spring: SpringAnimation {
        spring: Theme.springStiffness(0.35)
        damping: Theme.springDamping(0.35, 0.6)
        epsilon: 0.001
    }

    Column {
        anchors.centerIn: parent
        spacing: 22

        Item {
            id: emblem
            objectName: "emblem"
            anchors.horizontalCenter: parent.horizontalCenter
            width: 220
            height: 220

            Shape {
                id: ring
                objectName: "ring"
                anchors.fill: parent
                opacity: zone.targeted ? 0.9 : 0.25
                Behavior on opacity { Spring {} }

                ShapePath {
                    strokeColor: Theme.accent
                    strokeWidth: 1.5
                    fillColor: "transparent"
                    strokeStyle: ShapePath.DashLine
                    // In units of the stroke width: 6 points drawn, 7 blank.
                    dashPattern: [6 / 1.5, 7 / 1.5]
                    dashOffset: 0
                    capStyle: ShapePath.FlatCap
                    joinStyle: ShapePath.MiterJoin
                    miterLimit: 10
                    PathAngleArc {
                        centerX: 110
                        centerY: 110
                        radiusX: 110
                        radiusY: 110
                        startAngle: 0
                        sweepAngle: 360
                    }
                }
                NumberAnimation on rotation {
                    objectName: "ringTurn"
                    from: 0
                    to: 360
                    duration: 40000
                    loops: Animation.Infinite
                    running: zone.pulse
                    paused: running && !zone.turning
                }
            }

            Rectangle {
                objectName: "disc"
                anchors.centerIn: parent
                width: 190
                height: 190
                radius: 95
                color: Theme.accent
                opacity: zone.targeted ? 0.16 : 0.05
                scale: zone.targeted ? 1.06 : 1.0
                Behavior on opacity { Spring {} }
                Behavior on scale { Spring {} }
            }

            Item {
                objectName: "emblemLogo"
                visible: Desktop.brandLogo !== ""
                anchors.centerIn: parent
                width: 128
                height: 128
                scale: zone.targeted ? 1.08 : 1.0
                Behavior on scale { Spring {} }

                // The glow follows the logo's rounded tile.
                Item {
                    anchors.centerIn: parent
                    width: 120
                    height: 120
                    ShadowBox {
                        anchors.fill: parent
                        cornerRadius: 28
                        blur: 12
                        shadowColor: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.3)
                        opacity: 1 - glow.wide
                    }
                    ShadowBox {
                        anchors.fill: parent
                        cornerRadius: 28
                        blur: 30
                        shadowColor: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.3)
                        opacity: glow.wide
                    }
                    QtObject {
                        id: glow
                        property real wide: zone.targeted ? 1 : 0
                        Behavior on wide { Spring {} }
                    }
                }
                Image {
                    anchors.fill: parent
                    source: Desktop.brandLogo
                    sourceSize: Qt.size(256, 256)
                    fillMode: Image.Stretch
                    smooth: true
                    mipmap: true
                }
            }
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 6

            Row {
                objectName: "caption"
                anchors.horizontalCenter: parent.horizontalCenter
                CaptionRun { text: "Перетащи "; color: Theme.muted }
                CaptionRun { text: "приложение"; color: Theme.text; font.weight: Theme.Heavy }
                CaptionRun { text: " сюда"; color: Theme.muted }
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Найду всё, что оно оставило в системе: настройки, кэши,\nконтейнеры, службы автозапуска и логи."
                font.family: Theme.fontFamily
                font.pixelSize: 12
                font.weight: Theme.Regular
                color: Theme.muted
                horizontalAlignment: Text.AlignHCenter
                lineHeightMode: Text.FixedHeight
                lineHeight: Math.ceil(fontInfo.pixelSize * 1.21) + 3
            }
        }
    }

    FileDropArea {
        id: dropArea
        anchors.fill: parent
        onFileDropped: url => Store.openUrls([url])
    }

    component CaptionRun: Text {
        font.family: Theme.fontFamily
        font.pixelSize: 22
        font.weight: Theme.Regular
        font.letterSpacing: -0.6
    }
}
