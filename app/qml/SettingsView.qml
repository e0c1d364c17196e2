import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Mossbin

// The settings window: RozudOdizuv, the system plug-ins switch and the
// protected list. Every change is persisted at once.
Window {
    id: window

    // The text of the field for a new protected identifier.
    property string newID: ""

    objectName: "settings"
    title: "Настройки"
    width: 460
    height: 520
    minimumWidth: 460
    maximumWidth: 460
    minimumHeight: 520
    maximumHeight: 520
    color: Theme.background

    component FormSection: ColumnLayout {
        property string header: ""
        property string footer: ""
        default property alias rows: box.data

        Layout.fillWidth: true
        spacing: 6

        Text {
            visible: text !== ""
            text: parent.header
            font.family: Theme.fontFamily
            font.pixelSize: 11
            font.weight: Theme.Semibold
            color: Theme.muted
            Layout.leftMargin: 10
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: box.implicitHeight + 16
            radius: 8
            color: Theme.surface
            border.width: 1
            border.color: Theme.line

            ColumnLayout {
                id: box
                anchors.fill: parent
                anchors.margins: 8
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                spacing: 8
            }
        }
        Text {
            visible: text !== ""
            text: parent.footer
            wrapMode: Text.WordWrap
            font.family: Theme.fontFamily
            font.pixelSize: 11
            color: Theme.muted
            Layout.fillWidth: true
            Layout.leftMargin: 10
            Layout.rightMargin: 10
        }
    }

    component FormText: Text {
        font.family: Theme.fontFamily
        font.pixelSize: 13
        color: Theme.text
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
    }

    component FormSwitch: RowLayout {
        id: row
        property alias label: labelText.text
        property bool checked
        signal toggled(bool on)

        Layout.fillWidth: true
        FormText {
            id: labelText
            Accessible.ignored: true
        }
        ToggleSwitch {
            text: row.label
            checked: row.checked
            // The switch follows the setting again after the user flips it.
            onToggled: {
                row.toggled(checked)
                checked = Qt.binding(() => row.checked)
            }
        }
    }

    Shortcut {
        sequence: StandardKey.Cancel
        onActivated: window.close()
    }

    // The control that takes the keyboard focus scrolls into view.
    onActiveFocusItemChanged: {
        const item = activeFocusItem
        const flickable = scroll.contentItem
        if (!item || !flickable || !flickable.contentItem)
            return
        const top = item.mapToItem(flickable.contentItem, 0, 0).y - 10
        const bottom = top + item.height + 20
        if (top < flickable.contentY)
            flickable.contentY = Math.max(0, top)
        else if (bottom > flickable.contentY + flickable.height)
            flickable.contentY = Math.min(flickable.contentHeight - flickable.height, bottom - flickable.height)
    }

    ScrollView {
        id: scroll
        anchors.fill: parent
        contentWidth: availableWidth
        ScrollBar.vertical: DarkScrollBar {
            parent: scroll
            x: scroll.width - width
            y: scroll.topPadding
            height: scroll.availableHeight
        }
        // The dark appearance for every control of the form.
        palette {
            window: Theme.background
            windowText: Theme.text
            base: Theme.surfaceRaised
            alternateBase: Theme.surface
            text: Theme.text
            placeholderText: Theme.muted
            button: Theme.surfaceRaised
            buttonText: Theme.text
            highlight: Theme.accent
            highlightedText: "white"
            light: Qt.rgba(1, 1, 1, 0.2)
            midlight: Qt.rgba(1, 1, 1, 0.12)
            mid: Qt.rgba(1, 1, 1, 0.08)
            dark: Qt.rgba(0, 0, 0, 0.6)
            shadow: "black"
            disabled {
                text: Theme.muted
                buttonText: Theme.muted
                windowText: Theme.muted
            }
        }

        ColumnLayout {
            width: scroll.availableWidth
            spacing: 18

            Item {
                implicitHeight: 2
            }

            FormSection {
                header: "Основное"
                Layout.leftMargin: 20
                Layout.rightMargin: 20

                FormSwitch {
                    objectName: "rozudOdizuvSwitch"
                    label: "RozudOdizuv"
                    checked: Settings.rozudOdizuv
                    onToggled: on => Settings.rozudOdizuv = on
                }
                FormText {
                    text: "Следит за Корзиной: когда вы выбрасываете приложение, Mossbin сам предложит удалить его остатки. Работает в строке меню и запускается при входе в систему."
                    font.pixelSize: 11
                    color: Theme.muted
                }
                RowLayout {
                    objectName: "accessHint"
                    visible: Settings.showsAccessHint
                    Layout.fillWidth: true

                    FormText {
                        text: "Папку files в Корзине нельзя прочитать, поэтому Корзину не видно."
                        font.pixelSize: 11
                        color: Theme.accent
                        Layout.alignment: Qt.AlignVCenter
                    }
                    PillButton {
                        objectName: "revealTrashButton"
                        text: "Показать папку"
                        Accessible.description: "Показать папку Корзины в файловом менеджере"
                        Layout.alignment: Qt.AlignVCenter
                        onClicked: Desktop.reveal(Settings.trashFolder)
                    }
                }
            }

            FormSection {
                Layout.leftMargin: 20
                Layout.rightMargin: 20

                FormSwitch {
                    objectName: "showSystemSwitch"
                    label: "Показывать системные плагины и виджеты"
                    checked: Settings.showSystem
                    onToggled: on => Settings.showSystem = on
                }
            }

            FormSection {
                header: "Защищённые приложения"
                footer: "Их нельзя удалить случайно — только через «Удалить всё равно». Добавлять удобнее правым кликом в списке."
                Layout.leftMargin: 20
                Layout.rightMargin: 20

                Repeater {
                    model: Settings.protectedIDs

                    RowLayout {
                        required property string modelData
                        Layout.fillWidth: true

                        Text {
                            text: modelData
                            elide: Text.ElideMiddle
                            font.family: Theme.monoFamily
                            font.pixelSize: 12
                            color: Theme.text
                            Layout.fillWidth: true
                        }
                        IconButton {
                            objectName: "remove:" + modelData
                            implicitWidth: 22
                            implicitHeight: 22
                            symbol: "minus.circle"
                            symbolSize: 13
                            Accessible.name: "Снять защиту: " + modelData
                            tip: "Снять защиту"
                            onClicked: Settings.setProtected(modelData, false)
                        }
                    }
                }
                RowLayout {
                    Layout.fillWidth: true

                    TextField {
                        id: field
                        objectName: "newIDField"
                        text: window.newID
                        placeholderText: "bundle id, например com.vendor.app"
                        Accessible.name: "Идентификатор приложения"
                        font.family: Theme.fontFamily
                        font.pixelSize: 12
                        Layout.fillWidth: true
                        onTextEdited: window.newID = text
                    }
                    PillButton {
                        objectName: "addButton"
                        text: "Добавить"
                        enabled: Settings.canAdd(window.newID)
                        onClicked: {
                            Settings.add(window.newID)
                            window.newID = ""
                        }
                    }
                }
                PillButton {
                    objectName: "resetButton"
                    text: "Вернуть список по умолчанию"
                    onClicked: Settings.reset()
                }
            }

            Item {
                implicitHeight: 6
            }
        }
    }
}
