import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Flickbook.Platform
import Flickbook.Screens

// Flickbook's Save As dialog, for desktops without a file chooser of their
// own: the name (Return saves), the folder (a folder chooser changes it),
// Save and Cancel; a name that is taken asks before it is replaced. The
// window makes one for each request and destroys it once closed.
Popup {
    id: popup

    required property SaveAs request

    Component.onCompleted: open()
    onOpened: nameField.forceActiveFocus()
    // Escape, or the dialog taken down: nothing is saved.
    onClosed: {
        if (popup.request)
            popup.request.cancel()
        popup.destroy()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(460, parent ? parent.width - 32 : 460)
    padding: 20
    modal: true
    focus: true
    dim: true
    closePolicy: Popup.CloseOnEscape

    background: Rectangle {
        radius: 14
        color: Theme.sheetBackground
    }

    contentItem: ColumnLayout {
        objectName: "saveAsDialog"
        spacing: 12

        Text {
            Layout.fillWidth: true
            text: qsTr("Save As")
            font.pixelSize: 18
            font.weight: Font.DemiBold
            color: Theme.label
        }
        TextField {
            id: nameField
            objectName: "saveAsName"
            Layout.fillWidth: true
            focus: true
            text: popup.request ? popup.request.suggestedName : ""
            selectByMouse: true
            placeholderText: qsTr("Name")
            Component.onCompleted: {
                // The name without its extension is selected, ready to type over.
                const dot = text.lastIndexOf(".")
                select(0, dot > 0 ? dot : text.length)
            }
            onAccepted: saveButton.clicked()
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Text {
                objectName: "saveAsFolder"
                Layout.fillWidth: true
                text: popup.request ? popup.request.folderPath : ""
                elide: Text.ElideMiddle
                font.pixelSize: Theme.captionFontSize
                color: Theme.secondaryLabel
            }
            Button {
                objectName: "saveAsChooseFolder"
                text: qsTr("Folder…")
                font.capitalization: Font.MixedCase
                flat: true
                onClicked: folderChooser.open()
            }
        }
        Text {
            objectName: "saveAsError"
            Layout.fillWidth: true
            visible: text !== ""
            text: popup.request ? popup.request.error : ""
            wrapMode: Text.Wrap
            font.pixelSize: Theme.captionFontSize
            color: Theme.destructiveLabel
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 4
            spacing: 12
            Item { Layout.fillWidth: true }
            PillButton {
                objectName: "saveAsCancel"
                text: qsTr("Cancel")
                onClicked: popup.close()
            }
            PillButton {
                id: saveButton
                objectName: "saveAsSave"
                readonly property bool replacing:
                    popup.request !== null && popup.request.nameToReplace !== ""
                    && popup.request.nameToReplace === popup.request.fileNameFor(nameField.text)
                text: replacing ? qsTr("Replace") : qsTr("Save")
                filled: true
                onClicked: if (popup.request.save(nameField.text)) popup.close()
            }
        }
    }

    FolderDialog {
        id: folderChooser
        currentFolder: popup.request ? popup.request.folder : ""
        onAccepted: popup.request.folder = selectedFolder
    }
}
