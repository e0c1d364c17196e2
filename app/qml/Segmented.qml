import QtQuick
import Mossbin

// A row of options in a capsule; one accent highlight slides to the
// selected option. `options` is a list of {value, title}; `selection` is the
// owner's current value, written back through `selected(value)`.
//
// For the keyboard it is one stop of the Tab chain, at the selected option:
// Left and Right select the option beside it, Space, Return or Enter the one
// that has the focus. Screen readers see a group of radio buttons named
// `accessibleName`.
Item {
    id: control

    property var options: []
    property var selection
    property string accessibleName: ""
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

    Accessible.role: Accessible.Grouping
    Accessible.name: control.accessibleName

    // Gives the focus to the selected option (the first when none is).
    function focusSelected() {
        const option = repeater.itemAt(Math.max(0, selectedIndex))
        if (option)
            option.forceActiveFocus()
    }
    // Selects the option at `index`; the focus, when the switch has it,
    // moves there first (only the selected option is a stop of the chain).
    function choose(index) {
        if (index < 0 || index >= repeater.count)
            return
        for (let i = 0; i < repeater.count; ++i) {
            if (repeater.itemAt(i).activeFocus) {
                repeater.itemAt(index).forceActiveFocus(Qt.TabFocusReason)
                break
            }
        }
        control.selected(options[index].value)
    }

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
                activeFocusOnTab: isSelected || (control.selectedIndex < 0 && index === 0)

                Accessible.role: Accessible.RadioButton
                Accessible.name: modelData.title
                Accessible.checkable: true
                Accessible.checked: isSelected
                Accessible.focusable: true
                Accessible.onPressAction: control.choose(index)
                Accessible.onToggleAction: control.choose(index)

                Keys.onLeftPressed: control.choose(index - 1)
                Keys.onRightPressed: control.choose(index + 1)
                Keys.onSpacePressed: control.choose(index)
                Keys.onReturnPressed: control.choose(index)
                Keys.onEnterPressed: control.choose(index)

                Text {
                    id: title
                    anchors.centerIn: parent
                    text: option.modelData.title
                    font.family: Theme.fontFamily
                    font.pixelSize: 12
                    font.weight: Theme.Semibold
                    color: option.isSelected ? "white" : Theme.muted
                    Accessible.ignored: true
                    Behavior on color {
                        enabled: control.animating
                        ColorAnimation { duration: 250 }
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: control.choose(option.index)
                }
                FocusRing {
                    radius: height / 2
                }
            }
        }
    }
}
