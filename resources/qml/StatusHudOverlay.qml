import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Shapes
import Flickbook.Components
import Flickbook.Screens

// The status HUD: while shown, a dimming gradient covers the window and
// takes every click, touch, wheel turn and key; a rounded panel in the middle
// shows a spinner or a success, error or info symbol above the status text.
// Once dismissed it only fades: input goes through to the page at once (on a
// slow display the fade can take seconds).
Item {
    id: overlay

    required property StatusHUD hud

    readonly property bool shown: hud !== null && hud.visible
    readonly property bool dark: hud !== null && hud.style === StatusHUD.StyleDark
    readonly property color foreground: dark ? Theme.onAccent : Theme.label

    objectName: "statusHud"
    visible: opacity > 0
    opacity: shown ? 1 : 0
    Behavior on opacity { NumberAnimation { duration: 150 } }
    focus: shown
    Keys.onPressed: event => event.accepted = true

    // Gradient mask: clear in the middle, darker towards the edges.
    Shape {
        anchors.fill: parent
        visible: overlay.hud !== null && overlay.hud.maskType === StatusHUD.MaskGradient
        ShapePath {
            strokeWidth: -1
            fillGradient: RadialGradient {
                centerX: overlay.width / 2; centerY: overlay.height / 2
                focalX: centerX; focalY: centerY
                centerRadius: Math.max(overlay.width, overlay.height) * 0.75
                focalRadius: 0
                GradientStop { position: 0.0; color: "transparent" }
                GradientStop { position: 1.0; color: Theme.captionBackground }
            }
            startX: 0; startY: 0
            PathLine { x: overlay.width; y: 0 }
            PathLine { x: overlay.width; y: overlay.height }
            PathLine { x: 0; y: overlay.height }
            PathLine { x: 0; y: 0 }
        }
    }
    Rectangle {
        anchors.fill: parent
        visible: overlay.hud !== null && overlay.hud.maskType === StatusHUD.MaskBlack
        color: Theme.scrim
    }

    MouseArea {
        anchors.fill: parent
        enabled: overlay.shown
        acceptedButtons: Qt.AllButtons
        hoverEnabled: true
        preventStealing: true
        onWheel: wheel => wheel.accepted = true
    }
    MultiPointTouchArea {
        anchors.fill: parent
        enabled: overlay.shown
        mouseEnabled: false
    }

    Rectangle {
        objectName: "hudPanel"
        anchors.centerIn: parent
        width: Math.max(110, Math.min(overlay.width - 64, column.implicitWidth + 40))
        height: column.implicitHeight + 36
        radius: 14
        color: overlay.dark ? Theme.darkBar : Theme.translucentSurface

        Column {
            id: column
            anchors.centerIn: parent
            spacing: 12

            Item {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 40
                height: 40

                BusyIndicator {
                    anchors.fill: parent
                    visible: overlay.hud !== null && overlay.hud.kind === StatusHUD.Activity
                    running: visible && overlay.shown
                    Material.accent: overlay.foreground
                }
                Text {
                    objectName: "hudSymbol"
                    anchors.centerIn: parent
                    visible: overlay.hud !== null && overlay.hud.kind !== StatusHUD.Activity
                    text: !overlay.hud ? "" : overlay.hud.kind === StatusHUD.Success ? "✓"
                        : overlay.hud.kind === StatusHUD.Failure ? "✕" : "i"
                    color: overlay.foreground
                    font.pixelSize: overlay.hud && overlay.hud.kind === StatusHUD.Information ? 30 : 34
                    font.bold: true
                    font.family: overlay.hud && overlay.hud.kind === StatusHUD.Information ? "DejaVu Serif" : "DejaVu Sans"
                }
                Rectangle {
                    anchors.fill: parent
                    visible: overlay.hud !== null && overlay.hud.kind === StatusHUD.Information
                    radius: width / 2
                    color: "transparent"
                    border.color: overlay.foreground
                    border.width: 2.5
                }
            }

            Text {
                objectName: "hudStatus"
                anchors.horizontalCenter: parent.horizontalCenter
                width: Math.min(implicitWidth, overlay.width - 104)
                visible: text !== ""
                text: overlay.hud ? overlay.hud.status : ""
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: overlay.foreground
                font.pixelSize: Theme.bodyFontSize
            }
        }
    }
}
