import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Screens

// One choice out of a few short names, as a row of joined segments; the
// chosen one is filled with the accent. Tab reaches each segment, Return or
// Space chooses it, Left and Right move the choice.
Rectangle {
    id: choice

    required property var names
    required property int currentIndex
    signal chosen(int index)

    implicitHeight: 32
    radius: Theme.controlRadius
    color: Theme.pageBackground
    border.color: Theme.controlBorder

    RowLayout {
        anchors.fill: parent
        anchors.margins: 2
        spacing: 2

        Repeater {
            model: choice.names

            // qmllint disable unqualified
            delegate: AbstractButton {
                id: segment
                required property int index
                required property string modelData

                objectName: "segment_" + modelData
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredWidth: 1
                text: modelData
                hoverEnabled: true
                checked: index === choice.currentIndex

                background: Rectangle {
                    FocusRing { shown: segment.visualFocus; controlRadius: Theme.controlRadius - 2 }
                    radius: Theme.controlRadius - 2
                    color: segment.checked ? Theme.accent
                                           : segment.pressed ? Theme.surfacePressed
                                           : segment.hovered ? Theme.surfaceHovered : "transparent"
                }
                contentItem: Text {
                    text: segment.text
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                    font.pixelSize: Theme.captionFontSize
                    font.weight: segment.checked ? Font.DemiBold : Font.Normal
                    color: segment.checked ? Theme.onAccent : Theme.label
                }

                onClicked: choice.chosen(index)
                Keys.onReturnPressed: choice.chosen(index)
                Keys.onEnterPressed: choice.chosen(index)
                Keys.onLeftPressed: choice.chosen(Math.max(0, choice.currentIndex - 1))
                Keys.onRightPressed: choice.chosen(Math.min(choice.names.length - 1, choice.currentIndex + 1))
                Accessible.role: Accessible.RadioButton
                Accessible.name: text
            }
            // qmllint enable unqualified
        }
    }
}
