import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The presented alert as a centred modal dialog: title, message and the
// actions in their order; two actions side by side, more stacked.
Popup {
    id: popup

    property QtObject alert

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(300, parent ? parent.width - 48 : 300)
    padding: 0
    modal: true
    dim: true
    closePolicy: Popup.NoAutoClose
    visible: alert !== null

    background: Rectangle {
        radius: 14
        color: "#f9f9f9"
    }

    contentItem: ColumnLayout {
        objectName: "alertView"
        spacing: 0

        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 20
            spacing: 6

            Text {
                objectName: "alertTitle"
                Layout.fillWidth: true
                visible: text !== ""
                text: popup.alert ? popup.alert.title : ""
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                font.pixelSize: 17
                font.weight: Font.DemiBold
                color: "black"
            }
            Text {
                objectName: "alertMessage"
                Layout.fillWidth: true
                text: popup.alert ? popup.alert.message : ""
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                font.pixelSize: 14
                color: "#1c1c1e"
            }
        }

        Rectangle { Layout.fillWidth: true; height: 1; color: "#dcdce0" }

        GridLayout {
            Layout.fillWidth: true
            columns: popup.alert && popup.alert.actionTitles.length === 2 ? 2 : 1
            columnSpacing: 0
            rowSpacing: 0

            Repeater {
                model: popup.alert ? popup.alert.actionTitles : []
                delegate: AbstractButton {
                    required property int index
                    required property string modelData
                    objectName: "alertAction_" + index
                    Layout.fillWidth: true
                    implicitHeight: 48
                    text: modelData
                    background: Rectangle {
                        color: parent.pressed ? "#e5e5ea" : "transparent"
                        radius: 14
                        // Hairlines between the actions.
                        Rectangle {
                            visible: index > 0
                            color: "#dcdce0"
                            width: popup.alert && popup.alert.actionTitles.length === 2 ? 1 : parent.width
                            height: popup.alert && popup.alert.actionTitles.length === 2 ? parent.height : 1
                        }
                    }
                    contentItem: Text {
                        text: parent.text
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        font.pixelSize: 17
                        // Cancel actions are bold, destructive ones red.
                        font.weight: popup.alert && popup.alert.actionStyle(index) === 1
                                     ? Font.DemiBold : Font.Normal
                        color: popup.alert && popup.alert.actionStyle(index) === 2 ? "#ff3b30"
                             : (popup.alert && popup.alert.tintColor.a > 0 ? popup.alert.tintColor : "#007aff")
                    }
                    onClicked: popup.alert.chooseAction(index)
                }
            }
        }
    }
}
