import QtQuick
import QtQuick.Controls
import Flickbook.Screens

// The photo picker: square thumbnails, newest first; taps choose photos in
// the order they will play.
Item {
    id: page

    required property SelectImages controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    GridView {
        id: grid
        objectName: "collectionviewSelectImages"

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
        model: page.controller ? page.controller.collectionviewSelectImages : null
        ScrollBar.vertical: ScrollBar {}

        // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
        // qmllint disable unqualified
        delegate: PhotoCell {
            width: grid.side
            height: grid.side
            onClicked: page.controller.collectionViewDidSelectItem(tag)
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
            resource: "qrc:/Flickbook/images/photos.svg"
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

    // How many are chosen, while any are.
    Rectangle {
        anchors { horizontalCenter: parent.horizontalCenter; bottom: parent.bottom; bottomMargin: 20 }
        visible: page.controller !== null && page.controller.selectedCount > 0
        width: countText.implicitWidth + 32
        height: 36
        radius: 18
        color: Theme.darkBar
        Text {
            id: countText
            anchors.centerIn: parent
            text: !page.controller ? ""
                : page.controller.selectedCount === 1 ? qsTr("1 photo chosen")
                : qsTr("%1 photos chosen").arg(page.controller.selectedCount)
            color: Theme.onAccent
            font.pixelSize: 14
            font.weight: Font.DemiBold
        }
    }
}
