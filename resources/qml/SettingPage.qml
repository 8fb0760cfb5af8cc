import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Screens

// Settings: recommend, rate, more apps.
Item {
    id: page

    required property SettingScreen controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    Flickable {
        anchors.fill: parent
        contentHeight: content.height + 48
        boundsBehavior: Flickable.StopAtBounds

        ColumnLayout {
            id: content
            width: Math.min(parent.width - 32, 560)
            x: (parent.width - width) / 2
            y: 24
            spacing: 12

            Image {
                Layout.alignment: Qt.AlignHCenter
                source: "qrc:/Flickbook/images/flickbook.svg"
                sourceSize { width: 160; height: 160 }
                Layout.preferredWidth: 80
                Layout.preferredHeight: 80
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "Flickbook"
                font.family: "Manrope"
                font.bold: true
                font.pixelSize: 22
                color: Theme.label
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                Layout.bottomMargin: 12
                text: Qt.application.version !== "" ? qsTr("Version %1").arg(Qt.application.version) : ""
                font.pixelSize: Theme.captionFontSize
                color: Theme.tertiaryLabel
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: rows.height
                radius: Theme.cardRadius
                color: Theme.surface
                border.color: Theme.cardBorder
                clip: true

                Column {
                    id: rows
                    width: parent.width

                    SettingRow {
                        objectName: "btnShareApp"
                        width: parent.width
                        text: qsTr("Share Flickbook")
                        detail: qsTr("Recommend it to a friend")
                        iconName: "share"
                        onClicked: page.controller.btnShareApp()
                    }
                    Rectangle { width: parent.width - 72; x: 72; height: 1; color: Theme.separator }
                    SettingRow {
                        objectName: "btnRateApp"
                        width: parent.width
                        text: qsTr("Rate Flickbook")
                        detail: qsTr("Write a review in the app store")
                        iconName: "star"
                        onClicked: page.controller.btnRateApp()
                    }
                    Rectangle { width: parent.width - 72; x: 72; height: 1; color: Theme.separator }
                    SettingRow {
                        objectName: "btnMoreApps"
                        width: parent.width
                        text: qsTr("More Apps")
                        detail: qsTr("Other apps by the Flickbook developers")
                        iconName: "apps"
                        onClicked: page.controller.btnMoreApps()
                    }
                }
            }
        }
    }
}
