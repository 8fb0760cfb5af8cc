import QtQuick
import QtQuick.Controls
import Flickbook.Components
import Flickbook.Screens

// Draws a trimmer: the chosen stretch's times, an overview of the whole video
// when the strip shows only a window of it, and the strip itself — the
// video's frames, the stretch between two handles in the main colour, the
// rest dimmed, and the position bar. Handles are dragged with the mouse or a
// finger, or moved a frame at a time with the arrow keys when focused
// (Shift: ten frames); the stretch itself can be dragged by its middle, and a
// long video's strip scrolls by dragging outside the stretch or the wheel.
Item {
    id: view

    required property TrimmerView trimmer

    readonly property real stripHeight: 56
    readonly property real handleWidth: 18

    implicitHeight: column.implicitHeight

    function xOf(seconds) {
        return trimmer.visibleSpan > 0
               ? (seconds - trimmer.visibleStart) / trimmer.visibleSpan * strip.width : 0
    }
    function secondsAt(x) {
        return trimmer.visibleStart + x / Math.max(1, strip.width) * trimmer.visibleSpan
    }

    Column {
        id: column
        width: parent.width
        spacing: 8

        Item {
            width: parent.width
            height: 20
            Text {
                objectName: "trimmerTimes"
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: view.trimmer.ready ? view.trimmer.startText + " – " + view.trimmer.endText : ""
                font.pixelSize: Theme.captionFontSize
                color: Theme.stripBackground
            }
            Text {
                objectName: "trimmerLength"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: view.trimmer.ready ? view.trimmer.lengthText : ""
                font.pixelSize: Theme.captionFontSize
                font.weight: Font.DemiBold
                color: view.trimmer.mainColor
            }
        }

        // The whole video, with the stretch and the window the strip shows.
        Item {
            id: overview
            objectName: "trimmerOverview"
            width: parent.width
            height: 14
            visible: view.trimmer.zoomed

            readonly property real scale: width / Math.max(0.001, view.trimmer.duration)

            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                height: 6
                radius: 3
                color: Theme.controlBorder
            }
            Rectangle { // the stretch
                anchors.verticalCenter: parent.verticalCenter
                x: view.trimmer.startSeconds * overview.scale
                width: Math.max(2, (view.trimmer.endSeconds - view.trimmer.startSeconds) * overview.scale)
                height: 6
                radius: 3
                color: view.trimmer.mainColor
            }
            Rectangle { // the window
                anchors.verticalCenter: parent.verticalCenter
                x: view.trimmer.visibleStart * overview.scale
                width: Math.max(6, view.trimmer.visibleSpan * overview.scale)
                height: 14
                radius: 4
                color: "transparent"
                border.color: Theme.label
                border.width: 1.5
            }
            MouseArea {
                anchors.fill: parent
                anchors.margins: -8
                preventStealing: true
                function centreOn(mouseX) {
                    view.trimmer.scrollTo((mouseX - 8) / overview.scale - view.trimmer.visibleSpan / 2)
                }
                onPressed: mouse => centreOn(mouse.x)
                onPositionChanged: mouse => centreOn(mouse.x)
            }
        }

        Item {
            id: strip
            objectName: "trimmerStrip"
            width: parent.width - 2 * view.handleWidth
            x: view.handleWidth
            height: view.stripHeight

            onWidthChanged: view.trimmer.setStripSize(width, height)
            Component.onCompleted: view.trimmer.setStripSize(width, height)

            Rectangle {
                anchors.fill: parent
                radius: 6
                color: Theme.stripBackground
                clip: true

                Row {
                    Repeater {
                        model: view.trimmer.thumbnailCount
                        // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
                        // qmllint disable unqualified
                        delegate: Item {
                            id: tile
                            required property int index
                            property url picture: view.trimmer.thumbnailSource(index)
                            width: strip.width / Math.max(1, view.trimmer.thumbnailCount)
                            height: strip.height
                            clip: true

                            Connections {
                                target: view.trimmer
                                function onThumbnailReady(ready) {
                                    if (ready === tile.index)
                                        tile.picture = view.trimmer.thumbnailSource(tile.index)
                                }
                                function onThumbnailsChanged() {
                                    tile.picture = view.trimmer.thumbnailSource(tile.index)
                                }
                            }
                            Image {
                                objectName: "trimmerThumbnail"
                                anchors.fill: parent
                                source: tile.picture
                                visible: status === Image.Ready
                                fillMode: Image.PreserveAspectCrop
                                asynchronous: false
                                cache: false
                            }
                            Image {
                                objectName: "trimmerPlaceholder"
                                anchors.centerIn: parent
                                width: 22
                                height: 22
                                visible: String(tile.picture) === ""
                                source: "qrc:/Flickbook/images/img.svg"
                                sourceSize { width: 44; height: 44 }
                                opacity: 0.5
                            }
                        }
                        // qmllint enable unqualified
                    }
                }
            }

            // Outside the stretch, dimmed.
            Rectangle {
                x: 0
                width: Math.max(0, Math.min(strip.width, view.xOf(view.trimmer.startSeconds)))
                height: strip.height
                color: Theme.dimmed
            }
            Rectangle {
                x: Math.max(0, Math.min(strip.width, view.xOf(view.trimmer.endSeconds)))
                width: Math.max(0, strip.width - x)
                height: strip.height
                color: Theme.dimmed
            }

            // Dragging inside the stretch moves it; outside, a long video's
            // strip scrolls.
            MouseArea {
                id: body
                anchors.fill: parent
                preventStealing: true
                property real grabbedAt: 0
                property bool movingStretch: false
                property real scrollFrom: 0
                onPressed: mouse => {
                    const t = view.secondsAt(mouse.x)
                    movingStretch = !view.trimmer.fixed && t >= view.trimmer.startSeconds
                                    && t <= view.trimmer.endSeconds
                    grabbedAt = t - view.trimmer.startSeconds
                    scrollFrom = mouse.x
                }
                onPositionChanged: mouse => {
                    if (movingStretch) {
                        view.trimmer.moveHandle(TrimmerView.SelectionHandle,
                                                view.secondsAt(mouse.x) - grabbedAt)
                    } else if (view.trimmer.zoomed) {
                        view.trimmer.scrollTo(view.trimmer.visibleStart
                            - (mouse.x - scrollFrom) / strip.width * view.trimmer.visibleSpan)
                        scrollFrom = mouse.x
                    }
                }
                onReleased: if (movingStretch) view.trimmer.stopMoving()
                onWheel: wheel => {
                    const delta = (wheel.angleDelta.x !== 0 ? wheel.angleDelta.x : wheel.angleDelta.y)
                    view.trimmer.scrollTo(view.trimmer.visibleStart - delta / 120 * view.trimmer.visibleSpan / 10)
                }
            }

            // The stretch's frame.
            Rectangle {
                x: view.xOf(view.trimmer.startSeconds)
                width: view.xOf(view.trimmer.endSeconds) - x
                height: strip.height
                color: "transparent"
                border.color: view.trimmer.mainColor
                border.width: 3
                visible: view.trimmer.ready
            }

            Rectangle {
                objectName: "trimmerPositionBar"
                readonly property real at: view.xOf(view.trimmer.positionSeconds)
                x: at - width / 2
                y: -4
                width: 3
                height: strip.height + 8
                radius: 1.5
                color: view.trimmer.positionBarColor
                border.color: Theme.outline
                border.width: 0.5
                visible: view.trimmer.ready && at >= 0 && at <= strip.width
            }

            TrimmerHandle {
                objectName: "trimmerStartHandle"
                trimmer: view.trimmer
                handle: TrimmerView.StartHandle
                x: view.xOf(view.trimmer.startSeconds) - width
                width: view.handleWidth
                height: strip.height
                strip: strip
                stripView: view
            }
            TrimmerHandle {
                objectName: "trimmerEndHandle"
                trimmer: view.trimmer
                handle: TrimmerView.EndHandle
                x: view.xOf(view.trimmer.endSeconds)
                width: view.handleWidth
                height: strip.height
                strip: strip
                stripView: view
            }
        }
    }
}
