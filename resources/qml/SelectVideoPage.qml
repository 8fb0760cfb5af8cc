import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import Flickbook.Screens

// The video picker: square frames with durations, newest first; a tap opens
// the trim screen. Videos kept elsewhere open with the file chooser.
Item {
    id: page

    required property SelectVideoScreen controller

    Binding { target: page.controller; property: "viewSize"; value: Qt.size(page.width, page.height) }

    GridView {
        id: grid
        objectName: "collectionviewSelectVideo"

        readonly property int columns: page.controller.columnsForWidth(width)
        readonly property real side: page.controller.cellSide(width)
        readonly property real gutter: (width - columns * side) / (columns + 1)

        anchors.fill: parent
        leftMargin: gutter
        topMargin: gutter
        bottomMargin: gutter
        cellWidth: side + gutter
        cellHeight: side + gutter
        cacheBuffer: Math.max(0, side)
        boundsBehavior: Flickable.StopAtBounds
        keyNavigationEnabled: true
        activeFocusOnTab: true
        model: page.controller.collectionviewSelectVideo
        ScrollBar.vertical: ScrollBar {}

        // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
        // qmllint disable unqualified
        delegate: VideoCell {
            width: grid.side
            height: grid.side
            onClicked: page.controller.collectionViewDidSelectItem(tag)
        }
        // qmllint enable unqualified
    }

    Column {
        objectName: "lblMsg"
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 360)
        spacing: 16
        visible: !page.controller.lblMsg.hidden

        TintedIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            resource: "qrc:/Flickbook/images/video.svg"
            tint: Theme.placeholderIcon
            size: 64
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: page.controller.lblMsg.text
            font.pixelSize: 16
            color: Theme.secondaryLabel
        }
        PillButton {
            objectName: "btnOpenFileEmpty"
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Open File…")
            iconName: "video"
            onClicked: page.controller.btnOpenFile()
        }
    }

    Connections {
        target: page.controller
        function onFileChooserRequested() { chooser.open() }
    }

    FileDialog {
        id: chooser
        objectName: "videoFileChooser"
        title: qsTr("Open a Video")
        fileMode: FileDialog.OpenFile
        currentFolder: page.controller.videosFolder
        nameFilters: [qsTr("Videos (*.mp4 *.m4v *.mov *.mkv *.webm *.avi *.wmv *.flv *.3gp *.mts *.m2ts *.ts *.mpg *.mpeg *.ogv)"),
                      qsTr("All files (*)")]
        onAccepted: page.controller.openFile(selectedFile)
    }
}
