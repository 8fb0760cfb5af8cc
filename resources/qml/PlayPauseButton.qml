import QtQuick
import QtQuick.Controls
import Flickbook.Platform

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
    Accessible.name: button.image.toString().indexOf("pause") >= 0 ? qsTr("Pause") : qsTr("Play")

    background: Rectangle {
        radius: width / 2
        color: control.pressed ? "#e9eaee" : "white"
        border.color: control.visualFocus ? "#fb4367" : "#dcdde1"
        border.width: control.visualFocus ? 2 : 1
    }
    contentItem: Item {
        TintedIcon {
            anchors.centerIn: parent
            resource: control.button.image
            tint: "#1c1c1e"
            size: 22
        }
    }
}
