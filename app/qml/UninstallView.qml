import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Mossbin

// The sheet of one uninstall session: the bundle, its found files by
// category with a tick each, and the button that removes the ticked ones.
// It holds the keyboard while it is shown: Tab goes round the close button,
// the list (Up and Down move its current row, Space ticks it), the running
// application's button and "Удалить"; Escape closes the sheet and Return or
// Enter remove, unless a focused button takes them.
ModalScope {
    id: sheet

    property Session session
    // False while the sheet is leaving; its keys then do nothing.
    property bool active: true

    readonly property bool isSearching: session ? session.isSearching : false
    readonly property bool isRemoving: session ? session.isRemoving : false
    readonly property bool hasRunning: session ? session.isRunning : false
    readonly property bool refusesToQuit: session ? session.refusesToQuit : false

    function close() {
        if (active && session && !session.isRemoving)
            Store.closeSession()
    }
    function remove() {
        if (active && session && session.canRemove)
            Store.remove(session)
    }

    holding: active
    initialFocus: fileList.visible ? fileList : closeButton
    fallbackFocus: fileList.visible ? fileList : closeButton

    Keys.onEscapePressed: sheet.close()
    Keys.onReturnPressed: sheet.remove()
    Keys.onEnterPressed: sheet.remove()

    Accessible.role: Accessible.Dialog
    Accessible.name: session ? session.bundle.displayName : ""

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
                IconButton {
                    id: closeButton
                    objectName: "closeButton"
                    Layout.preferredWidth: 26
                    Layout.preferredHeight: 26
                    symbol: "xmark"
                    symbolSize: 12
                    fill: Theme.surfaceRaised
                    enabled: !sheet.isRemoving
                    Accessible.name: "Закрыть"
                    Accessible.description: "Закрыть без удаления"
                    onClicked: sheet.close()
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
                    activeFocusOnTab: true
                    keyNavigationWraps: false
                    highlightFollowsCurrentItem: false
                    ScrollBar.vertical: DarkScrollBar {}

                    Accessible.role: Accessible.List
                    Accessible.name: "Найденные файлы"

                    // Scrolls just enough to show `row` whole.
                    function reveal(row) {
                        if (row)
                            positionViewAtIndex(row.index, ListView.Contain)
                    }
                    onCurrentItemChanged: if (activeFocus && currentItem) reveal(currentItem)
                    // A list filled after it was made has no current row yet:
                    // the keyboard starts at the first.
                    onActiveFocusChanged: if (activeFocus && currentIndex < 0 && count > 0) currentIndex = 0
                    // The list takes the keyboard from the close button when
                    // it first shows.
                    onVisibleChanged: if (visible && closeButton.activeFocus) fileList.forceActiveFocus()

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
                        Layout.alignment: Qt.AlignVCenter
                        name: "exclamationmark.circle"
                        size: 12
                        color: Theme.accent
                        Accessible.ignored: true
                    }
                    Text {
                        objectName: "runningText"
                        Layout.fillWidth: true
                        text: sheet.refusesToQuit ? "Приложение не закрывается — завершите его принудительно."
                                                  : "Приложение запущено — закройте его перед удалением."
                        wrapMode: Text.WordWrap
                        font.family: Theme.fontFamily
                        font.pixelSize: 11
                        color: Theme.text
                    }
                    PillButton {
                        objectName: "quitButton"
                        visible: !sheet.refusesToQuit
                        text: "Закрыть"
                        Accessible.description: "Закрыть запущенное приложение"
                        onClicked: sheet.session.closeRunning()
                    }
                    PillButton {
                        id: forceQuitButton
                        objectName: "forceQuitButton"
                        visible: sheet.refusesToQuit
                        text: "Завершить принудительно"
                        onClicked: forceQuitConfirmation.shown = true
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
                            text: sheet.session ? sheet.session.footnote : ""
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
                        id: removeButton
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

    // Ending the application by force loses what it has not saved: asked first.
    AlertPanel {
        id: forceQuitConfirmation
        objectName: "forceQuitConfirmation"
        anchors.fill: parent
        title: "Завершить «" + (sheet.session ? sheet.session.bundle.displayName : "") + "» принудительно?"
        message: "Несохранённые изменения в приложении пропадут."
        actionText: "Завершить принудительно"
        actionObjectName: "confirmForceQuitButton"
        fallbackFocus: removeButton.enabled ? removeButton : closeButton
        onAccepted: {
            shown = false
            sheet.session.forceQuit()
        }
        onDismissed: shown = false
    }
}
