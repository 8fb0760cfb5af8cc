import QtQuick
import QtQuick.Layouts
import Flickbook.Screens

// The frame-time screen: the photos looping at the chosen time, the twelve
// frame times under them.
Item {
    id: page

    required property ImageAnimationScreen controller

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
                imageView: page.controller ? page.controller.imageView : null
            }
        }

        Text {
            Layout.fillWidth: true
            Layout.topMargin: 4
            text: qsTr("Time per photo")
            font.pixelSize: Theme.bodyFontSize
            font.weight: Font.DemiBold
            color: Theme.label
        }

        SliderCard {
            Layout.fillWidth: true
            Layout.maximumWidth: 720
            Layout.alignment: Qt.AlignHCenter
            slider: page.controller.sliderDiscrite
            labels: page.controller.labelDescrit
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
