import QtQuick
import Flickbook.Screens

// The launch screen: the app's mark for a moment, without a bar.
Rectangle {
    id: page

    required property LaunchScreen controller

    color: Theme.surface

    Column {
        anchors.centerIn: parent
        spacing: 20

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            source: "qrc:/Flickbook/images/flickbook.svg"
            sourceSize { width: 240; height: 240 }
            width: 120
            height: 120
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Flickbook"
            font.family: "Manrope"
            font.bold: true
            font.pixelSize: 34
            color: Theme.label
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Videos and photos into GIFs")
            font.pixelSize: Theme.bodyFontSize
            color: Theme.tertiaryLabel
        }
    }
}
