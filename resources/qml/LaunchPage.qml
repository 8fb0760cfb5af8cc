import QtQuick

// The launch screen: the app's mark for a moment, without a bar.
Rectangle {
    id: page

    property QtObject controller

    color: "white"

    Column {
        anchors.centerIn: parent
        spacing: 20

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            source: "qrc:/Flickbook/images/flickbook.svg"
            sourceSize: Qt.size(240, 240)
            width: 120
            height: 120
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Flickbook"
            font.family: "Manrope"
            font.bold: true
            font.pixelSize: 34
            color: "#1c1c1e"
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Videos and photos into GIFs")
            font.pixelSize: 15
            color: "#8e8e93"
        }
    }
}
