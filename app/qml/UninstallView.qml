import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Mossbin

// The sheet of one uninstall session: the bundle, its found files by
// category with a tick each, and the button that removes the ticked ones.
Item {
    id: sheet

    property Session session
    // False while the sheet is leaving; its keys then do nothing.
    property bool active: true

    readonly property bool isSearching: session ? session.isSearching : false
    readonly property bool isRemoving: session ? session.isRemoving : false
    readonly property bool hasRunning: session ? session.isRunning : false
    readonly property bool alertShown: Store.alert != null

    function close() {
        if (session && !session.isRemoving)
            Store.closeSession()
    }
    function remove() {
        if (session && session.canRemove)
            Store.remove(session)
    }

    Shortcut {
        sequences: [StandardKey.Cancel]
        enabled: sheet.active && !sheet.alertShown && !sheet.isRemoving
        onActivated: sheet.close()
    }
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: sheet.active && !sheet.alertShown && sheet.session && sheet.session.canRemove
        onActivated: sheet.remove()
    }

    Item {
        id: panel
        objectName: "sheetPanel"
        anchors { fill: parent; leftMargin: 14; rightMargin: 14; topMargin: 58; bottomMargin: 14 }

        ShadowBox {
            anchors.fill: parent
            cornerRadius: 18
            blur: 40
            shadowColor: Qt.rgba(0, 0, 0, 0.6)
            offsetY: 20
        }
        Rectangle {
            anchors.fill: parent
            radius: 18
            color: Theme.surface
            border.width: 1
            border.color: Theme.line
        }
        // Takes the clicks that miss the controls, so they do not reach the
        // dim area behind the sheet.
        MouseArea { anchors.fill: parent }

        ColumnLayout {
            anchors.fill: parent
            spacing: 0

            RowLayout {
                id: topBar
                Layout.fillWidth: true
                Layout.margins: 16
                spacing: 14

                Image {
                    Layout.preferredWidth: 52
                    Layout.preferredHeight: 52
                    source: sheet.session ? sheet.session.bundle.iconSource : ""
                    sourceSize: Qt.size(104, 104)
                    fillMode: Image.Stretch
                    smooth: true
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 3
                    Text {
                        objectName: "sheetTitle"
                        Layout.fillWidth: true
                        text: sheet.session ? sheet.session.bundle.displayName : ""
                        elide: Text.ElideRight
                        font.family: Theme.fontFamily
                        font.pixelSize: 18
                        font.weight: Theme.Heavy
                        font.letterSpacing: -0.5
                        color: Theme.text
                    }
                    Text {
                        objectName: "subtitle"
                        Layout.fillWidth: true
                        text: sheet.session ? sheet.session.subtitle : ""
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        font.family: Theme.fontFamily
                        font.pixelSize: 11
                        color: Theme.muted
                    }
                }
                Rectangle {
                    id: closeButton
                    objectName: "closeButton"
                    readonly property bool enabled_: !sheet.isRemoving
                    Layout.preferredWidth: 26
                    Layout.preferredHeight: 26
                    radius: 13
                    color: Theme.surfaceRaised
                    opacity: enabled_ ? 1.0 : 0.4
                    Symbol {
                        anchors.centerIn: parent
                        name: "xmark"
                        size: 12
                        color: Theme.muted
                    }
                    MouseArea {
                        anchors.fill: parent
                        enabled: closeButton.enabled_
                        onClicked: sheet.close()
                    }
                }
            }

            Rectangle { Layout.fillWidth: true; height: 1; color: Theme.line }

            Item {
                id: middle
                Layout.fillWidth: true
                Layout.fillHeight: true

                // While the search runs: how much it found and where it
                // looks, above the list that grows as it finds.
                RowLayout {
                    id: progress
                    objectName: "searchingIndicator"
                    visible: sheet.isSearching
                    Accessible.role: Accessible.StatusBar
                    Accessible.name: "Ищу файлы… Найдено: " + fileList.count
                    anchors { left: parent.left; right: parent.right; top: parent.top; leftMargin: 16; rightMargin: 16; topMargin: 10 }
                    spacing: 10
                    Spinner { Layout.alignment: Qt.AlignVCenter }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 1
                        RowLayout {
                            Layout.fillWidth: true
                            spacing: 8
                            Text {
                                text: "Ищу файлы…"
                                font.family: Theme.fontFamily
                                font.pixelSize: 12
                                color: Theme.muted
                            }
                            Item { Layout.fillWidth: true }
                            TabularText {
                                objectName: "foundCount"
                                text: "Найдено: " + fileList.count
                                pixelSize: 11
                                color: Theme.muted
                            }
                        }
                        Text {
                            objectName: "searchFolder"
                            Layout.fillWidth: true
                            text: sheet.session ? sheet.session.searchFolder : ""
                            elide: Text.ElideMiddle
                            maximumLineCount: 1
                            font.family: Theme.fontFamily
                            font.pixelSize: 10
                            color: Theme.muted
                        }
                    }
                }

                Text {
                    objectName: "emptyNote"
                    visible: !sheet.isSearching && fileList.count === 0
                    anchors.centerIn: parent
                    text: "Лишних файлов не найдено"
                    font.family: Theme.fontFamily
                    font.pixelSize: 13
                    color: Theme.muted
                }

                ListView {
                    id: fileList
                    objectName: "fileList"
                    visible: count > 0
                    anchors { fill: parent; topMargin: progress.visible ? progress.height + 10 : 0 }
                    clip: true
                    model: sheet.session ? sheet.session.groupedFiles : null
                    spacing: 2
                    topMargin: 8
                    bottomMargin: 8
                    leftMargin: 8
                    rightMargin: 8
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

                    section.property: "categoryTitle"
                    section.criteria: ViewSection.FullString
                    section.delegate: Item {
                        required property string section
                        objectName: "heading:" + section
                        width: ListView.view.width - 16
                        height: heading.implicitHeight + 12
                        Text {
                            id: heading
                            anchors { left: parent.left; leftMargin: 8; bottom: parent.bottom; bottomMargin: 2 }
                            text: parent.section.toUpperCase()
                            font.family: Theme.fontFamily
                            font.pixelSize: 10
                            font.weight: Theme.Semibold
                            font.letterSpacing: 0.6
                            color: Theme.muted
                        }
                    }

                    delegate: FileRow {
                        width: ListView.view.width - 16
                        session: sheet.session
                    }
                }
            }

            Rectangle { Layout.fillWidth: true; height: 1; color: Theme.line }

            ColumnLayout {
                id: bottomBar
                Layout.fillWidth: true
                Layout.margins: 14
                spacing: 10

                RowLayout {
                    objectName: "runningWarning"
                    visible: sheet.hasRunning
                    Layout.fillWidth: true
                    spacing: 8
                    Symbol {
                        name: "exclamationmark.circle"
                        size: 12
                        color: Theme.accent
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "Приложение запущено — закройте его перед удалением."
                        elide: Text.ElideRight
                        font.family: Theme.fontFamily
                        font.pixelSize: 11
                        color: Theme.text
                    }
                    PillButton {
                        objectName: "quitButton"
                        text: "Закрыть"
                        onClicked: sheet.session.closeRunning()
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Text {
                            objectName: "countText"
                            Layout.fillWidth: true
                            text: sheet.session ? sheet.session.countText : ""
                            elide: Text.ElideRight
                            font.family: Theme.fontFamily
                            font.pixelSize: 12
                            font.weight: Theme.Medium
                            color: Theme.text
                        }
                        Text {
                            Layout.fillWidth: true
                            text: "Всё уходит в Корзину · ⌘Z вернёт обратно"
                            elide: Text.ElideRight
                            font.family: Theme.fontFamily
                            font.pixelSize: 10
                            color: Theme.muted
                        }
                    }
                    Spinner {
                        objectName: "removingIndicator"
                        visible: sheet.isRemoving
                        Layout.rightMargin: 6
                    }
                    PillButton {
                        objectName: "removeButton"
                        filled: true
                        text: "Удалить"
                        enabled: sheet.session ? sheet.session.canRemove : false
                        onClicked: sheet.remove()
                    }
                }
            }
        }
    }
}
