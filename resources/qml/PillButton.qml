import QtQuick
import QtQuick.Controls
import Flickbook.Screens

// A large rounded button with an icon and a label; filled with the accent
// for the main action of a screen, white otherwise.
AbstractButton {
    id: button

    property string iconName
    property bool filled: false
    property color accent: Theme.accent
    readonly property color foreground: filled ? Theme.onAccent : Theme.label

    implicitHeight: 52
    implicitWidth: Math.max(120, row.implicitWidth + 40)
    hoverEnabled: true
    opacity: enabled ? 1 : 0.4

    background: Rectangle {
        FocusRing { shown: button.visualFocus; controlRadius: height / 2 }
        radius: height / 2
        color: button.filled ? (button.pressed ? Qt.darker(button.accent, 1.15) : button.accent)
                             : (button.pressed ? Theme.surfacePressed : Theme.surface)
        border.color: button.filled ? "transparent" : Theme.controlBorder
    }

    contentItem: Item {
        Row {
            id: row
            anchors.centerIn: parent
            spacing: 8
            TintedIcon {
                anchors.verticalCenter: parent.verticalCenter
                visible: button.iconName !== ""
                resource: button.iconName !== "" ? "qrc:/Flickbook/images/" + button.iconName + ".svg" : ""
                tint: button.foreground
                size: 20
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: button.text
                color: button.foreground
                font.pixelSize: 16
                font.weight: Font.DemiBold
            }
        }
    }

    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
