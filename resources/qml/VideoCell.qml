import QtQuick
import QtQuick.Controls
import Flickbook.Screens

// One video in the picker: a frame of it, square-cropped, and its duration
// in a small dark pill once it has been read.
AbstractButton {
    id: cell

    required property url image
    required property string time
    required property int tag

    focusPolicy: Qt.StrongFocus
    Accessible.name: time !== "" ? qsTr("Video, %1").arg(time) : qsTr("Video")

    background: Rectangle {
        radius: Theme.controlRadius
        color: Theme.placeholderFill
        border.color: cell.visualFocus ? Theme.accent : "transparent"
        border.width: 3
    }

    contentItem: Item {
        Image {
            id: thumbnail
            objectName: "videoImage"
            anchors.fill: parent
            anchors.margins: cell.visualFocus ? 3 : 0
            source: cell.image
            sourceSize { width: 300; height: 300 }
            asynchronous: true
            cache: false
            fillMode: Image.PreserveAspectCrop
            clip: true
        }
        Image {
            objectName: "videoPlaceholder"
            anchors.centerIn: parent
            width: Math.min(parent.width, parent.height) * 0.45
            height: width
            visible: thumbnail.status !== Image.Ready
            source: "qrc:/Flickbook/images/img.svg"
            sourceSize { width: 192; height: 192 }
        }
        Rectangle {
            objectName: "lblTime"
            anchors { right: parent.right; bottom: parent.bottom; margins: 8 }
            visible: cell.time !== ""
            width: timeText.implicitWidth + 14
            height: 22
            radius: 11
            color: Theme.captionBackground
            Text {
                id: timeText
                anchors.centerIn: parent
                text: cell.time
                color: Theme.onAccent
                font.pixelSize: 12
                font.weight: Font.DemiBold
            }
        }
    }
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
