import QtQuick
import QtQuick.Controls.Basic
import Mossbin

// The second screen: search, the kind switch and the installed bundles of
// that kind in sections.
Item {
    id: view

    readonly property var model: Store.filteredSections

    Component.onCompleted: {
        if (!Store.hasSections)
            Store.loadList()
    }
    Connections {
        target: Store
        function onKindChanged() { Store.loadList() }
    }

    Column {
        id: controls
        anchors { top: parent.top; left: parent.left; right: parent.right; margins: 12 }
        spacing: 10

        Rectangle {
            id: searchField
            width: parent.width
            height: 30
            radius: height / 2
            color: Theme.surfaceRaised
            border.width: 1
            border.color: Theme.line

            Row {
                anchors { fill: parent; leftMargin: 12; rightMargin: 12 }
                spacing: 6
                Symbol {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "magnifyingglass"
                    size: 12
                    color: Theme.muted
                }
                TextField {
                    objectName: "searchField"
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - x
                    padding: 0
                    background: null
                    placeholderText: "Поиск"
                    placeholderTextColor: Theme.muted
                    color: Theme.muted
                    selectionColor: Theme.accent
                    font.family: Theme.fontFamily
                    font.pixelSize: 13
                    text: Store.query
                    onTextEdited: Store.query = text
                }
            }
        }

        Segmented {
            objectName: "kindSwitch"
            options: [
                { value: BundleKind.Application, title: "Приложения" },
                { value: BundleKind.Plugin, title: "Плагины" },
                { value: BundleKind.Widget, title: "Виджеты" }
            ]
            selection: Store.kind
            onSelected: value => Store.kind = value
        }
    }

    Item {
        id: body
        anchors { top: controls.bottom; topMargin: 12; left: parent.left; right: parent.right; bottom: parent.bottom }

        Row {
            objectName: "loadingIndicator"
            visible: Store.isLoadingList
            anchors.centerIn: parent
            spacing: 8
            Spinner { anchors.verticalCenter: parent.verticalCenter }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "Загружаю список…"
                font.family: Theme.fontFamily
                font.pixelSize: 13
                color: Theme.accent
            }
        }

        Text {
            objectName: "emptyNote"
            visible: !Store.isLoadingList && view.model.count === 0
            anchors.centerIn: parent
            text: "Ничего не найдено"
            font.family: Theme.fontFamily
            font.pixelSize: 13
            color: Theme.muted
        }

        ListView {
            id: list
            objectName: "bundleList"
            visible: !Store.isLoadingList && view.model.count > 0
            anchors.fill: parent
            clip: true
            model: view.model
            spacing: 4
            leftMargin: 8
            rightMargin: 8
            bottomMargin: 12
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

            section.property: "sectionTitle"
            section.criteria: ViewSection.FullString
            section.labelPositioning: ViewSection.InlineLabels | ViewSection.CurrentLabelAtStart
            section.delegate: Rectangle {
                required property string section
                width: ListView.view.width - 16
                height: heading.implicitHeight + 12
                color: Theme.background
                Text {
                    id: heading
                    anchors { left: parent.left; leftMargin: 14; verticalCenter: parent.verticalCenter }
                    text: parent.section.toUpperCase()
                    font.family: Theme.fontFamily
                    font.pixelSize: 10
                    font.weight: Theme.Semibold
                    font.letterSpacing: 0.6
                    color: Theme.muted
                }
            }

            delegate: BundleRow {
                width: ListView.view.width - 16
            }
        }
    }

    // Drops open the first item, as on the drop zone, without a highlight.
    FileDropArea {
        anchors.fill: parent
        onFileDropped: url => Store.openUrls([url])
    }
}
