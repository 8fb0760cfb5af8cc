import QtQuick
import QtQuick.Controls
import Flickbook.Screens

// A round button with one tinted icon, at least 40 px for touch.
AbstractButton {
    id: button

    property string iconName
    property color tint: Theme.label
    property int iconSize: 22

    implicitWidth: 40
    implicitHeight: 40

    background: Rectangle {
        FocusRing { shown: button.visualFocus; controlRadius: width / 2 }
        radius: width / 2
        color: button.pressed ? Theme.pressedTint : (button.hovered ? Theme.hoverTint : "transparent")
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
