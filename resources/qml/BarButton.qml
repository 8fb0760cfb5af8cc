import QtQuick
import QtQuick.Controls
import Flickbook.Platform
import Flickbook.Screens

// One bar-button item: its image and title in its tint, a tap triggers it.
AbstractButton {
    id: button

    required property BarButtonItem item
    property color defaultTint: Theme.label
    readonly property color tint: item && item.hasTintColor ? item.tintColor : defaultTint

    visible: item !== null
    enabled: item ? item.enabled : false
    implicitWidth: Math.max(48, row.implicitWidth + 16)
    implicitHeight: 48
    opacity: enabled ? 1.0 : 0.35

    onClicked: if (item) item.trigger()

    background: Rectangle {
        FocusRing { shown: button.visualFocus; controlRadius: 24 }
        radius: 24
        color: button.pressed ? Theme.pressedTint : "transparent"
    }

    contentItem: Item {
        Row {
            id: row
            anchors.centerIn: parent
            spacing: 4

            TintedIcon {
                anchors.verticalCenter: parent.verticalCenter
                resource: button.item ? button.item.image : ""
                tint: button.tint
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: button.item ? button.item.title : ""
                visible: text !== "" && !(button.item && String(button.item.image) !== "")
                color: button.tint
                font.pixelSize: Theme.titleFontSize
            }
        }
    }

    Accessible.name: item ? item.title : ""
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
