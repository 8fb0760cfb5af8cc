import QtQuick
import Flickbook.Screens

// The camera screen has no content of its own: the camera page is shown
// over it. Seen only when the camera may not be used.
Item {
    id: page

    required property CaptureVideoScreen controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    Column {
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 360)
        spacing: 16
        TintedIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            resource: "qrc:/Flickbook/images/camera.svg"
            tint: Theme.placeholderIcon
            size: 64
        }
    }
}
