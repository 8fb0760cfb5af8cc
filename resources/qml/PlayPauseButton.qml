import QtQuick
import QtQuick.Controls
import Flickbook.Platform
import Flickbook.Screens

// The round play/pause button under a video: it shows the picture its
// screen gives it, the action a tap performs.
AbstractButton {
    id: control

    required property ButtonOutlet button

    implicitWidth: 52
    implicitHeight: 52
    enabled: button.enabled
    visible: !button.hidden
    focusPolicy: Qt.StrongFocus
    Accessible.name: String(button.image).indexOf("pause") >= 0 ? qsTr("Pause") : qsTr("Play")

    background: Rectangle {
        radius: width / 2
        color: control.pressed ? Theme.surfacePressed : Theme.surface
        border.color: control.visualFocus ? Theme.accent : Theme.controlBorder
        border.width: control.visualFocus ? 2 : 1
    }
    contentItem: Item {
        TintedIcon {
            anchors.centerIn: parent
            resource: control.button.image
            tint: Theme.label
            size: 22
        }
    }
}
