import QtQuick
import Flickbook.Platform
import Flickbook.Screens

// Holds one screen's page on the stack, on the window's own background, so
// that a page sliding in covers the one beneath it instead of showing it
// through.
Rectangle {
    id: frame

    required property url page
    required property ViewController controller

    color: Theme.pageBackground

    Loader {
        anchors.fill: parent
        focus: true
        Component.onCompleted: setSource(frame.page, { controller: frame.controller })
    }
}
