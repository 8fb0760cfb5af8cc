import QtQuick
import Flickbook.Components
import Flickbook.Screens

// One handle of a trimmer strip, in the main colour with a grip line in the
// handle colour. Its touch area is wider than what it draws, so a finger
// finds it; with keyboard focus it shows a ring and the arrow keys move it
// by a frame (Shift: ten frames).
FocusScope {
    id: control

    required property TrimmerView trimmer
    required property int handle
    required property Item strip
    required property Item stripView

    readonly property bool atStart: handle === TrimmerView.StartHandle

    visible: trimmer.ready && !trimmer.fixed
    activeFocusOnTab: true
    Accessible.role: Accessible.Slider
    Accessible.name: atStart ? qsTr("Start of the stretch") : qsTr("End of the stretch")

    Rectangle {
        anchors.fill: parent
        color: control.trimmer.mainColor
        radius: 5
        // Square on the side that meets the stretch.
        Rectangle {
            width: parent.radius
            height: parent.height
            x: control.atStart ? parent.width - width : 0
            color: parent.color
        }
        Rectangle { // grip
            anchors.centerIn: parent
            width: 3
            height: parent.height * 0.4
            radius: 1.5
            color: control.trimmer.handleColor
        }
    }
    Rectangle { // focus ring
        anchors.fill: parent
        anchors.margins: -3
        radius: 7
        color: "transparent"
        border.color: Theme.label
        border.width: 2
        visible: control.activeFocus
    }

    MouseArea {
        anchors.fill: parent
        anchors.leftMargin: control.atStart ? -14 : -4
        anchors.rightMargin: control.atStart ? -4 : -14
        preventStealing: true
        cursorShape: Qt.SizeHorCursor
        property real grabOffset: 0
        function stripX(mouse) {
            return mapToItem(control.strip, mouse.x, mouse.y).x
        }
        onPressed: mouse => {
            control.forceActiveFocus()
            const edge = control.atStart ? control.x + control.width : control.x
            grabOffset = stripX(mouse) - edge
        }
        onPositionChanged: mouse => control.trimmer.moveHandle(
            control.handle, control.stripView.secondsAt(stripX(mouse) - grabOffset))
        onReleased: control.trimmer.stopMoving()
    }

    Keys.onLeftPressed: event => control.trimmer.stepHandle(control.handle,
                                                           event.modifiers & Qt.ShiftModifier ? -10 : -1)
    Keys.onRightPressed: event => control.trimmer.stepHandle(control.handle,
                                                            event.modifiers & Qt.ShiftModifier ? 10 : 1)
}
