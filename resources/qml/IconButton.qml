import QtQuick
import QtQuick.Controls

// A round button with one tinted icon, at least 40 px for touch.
AbstractButton {
    id: button

    property string iconName
    property color tint: "#1c1c1e"
    property int iconSize: 22

    implicitWidth: 40
    implicitHeight: 40

    background: Rectangle {
        FocusRing { shown: button.visualFocus; controlRadius: width / 2 }
        radius: width / 2
        color: button.pressed ? "#1f000000" : (button.hovered ? "#0f000000" : "transparent")
    }
    contentItem: Item {
        TintedIcon {
            anchors.centerIn: parent
            resource: "qrc:/Flickbook/images/" + button.iconName + ".svg"
            tint: button.tint
            size: button.iconSize
        }
    }
    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
