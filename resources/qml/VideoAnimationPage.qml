import QtQuick
import QtQuick.Layouts
import Flickbook.Screens

// The speed screen: the trimmed video looping silently at the chosen speed,
// play/pause under it, and the five speeds.
Item {
    id: page

    required property VideoAnimationScreen controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        Rectangle {
            objectName: "viewMain"
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: Theme.cardRadius
            color: Theme.mediaBackground
            clip: true

            PlayerLayerView {
                objectName: "playerLayer"
                anchors.fill: parent
                playerLayer: page.controller.viewMain.layer
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.maximumWidth: 720
            Layout.alignment: Qt.AlignHCenter
            spacing: 12

            PlayPauseButton {
                objectName: "btnPlay"
                button: page.controller.btnPlay
                onClicked: page.controller.btnPlayPause()
            }
            Text {
                Layout.fillWidth: true
                text: qsTr("Speed")
                font.pixelSize: Theme.bodyFontSize
                font.weight: Font.DemiBold
                color: Theme.label
            }
        }

        SliderCard {
            Layout.fillWidth: true
            Layout.maximumWidth: 720
            Layout.alignment: Qt.AlignHCenter
            slider: page.controller.sliderDiscrite
            labels: page.controller.labelDiscrite
        }

        OutputCard {
            objectName: "outputCard"
            Layout.fillWidth: true
            Layout.maximumWidth: 720
            Layout.alignment: Qt.AlignHCenter
            choices: page.controller.output
        }
    }
}
