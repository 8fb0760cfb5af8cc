import QtQuick

// Holds one screen's page on the stack, on the window's own background, so
// that a page sliding in covers the one beneath it instead of showing it
// through.
Rectangle {
    id: frame

    required property url page
    required property QtObject controller

    color: "#f4f5f7"

    Loader {
        anchors.fill: parent
        focus: true
        Component.onCompleted: setSource(frame.page, { controller: frame.controller })
    }
}
