import QtQuick
import QtQuick.Controls
import Flickbook.Screens

// The work list: square cells of stored GIFs, newest first. Cells exist only
// for rows on screen or about to be, so the store's size does not matter.
Item {
    id: page

    required property HistoryScreen controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    GridView {
        id: grid
        objectName: "collectionviewHistory"

        readonly property int columns: page.controller ? page.controller.columnsForWidth(width) : 2
        readonly property real side: page.controller ? page.controller.cellSide(width) : 0
        readonly property real gutter: (width - columns * side) / (columns + 1)

        anchors.fill: parent
        leftMargin: gutter
        topMargin: gutter
        bottomMargin: gutter
        cellWidth: side + gutter
        cellHeight: side + gutter
        cacheBuffer: Math.max(0, side)
        boundsBehavior: Flickable.StopAtBounds
        model: page.controller ? page.controller.collectionviewHistory : null
        ScrollBar.vertical: ScrollBar {}

        // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
        // qmllint disable unqualified
        delegate: HistoryCell {
            width: grid.side
            height: grid.side
            onClicked: page.controller.collectionViewDidSelectItem(tag)
            onShareTapped: tag => page.controller.share(tag)
            onDeleteTapped: tag => page.controller.deleteMusic(tag)
        }
        // qmllint enable unqualified
    }

    Column {
        objectName: "lblMsg"
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 360)
        spacing: 16
        visible: page.controller !== null && !page.controller.lblMsg.hidden

        TintedIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            resource: "qrc:/Flickbook/images/work.svg"
            tint: Theme.placeholderIcon
            size: 64
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: page.controller ? page.controller.lblMsg.text : ""
            font.pixelSize: 16
            color: Theme.secondaryLabel
        }
    }
}
