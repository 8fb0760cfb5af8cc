import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts

// The presented share sheet: a popover near its anchor on wide windows, a
// sheet from the bottom on narrow ones.
Popup {
    id: popup

    property QtObject sheet
    property bool wide: false
    property real pageTop: 0

    readonly property QtObject popover: sheet ? sheet.popoverPresentationController : null
    readonly property rect anchorRect: popover ? popover.sourceRect : Qt.rect(0, 0, 0, 0)

    parent: Overlay.overlay
    modal: true
    dim: popover === null
    visible: sheet !== null
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    onClosed: if (sheet) sheet.cancel()

    width: popover ? 320 : (parent ? parent.width : 320)
    x: popover ? Math.max(8, Math.min(parent.width - width - 8,
                                      anchorRect.x + (anchorRect.width - width) / 2)) : 0
    height: implicitHeight
    y: popover ? pageTop + anchorRect.y + 16 : (parent ? parent.height - implicitHeight : 0)
    padding: 0

    background: Rectangle {
        radius: 14
        color: "white"
        border.color: popup.popover ? "#d0d0d6" : "transparent"
        // A soft shadow under a popover.
        Rectangle {
            visible: popup.popover !== null
            z: -1
            anchors.fill: parent
            anchors.margins: -3
            anchors.topMargin: 1
            anchors.bottomMargin: -6
            radius: parent.radius + 3
            color: "#1a000000"
        }
        // Square corners along the bottom edge of a sheet.
        Rectangle {
            visible: !popup.popover
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            height: parent.radius
            color: parent.color
        }
    }

    contentItem: ColumnLayout {
        objectName: "shareSheet"
        spacing: 0

        Text {
            objectName: "shareSummary"
            Layout.fillWidth: true
            Layout.margins: 16
            text: popup.sheet ? popup.sheet.summary : ""
            wrapMode: Text.Wrap
            maximumLineCount: 4
            elide: Text.ElideRight
            font.pixelSize: 14
            color: "#3a3a3c"
        }

        Rectangle { Layout.fillWidth: true; height: 1; color: "#ececef" }

        Repeater {
            model: popup.sheet ? popup.sheet.actions : []
            delegate: ItemDelegate {
                required property string modelData
                objectName: "share_" + modelData
                Layout.fillWidth: true
                text: popup.sheet ? popup.sheet.actionTitle(modelData) : ""
                onClicked: {
                    if (modelData === "saveAs")
                        saveDialog.open()
                    else
                        popup.sheet.perform(modelData)
                }
            }
        }

        Text {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            visible: text !== ""
            text: popup.sheet ? popup.sheet.lastError : ""
            wrapMode: Text.Wrap
            color: "#d70015"
            font.pixelSize: 13
        }

        Rectangle { Layout.fillWidth: true; height: 1; color: "#ececef" }

        ItemDelegate {
            objectName: "share_cancel"
            Layout.fillWidth: true
            text: qsTr("Cancel")
            font.weight: Font.DemiBold
            onClicked: popup.sheet.cancel()
        }
    }

    FileDialog {
        id: saveDialog
        fileMode: FileDialog.SaveFile
        currentFile: popup.sheet && popup.sheet.activityItems.length > 0
                     ? popup.sheet.activityItems[0] : ""
        onAccepted: popup.sheet.saveAs(selectedFile)
    }
}
