import QtQuick
import Mossbin

// A row of options in a capsule; one accent highlight slides to the
// selected option. `options` is a list of {value, title}; `selection` is the
// owner's current value, written back through `selected(value)`.
Item {
    id: control

    property var options: []
    property var selection
    signal selected(var value)

    readonly property int selectedIndex: {
        for (let i = 0; i < options.length; ++i) {
            if (options[i].value === selection)
                return i
        }
        return -1
    }
    // The highlight takes its first place without sliding.
    property bool animating: false
    Component.onCompleted: Qt.callLater(() => control.animating = true)

    implicitWidth: row.implicitWidth + 6
    implicitHeight: row.implicitHeight + 6

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Theme.surfaceRaised
        border.width: 1
        border.color: Theme.line
    }

    Rectangle {
        id: highlight
        objectName: "segmentedHighlight"
        readonly property Item target: control.selectedIndex >= 0
                                       && control.selectedIndex < repeater.count
                                       ? repeater.itemAt(control.selectedIndex) : null
        visible: target !== null
        radius: height / 2
        color: Theme.accent
        y: row.y
        height: 26
        x: target ? row.x + target.x : 0
        width: target ? target.width : 0

        Behavior on x {
            enabled: control.animating
            SpringAnimation {
                spring: Theme.springStiffness(0.3)
                damping: Theme.springDamping(0.3, 0.8)
                epsilon: 0.25
            }
        }
        Behavior on width {
            enabled: control.animating
            SpringAnimation {
                spring: Theme.springStiffness(0.3)
                damping: Theme.springDamping(0.3, 0.8)
                epsilon: 0.25
            }
        }
    }

    Row {
        id: row
        x: 3
        y: 3
        spacing: 2
        Repeater {
            id: repeater
            model: control.options
            delegate: Item {
                id: option
                required property var modelData
                required property int index
                readonly property bool isSelected: index === control.selectedIndex
                objectName: "segment:" + modelData.title
                implicitWidth: title.implicitWidth + 24
                implicitHeight: 26
                width: implicitWidth
                height: implicitHeight

                Text {
                    id: title
                    anchors.centerIn: parent
                    text: option.modelData.title
                    font.family: Theme.fontFamily
                    font.pixelSize: 12
                    font.weight: Theme.Semibold
                    color: option.isSelected ? "white" : Theme.muted
                    Behavior on color {
                        enabled: control.animating
                        ColorAnimation { duration: 250 }
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: control.selected(option.modelData.value)
                }
            }
        }
    }
}
