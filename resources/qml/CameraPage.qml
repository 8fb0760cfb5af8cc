import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Dialogs
import QtMultimedia
import Flickbook.Platform
import Flickbook.Screens

// The camera page, over the whole window: the viewfinder with the picture's
// proportions kept, Cancel, the time recorded, a camera switch when there
// are several, and the record button, which turns into stop. Space records
// and stops; Escape cancels. Without a camera it says so and offers a video
// file instead.
FocusScope {
    id: page

    required property CameraPicker controller

    readonly property bool recording: controller.state === CameraPicker.Recording
    readonly property bool live: controller.state === CameraPicker.Ready
                                 || controller.state === CameraPicker.Recording
                                 || controller.state === CameraPicker.Saving

    focus: true
    // Window-wide, because a closing dialog (the permission question) hands
    // keyboard focus back to what it had before the page came. Escape is the
    // window's: it goes Back, which here is Cancel.
    Shortcut {
        sequence: "Space"
        enabled: page.live
        onActivated: page.controller.btnRecord()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.mediaBackground
    }

    VideoOutput {
        id: viewfinder
        objectName: "viewfinder"
        anchors.fill: parent
        fillMode: VideoOutput.PreserveAspectFit
        visible: page.live
        Component.onCompleted: page.controller.camera.videoOutput = viewfinder
        Component.onDestruction: if (page.controller) page.controller.camera.videoOutput = null
    }

    BusyIndicator {
        anchors.centerIn: parent
        running: page.controller.state === CameraPicker.Opening
                 || page.controller.state === CameraPicker.Saving
        Material.accent: Theme.onAccent
    }

    // Top: Cancel, the time recorded, the camera switch.
    Item {
        id: top
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 64

        Button {
            objectName: "cameraCancel"
            anchors { left: parent.left; leftMargin: 12; verticalCenter: parent.verticalCenter }
            text: qsTr("Cancel")
            font.capitalization: Font.MixedCase
            font.pixelSize: Theme.titleFontSize
            flat: true
            visible: page.live || page.controller.state === CameraPicker.Opening
            enabled: page.controller.state !== CameraPicker.Saving
            Material.foreground: Theme.onAccent
            onClicked: page.controller.btnCancel()
        }
        Rectangle {
            objectName: "elapsedTime"
            anchors.centerIn: parent
            visible: page.recording || page.controller.state === CameraPicker.Saving
            width: elapsedRow.implicitWidth + 24
            height: 32
            radius: Theme.cardRadius
            color: Theme.recordingBadge
            Row {
                id: elapsedRow
                anchors.centerIn: parent
                spacing: 8
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 10; height: 10; radius: 5
                    color: Theme.onAccent
                    SequentialAnimation on opacity {
                        running: page.recording
                        loops: Animation.Infinite
                        NumberAnimation { to: 0.2; duration: 500 }
                        NumberAnimation { to: 1.0; duration: 500 }
                    }
                }
                Text {
                    objectName: "elapsedText"
                    anchors.verticalCenter: parent.verticalCenter
                    text: page.controller.camera.elapsedText
                    color: Theme.onAccent
                    font.pixelSize: 16
                    font.weight: Font.DemiBold
                }
            }
        }
        RoundButton {
            objectName: "switchCamera"
            anchors { right: parent.right; rightMargin: 12; verticalCenter: parent.verticalCenter }
            visible: page.controller.cameraNames.length > 1
            enabled: page.controller.state === CameraPicker.Ready
            text: qsTr("Switch")
            Accessible.name: qsTr("Switch camera")
            onClicked: page.controller.switchCamera()
        }
    }

    // A message over the viewfinder (a recording that could not be saved).
    Rectangle {
        anchors { left: parent.left; right: parent.right; top: top.bottom; margins: 16 }
        visible: page.live && page.controller.message !== ""
        height: liveMessage.implicitHeight + 20
        radius: Theme.controlRadius
        color: Theme.darkBar
        Text {
            id: liveMessage
            objectName: "cameraMessage"
            anchors.centerIn: parent
            width: parent.width - 24
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: page.controller.message
            color: Theme.onAccent
            font.pixelSize: 14
        }
    }

    // Bottom: the record button.
    AbstractButton {
        id: record
        objectName: "btnRecord"
        anchors { horizontalCenter: parent.horizontalCenter; bottom: parent.bottom; bottomMargin: 32 }
        width: 78
        height: 78
        visible: page.live
        enabled: page.controller.state !== CameraPicker.Saving
        focusPolicy: Qt.StrongFocus
        Accessible.name: page.recording ? qsTr("Stop recording") : qsTr("Record")
        onClicked: page.controller.btnRecord()
        background: Rectangle {
            radius: width / 2
            color: "transparent"
            border.color: record.visualFocus ? Theme.accent : Theme.onAccent
            border.width: 5
        }
        contentItem: Item {
            Rectangle {
                anchors.centerIn: parent
                width: page.recording ? 30 : 60
                height: width
                radius: page.recording ? 6 : width / 2
                color: Theme.destructive
                Behavior on width { NumberAnimation { duration: 120 } }
            }
        }
    }

    // No camera, or one that will not open.
    Column {
        objectName: "noCamera"
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 380)
        spacing: 18
        visible: page.controller.state === CameraPicker.NoCamera
                 || page.controller.state === CameraPicker.Failed

        TintedIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            resource: "qrc:/Flickbook/images/camera.svg"
            tint: Theme.tertiaryLabel
            size: 64
        }
        Text {
            objectName: "noCameraTitle"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: page.controller.state === CameraPicker.NoCamera ? qsTr("No Camera Found")
                                                                 : qsTr("Camera Unavailable")
            color: Theme.onAccent
            font.pixelSize: 22
            font.weight: Font.DemiBold
        }
        Text {
            objectName: "noCameraMessage"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: page.controller.message
            color: Theme.strongBorder
            font.pixelSize: Theme.bodyFontSize
        }
        PillButton {
            objectName: "btnOpenVideoFile"
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Open a Video File…")
            iconName: "video"
            filled: true
            focus: true
            onClicked: page.controller.btnOpenVideoFile()
        }
        PillButton {
            objectName: "btnTryAgain"
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Try Again")
            onClicked: page.controller.retry()
        }
        PillButton {
            objectName: "btnCameraBack"
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Back")
            iconName: "back"
            onClicked: page.controller.btnCancel()
        }
    }

    Connections {
        target: page.controller
        function onFileChooserRequested() { chooser.open() }
    }
    FileDialog {
        id: chooser
        title: qsTr("Open a Video")
        fileMode: FileDialog.OpenFile
        nameFilters: [qsTr("Videos (*.mp4 *.m4v *.mov *.mkv *.webm *.avi *.wmv *.flv *.3gp *.mts *.m2ts *.ts *.mpg *.mpeg *.ogv)"),
                      qsTr("All files (*)")]
        onAccepted: page.controller.openVideoFile(selectedFile)
    }
}
