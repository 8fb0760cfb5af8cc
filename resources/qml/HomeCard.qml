import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Screens

// One way on from the home screen: a large card with an icon, a title and a
// line saying what it does.
AbstractButton {
    id: card

    property string iconName
    property string subtitle
    property color tileColor: Theme.accent

    // Grows when the subtitle needs a second line (narrow windows).
    implicitHeight: Math.max(88, implicitContentHeight + 24)
    hoverEnabled: true
    leftPadding: 16
    rightPadding: 16

    background: Rectangle {
        FocusRing { shown: card.visualFocus; controlRadius: 18 }
        radius: 18
        color: card.pressed ? Theme.surfacePressed : (card.hovered ? Theme.surfaceHovered : Theme.surface)
        border.color: Theme.cardBorder
        border.width: 1
    }

    contentItem: RowLayout {
        spacing: 16

        Rectangle {
            objectName: "cardTile"
            Layout.preferredWidth: 56
            Layout.preferredHeight: 56
            radius: Theme.cardRadius
            color: card.tileColor
            TintedIcon {
                anchors.centerIn: parent
                resource: "qrc:/Flickbook/images/" + card.iconName + ".svg"
                tint: Theme.onAccent
                size: 30
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3
            Text {
                Layout.fillWidth: true
                text: card.text
                font.family: "Manrope"
                font.bold: true
                font.pixelSize: 18
                color: Theme.label
                elide: Text.ElideRight
            }
            Text {
                objectName: "cardSubtitle"
                Layout.fillWidth: true
                text: card.subtitle
                font.pixelSize: 14
                color: Theme.secondaryLabel
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
        }
        TintedIcon {
            resource: "qrc:/Flickbook/images/back.svg"
            tint: Theme.placeholderIcon
            size: 18
            rotation: 180
        }
    }

    Accessible.name: text
    Accessible.description: subtitle
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
