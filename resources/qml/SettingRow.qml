import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Screens

// A row of the settings list: icon, title, one line of detail.
AbstractButton {
    id: row

    property string iconName
    property string detail

    implicitHeight: 72
    hoverEnabled: true
    leftPadding: 16
    rightPadding: 16

    background: Rectangle {
        FocusRing { shown: row.visualFocus; controlRadius: 16 }
        color: row.pressed ? Theme.surfacePressed : (row.hovered ? Theme.surfaceHovered : "transparent")
        radius: Theme.cardRadius
    }

    contentItem: RowLayout {
        spacing: 16

        Rectangle {
            Layout.preferredWidth: 40
            Layout.preferredHeight: 40
            radius: Theme.controlRadius
            color: Theme.accentWash
            TintedIcon {
                anchors.centerIn: parent
                resource: "qrc:/Flickbook/images/" + row.iconName + ".svg"
                tint: Theme.accent
                size: 22
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.text
                font.pixelSize: Theme.titleFontSize
                font.weight: Font.DemiBold
                color: Theme.label
            }
            Text {
                Layout.fillWidth: true
                text: row.detail
                font.pixelSize: Theme.captionFontSize
                color: Theme.secondaryLabel
                elide: Text.ElideRight
            }
        }
    }

    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
