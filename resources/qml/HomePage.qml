import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Screens

// Home: the five ways on. One column on a phone, two on wider windows.
Item {
    id: page

    required property HomeScreen controller

    readonly property bool wide: width >= 600
    readonly property int columns: wide ? 2 : 1

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    Flickable {
        anchors.fill: parent
        contentHeight: content.height + 48
        boundsBehavior: Flickable.StopAtBounds

        ColumnLayout {
            id: content
            width: Math.min(parent.width - 32, page.wide ? 880 : 560)
            x: (parent.width - width) / 2
            y: 24
            spacing: 20

            Text {
                Layout.fillWidth: true
                text: qsTr("Make a GIF")
                font.family: "Manrope"
                font.bold: true
                font.pixelSize: 28
                color: Theme.label
            }

            GridLayout {
                Layout.fillWidth: true
                columns: page.columns
                columnSpacing: 16
                rowSpacing: 14

                HomeCard {
                    objectName: "btnCaptureToGIF"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 100
                    text: qsTr("Camera to GIF")
                    subtitle: qsTr("Record a clip, make it a GIF")
                    iconName: "camera"
                    tileColor: Theme.accent
                    onClicked: page.controller.btnCaptureToGIF()
                }
                HomeCard {
                    objectName: "btnVideoToGIF"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 100
                    text: qsTr("Video to GIF")
                    subtitle: qsTr("Pick a video from your library")
                    iconName: "video"
                    tileColor: Theme.videoTile
                    onClicked: page.controller.btnVideoToGIF()
                }
                HomeCard {
                    objectName: "btnImagesToGIF"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 100
                    text: qsTr("Images to GIF")
                    subtitle: qsTr("Animate a set of photos")
                    iconName: "photos"
                    tileColor: Theme.photosTile
                    onClicked: page.controller.btnImagesToGIF()
                }
                HomeCard {
                    objectName: "btnMyWork"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 100
                    text: qsTr("My Work")
                    subtitle: qsTr("Play, share and save your GIFs")
                    iconName: "work"
                    tileColor: Theme.workTile
                    onClicked: page.controller.btnMyWork()
                }
            }

            Text {
                Layout.fillWidth: true
                Layout.topMargin: 8
                text: qsTr("More")
                font.family: "Manrope"
                font.bold: true
                font.pixelSize: 20
                color: Theme.label
            }

            HomeCard {
                objectName: "btnSetting"
                Layout.fillWidth: true
                Layout.maximumWidth: page.wide ? (content.width - 16) / 2 : content.width
                text: qsTr("Settings")
                subtitle: qsTr("Share, rate and more apps")
                iconName: "settings"
                tileColor: Theme.settingsTile
                onClicked: page.controller.btnSetting()
            }
        }
    }
}
