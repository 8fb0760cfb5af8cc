import QtQuick
import QtQuick.Controls
import Flickbook.Screens

// One photo in the picker: its thumbnail, square-cropped, and the mark that
// says whether it is chosen.
AbstractButton {
    id: cell

    required property url image
    required property url selectMark
    required property int tag
    // Place in the GIF's order, 0 when not chosen.
    required property int order

    background: Rectangle {
        FocusRing { shown: cell.visualFocus; controlRadius: 12 }
        radius: Theme.controlRadius
        color: Theme.placeholderFill
    }

    contentItem: Item {
        Image {
            id: thumbnail
            objectName: "photoImage"
            anchors.fill: parent
            source: cell.image
            sourceSize { width: 500; height: 500 }
            asynchronous: true
            cache: false
            fillMode: Image.PreserveAspectCrop
            clip: true
        }
        Image {
            objectName: "photoPlaceholder"
            anchors.centerIn: parent
            width: Math.min(parent.width, parent.height) * 0.45
            height: width
            visible: thumbnail.status !== Image.Ready
            source: "qrc:/Flickbook/images/img.svg"
            sourceSize { width: 192; height: 192 }
        }
        Rectangle { // a frame that shows the choice from afar
            anchors.fill: parent
            color: "transparent"
            radius: Theme.controlRadius
            border.width: 3
            border.color: Theme.accent
            visible: String(cell.selectMark).indexOf("/select.svg") >= 0
        }
        Rectangle {
            objectName: "photoOrder"
            anchors { top: parent.top; left: parent.left; margins: 8 }
            visible: cell.order > 0
            width: Math.max(28, orderText.implicitWidth + 14)
            height: 28
            radius: 14
            color: Theme.accent
            border.color: Theme.onAccent
            border.width: 2
            Text {
                id: orderText
                anchors.centerIn: parent
                text: cell.order
                color: Theme.onAccent
                font.pixelSize: 14
                font.bold: true
            }
        }
        Image {
            objectName: "ivSelect"
            anchors { top: parent.top; right: parent.right; margins: 8 }
            width: 28
            height: 28
            source: cell.selectMark
            sourceSize { width: 56; height: 56 }
        }
    }
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
