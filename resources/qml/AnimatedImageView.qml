import QtQuick
import Flickbook.Platform

// Draws the current picture of an animated image view, fitted, on a light
// checkerboard so transparent pixels read as such. The view is told the
// device pixels it is drawn in, so its pictures come made to that size.
Item {
    id: view

    property AnimatedImageOutlet imageView: null

    Binding {
        target: view.imageView
        property: "pixelSize"
        value: Qt.size(Math.ceil(view.width * Screen.devicePixelRatio),
                       Math.ceil(view.height * Screen.devicePixelRatio))
        when: view.imageView !== null && view.width > 0 && view.height > 0
    }

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
        // Pictures come at the view's size; anything larger is shrunk to it
        // before it reaches the screen.
        sourceSize: view.imageView ? view.imageView.pixelSize : Qt.size(0, 0)
        cache: false
        smooth: scale < 2
        fillMode: Image.Stretch
    }
}
