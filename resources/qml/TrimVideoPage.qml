import QtQuick
import QtQuick.Layouts
import Flickbook.Screens

// The trim screen: the video above, play/pause, and the trimmer strip where
// the stretch of 1 to 10 seconds is chosen.
Item {
    id: page

    required property TrimVideoScreen controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        Rectangle {
            objectName: "ViewMain"
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: Theme.cardRadius
            color: Theme.mediaBackground
            clip: true

            PlayerLayerView {
                objectName: "playerLayer"
                anchors.fill: parent
                playerLayer: page.controller.ViewMain.layer
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.maximumWidth: 900
            Layout.alignment: Qt.AlignHCenter
            spacing: 12

            PlayPauseButton {
                objectName: "btnPlay"
                button: page.controller.btnPlay
                onClicked: page.controller.btnPlayPause()
            }
            Text {
                Layout.fillWidth: true
                text: qsTr("Drag the handles to choose 1 to 10 seconds")
                wrapMode: Text.Wrap
                font.pixelSize: 14
                color: Theme.secondaryLabel
            }
        }

        TrimmerStrip {
            objectName: "trimmerView"
            Layout.fillWidth: true
            Layout.maximumWidth: 900
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 8
            trimmer: page.controller.trimmerView
        }
    }
}
