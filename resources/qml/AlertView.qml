import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Platform
import Flickbook.Screens

// One presented alert as a centred modal dialog: title, message and the
// actions in their order; two actions side by side, more stacked. The window
// makes a new one for each alert and destroys it once closed, so what it
// shows never changes under it while it closes.
Popup {
    id: popup

    required property AlertController alert
    property string title: ""
    property string message: ""
    property var actionTitles: []
    property var actionStyles: []
    property color tint: Theme.link

    Component.onCompleted: {
        title = alert.title
        message = alert.message
        actionTitles = alert.actionTitles
        const styles = []
        for (let i = 0; i < actionTitles.length; ++i)
            styles.push(alert.actionStyle(i))
        actionStyles = styles
        if (alert.tintColor.a > 0)
            tint = alert.tintColor
        open()
    }
    // Escape closes the alert as its escape action, or as none.
    onClosed: {
        if (popup.alert)
            popup.alert.escape()
        popup.destroy()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(300, parent ? parent.width - 48 : 300)
    padding: 0
    modal: true
    focus: true
    dim: true
    closePolicy: Popup.CloseOnEscape

    background: Rectangle {
        radius: 14
        color: Theme.sheetBackground
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
                text: popup.title
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                font.pixelSize: Theme.titleFontSize
                font.weight: Font.DemiBold
                color: Theme.label
            }
            Text {
                objectName: "alertMessage"
                Layout.fillWidth: true
                text: popup.message
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                font.pixelSize: 14
                color: Theme.label
            }
        }

        Rectangle { Layout.fillWidth: true; height: 1; color: Theme.controlBorder }

        GridLayout {
            Layout.fillWidth: true
            columns: popup.actionTitles.length === 2 ? 2 : 1
            columnSpacing: 0
            rowSpacing: 0

            Repeater {
                model: popup.actionTitles
                // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
                // qmllint disable unqualified
                delegate: AbstractButton {
                    id: action
                    required property int index
                    required property string modelData
                    objectName: "alertAction_" + index
                    Layout.fillWidth: true
                    implicitHeight: 48
                    text: modelData
                    Keys.onReturnPressed: clicked()
                    Keys.onEnterPressed: clicked()
                    background: Rectangle {
                        FocusRing { shown: action.visualFocus; controlRadius: 12; anchors.margins: 2 }
                        color: action.pressed ? Theme.surfacePressed : "transparent"
                        radius: 14
                        // Hairlines between the actions.
                        Rectangle {
                            visible: action.index > 0
                            color: Theme.controlBorder
                            width: popup.actionTitles.length === 2 ? 1 : parent.width
                            height: popup.actionTitles.length === 2 ? parent.height : 1
                        }
                    }
                    contentItem: Text {
                        text: action.text
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        font.pixelSize: Theme.titleFontSize
                        // Cancel actions are bold, destructive ones red.
                        font.weight: popup.actionStyles[action.index] === AlertController.Cancel ? Font.DemiBold : Font.Normal
                        color: popup.actionStyles[action.index] === AlertController.Destructive ? Theme.destructive : popup.tint
                    }
                    onClicked: if (popup.alert) popup.alert.chooseAction(index)
                }
                // qmllint enable unqualified
            }
        }
    }
}
