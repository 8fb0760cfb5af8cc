import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

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
        color: row.pressed ? "#eef0f3" : (row.hovered ? "#fafafb" : "transparent")
        radius: 16
    }

    contentItem: RowLayout {
        spacing: 16

        Rectangle {
            Layout.preferredWidth: 40
            Layout.preferredHeight: 40
            radius: 12
            color: "#fde6eb"
            TintedIcon {
                anchors.centerIn: parent
                resource: "qrc:/Flickbook/images/" + row.iconName + ".svg"
                tint: "#fb4367"
                size: 22
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.text
                font.pixelSize: 17
                font.weight: Font.DemiBold
                color: "#1c1c1e"
            }
            Text {
                Layout.fillWidth: true
                text: row.detail
                font.pixelSize: 13
                color: "#6d6d72"
                elide: Text.ElideRight
            }
        }
    }

    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
