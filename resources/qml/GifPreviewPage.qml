import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Screens

// One GIF playing, with Share and Save under it.
Item {
    id: page

    required property GIFPreviewScreen controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: Theme.cardRadius
            color: Theme.surface
            border.color: Theme.cardBorder

            AnimatedImageView {
                anchors.fill: parent
                anchors.margins: 12
                imageView: page.controller ? page.controller.ivPlayGIF : null
            }

            // Shown while the GIF is decoded, which a long one takes a moment for.
            BusyIndicator {
                objectName: "gifLoading"
                anchors.centerIn: parent
                running: page.controller !== null && page.controller.loading
                visible: running
            }

            // A file that does not play says so, with its name.
            Column {
                objectName: "gifProblem"
                anchors.centerIn: parent
                width: parent.width - 48
                spacing: 12
                visible: page.controller !== null && page.controller.problem !== ""
                Image {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: 72
                    height: 72
                    source: "qrc:/Flickbook/images/img.svg"
                    sourceSize { width: 144; height: 144 }
                }
                Text {
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                    text: page.controller ? page.controller.problem : ""
                    font.pixelSize: Theme.bodyFontSize
                    color: Theme.strongSecondaryLabel
                }
            }
        }

        Text {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: page.controller ? page.controller.fileName : ""
            elide: Text.ElideMiddle
            font.pixelSize: Theme.captionFontSize
            color: Theme.secondaryLabel
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.maximumWidth: 520
            Layout.alignment: Qt.AlignHCenter
            spacing: 12

            PillButton {
                objectName: "btnShare"
                Layout.fillWidth: true
                text: qsTr("Share")
                iconName: "share"
                onClicked: page.controller.btnShare()
            }
            PillButton {
                objectName: "btnSave"
                Layout.fillWidth: true
                text: qsTr("Save")
                iconName: "save"
                filled: true
                onClicked: page.controller.btnSave()
            }
        }
    }
}
