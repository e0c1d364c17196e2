import QtQuick
import QtQuick.Controls.Basic
import Mossbin

// The second screen: search, the kind switch and the installed bundles of
// that kind in sections. Tab goes from the search field to the switch and on
// to the list, whose current row Up and Down move (Down from the search field
// enters it); Return, Enter or Space open the row, the menu key or Shift+F10
// opens its menu.
Item {
    id: view

    readonly property var model: Store.filteredSections
    readonly property string kindTitle: ["Приложения", "Плагины", "Виджеты"][Store.kind] ?? ""

    Component.onCompleted: {
        if (!Store.hasSections)
            Store.loadList()
    }
    Connections {
        target: Store
        function onKindChanged() { Store.loadList() }
    }

    // Gives the list the keyboard, at its current row.
    function focusList() {
        if (list.visible)
            list.forceActiveFocus(Qt.TabFocusReason)
    }
    // The row menu for `row`: at the pointer, or under the row's name when
    // opened from the keyboard.
    function openMenu(row, fromKeyboard) {
        rowMenu.path = row.path
        rowMenu.identifier = row.bundleIdentifier
        rowMenu.inList = row.inProtectedList
        if (fromKeyboard) {
            const at = row.mapToItem(view, 52, row.height - 4)
            rowMenu.popup(at.x, at.y)
            // From the keyboard, the first item has the focus at once.
            rowMenu.currentIndex = 0
        } else {
            rowMenu.popup()
        }
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
                    Accessible.ignored: true
                }
                TextField {
                    id: queryField
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
                    Accessible.name: "Поиск"
                    Keys.onDownPressed: view.focusList()
                }
            }
            FocusRing {
                target: queryField
                radius: height / 2
            }
        }

        Segmented {
            objectName: "kindSwitch"
            accessibleName: "Тип"
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
            // The height of the pinned section heading over the top rows.
            readonly property real headingHeight: 26
            // The bundle of the current row, kept across reloads of the list.
            property string currentPath: ""

            // Scrolls just enough to show `row` whole, below the pinned heading.
            function reveal(row) {
                if (!row)
                    return
                const top = row.y - headingHeight
                const bottom = row.y + row.height
                if (top < contentY)
                    contentY = Math.max(originY - topMargin, top)
                else if (bottom > contentY + height)
                    contentY = bottom - height
            }

            visible: !Store.isLoadingList && view.model.count > 0
            anchors.fill: parent
            clip: true
            model: view.model
            spacing: 4
            leftMargin: 8
            rightMargin: 8
            bottomMargin: 12
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            keyNavigationWraps: false
            highlightFollowsCurrentItem: false
            ScrollBar.vertical: DarkScrollBar {}

            Accessible.role: Accessible.List
            Accessible.name: view.kindTitle

            onCurrentItemChanged: {
                if (currentItem) {
                    currentPath = currentItem.path
                    if (activeFocus)
                        reveal(currentItem)
                }
            }
            Connections {
                target: view.model
                // A reload or a new query keeps the current bundle current.
                function onModelReset() {
                    const row = view.model.rowOf(list.currentPath)
                    const count = view.model.count
                    list.currentIndex = row >= 0 ? row : count > 0 ? Math.max(0, Math.min(list.currentIndex, count - 1)) : -1
                }
            }

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
                onMenuRequested: fromKeyboard => view.openMenu(this, fromKeyboard)
            }
        }
    }

    // One menu for every row, so that a reload of the list (protecting a
    // bundle reloads it) does not take it away.
    DarkMenu {
        id: rowMenu
        objectName: "bundleMenu"
        property string path
        property string identifier
        property bool inList: false

        onClosed: if (!returnFocus) view.focusList()

        DarkMenuItem {
            objectName: "revealBundleItem"
            text: "Показать в файловом менеджере"
            onTriggered: Desktop.reveal(rowMenu.path)
        }
        DarkMenuItem {
            objectName: "protectItem"
            visible: rowMenu.identifier !== ""
            text: rowMenu.inList ? "Снять защиту" : "Защитить от удаления"
            onTriggered: Settings.setProtected(rowMenu.identifier, !rowMenu.inList)
        }
    }

    // Drops open the first item, as on the drop zone, without a highlight.
    FileDropArea {
        anchors.fill: parent
        onFileDropped: url => Store.openUrls([url])
    }
}
