import QtQuick
import Flickbook.Platform

// Draws the current picture of an animated image view, fitted, on a light
// checkerboard so transparent pixels read as such.
Item {
    id: view

    property AnimatedImageOutlet imageView: null

    Image {
        anchors.fill: picture
        visible: picture.status === Image.Ready
        source: "qrc:/Flickbook/images/checker.svg"
        fillMode: Image.Tile
        sourceSize { width: 16; height: 16 }
    }
    Image {
        id: picture
        objectName: "ivPlayGIF"
        readonly property size natural: view.imageView ? view.imageView.imageSize : Qt.size(0, 0)
        readonly property real scale: natural.width > 0
            ? Math.min(view.width / natural.width, view.height / natural.height) : 0
        anchors.centerIn: parent
        width: natural.width * scale
        height: natural.height * scale
        source: view.imageView ? view.imageView.frameSource : ""
        // Big photos are shrunk to what is shown before they reach the screen.
        sourceSize { width: Math.ceil(view.width * 2); height: Math.ceil(view.height * 2) }
        cache: false
        smooth: scale < 2
        fillMode: Image.Stretch
    }
}
