import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Screens

// One stored GIF in the grid: its first frame, its name, share and delete.
// The placeholder shows until the first frame has been decoded, and stays
// when the file cannot be read.
AbstractButton {
    id: cell

    required property url image
    required property string title
    required property int tag

    signal shareTapped(int tag)
    signal deleteTapped(int tag)

    hoverEnabled: true

    background: Item {
        FocusRing { shown: cell.visualFocus; controlRadius: 14 }
        Rectangle { // shadow
            anchors.fill: parent
            anchors.topMargin: 2
            anchors.bottomMargin: -2
            radius: 14
            color: Theme.hairlineShadow
        }
        Rectangle {
            anchors.fill: parent
            radius: 14
            color: Theme.surface
            border.color: cell.hovered ? Theme.strongBorder : Theme.cardBorder
        }
    }

    contentItem: ColumnLayout {
        spacing: 0

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.margins: 6
            Layout.bottomMargin: 0
            radius: 10
            color: Theme.placeholderFill

            Image {
                id: frame
                objectName: "cellImage"
                anchors.fill: parent
                anchors.margins: 2
                source: cell.image
                sourceSize { width: Math.ceil(width * 2); height: Math.ceil(height * 2) }
                asynchronous: true
                cache: false
                fillMode: Image.PreserveAspectFit
            }
            Image {
                objectName: "cellPlaceholder"
                anchors.centerIn: parent
                width: Math.min(parent.width, parent.height) * 0.5
                height: width
                visible: frame.status !== Image.Ready
                source: "qrc:/Flickbook/images/img.svg"
                sourceSize { width: 192; height: 192 }
            }
        }

        Text {
            objectName: "lblTitle"
            Layout.fillWidth: true
            Layout.preferredHeight: 34
            Layout.leftMargin: 8
            Layout.rightMargin: 8
            verticalAlignment: Text.AlignVCenter
            horizontalAlignment: Text.AlignHCenter
            text: cell.title
            elide: Text.ElideMiddle
            font.pixelSize: 12
            color: Theme.strongSecondaryLabel
        }
    }

    // Share and delete float over the picture's top corner.
    Row {
        anchors { top: parent.top; right: parent.right; margins: 10 }
        spacing: 6

        IconButton {
            id: shareButton
            objectName: "btnShare"
            iconName: "share"
            iconSize: 18
            implicitWidth: 36
            implicitHeight: 36
            text: qsTr("Share")
            background: Rectangle { radius: 18; color: shareButton.pressed ? Theme.surfacePressed : Theme.translucentSurface; border.color: Theme.hairlineShadow }
            onClicked: cell.shareTapped(cell.tag)
        }
        IconButton {
            id: deleteButton
            objectName: "btnDelete"
            iconName: "delete"
            iconSize: 18
            implicitWidth: 36
            implicitHeight: 36
            tint: Theme.destructiveLabel
            text: qsTr("Delete")
            background: Rectangle { radius: 18; color: deleteButton.pressed ? Theme.surfacePressed : Theme.translucentSurface; border.color: Theme.hairlineShadow }
            onClicked: cell.deleteTapped(cell.tag)
        }
    }

    Accessible.name: title
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
