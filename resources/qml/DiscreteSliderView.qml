import QtQuick
import Flickbook.Components
import Flickbook.Screens

// Draws a discrete slider: a track coloured up to the thumb, a tick per
// stop, the thumb picture. Dragging or tapping moves to the nearest stop.
Item {
    id: view

    required property DiscreteSlider slider

    readonly property int stops: slider ? slider.tickCount : 2
    readonly property real minimum: slider ? slider.minimumValue : 1
    readonly property real inset: 16
    readonly property real usable: width - 2 * inset
    readonly property real thumbX: inset + (slider ? (slider.value - minimum) / Math.max(1, stops - 1) * usable : 0)

    implicitHeight: 44
    activeFocusOnTab: true
    Keys.onLeftPressed: if (slider) slider.userMoved(slider.value - 1)
    Keys.onRightPressed: if (slider) slider.userMoved(slider.value + 1)
    Keys.onPressed: event => {
        if (!slider)
            return
        if (event.key === Qt.Key_Home) {
            slider.userMoved(minimum)
            event.accepted = true
        } else if (event.key === Qt.Key_End) {
            slider.userMoved(minimum + stops - 1)
            event.accepted = true
        }
    }

    FocusRing { shown: view.activeFocus; controlRadius: 10; anchors.margins: 0 }

    function valueAt(x) {
        return minimum + Math.round((x - inset) / usable * (stops - 1))
    }

    Rectangle { // beyond the thumb
        x: view.inset; width: view.usable; height: 4; radius: 2
        anchors.verticalCenter: parent.verticalCenter
        color: view.slider ? view.slider.maximumTrackTintColor : Theme.secondaryLabel
    }
    Rectangle { // up to the thumb
        x: view.inset; width: view.thumbX - view.inset; height: 4; radius: 2
        anchors.verticalCenter: parent.verticalCenter
        color: view.slider ? view.slider.minimumTrackTintColor : Theme.label
    }
    Repeater {
        model: view.stops
        // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
        // qmllint disable unqualified
        delegate: Rectangle {
            required property int index
            readonly property real at: view.inset + index / Math.max(1, view.stops - 1) * view.usable
            x: at - width / 2
            anchors.verticalCenter: parent.verticalCenter
            width: 2; height: 12; radius: 1
            color: !view.slider ? Theme.secondaryLabel
                 : at <= view.thumbX + 0.5 ? view.slider.minimumTickTintColor
                                           : view.slider.maximumTickTintColor
        }
        // qmllint enable unqualified
    }
    Image {
        objectName: "sliderThumb"
        x: view.thumbX - width / 2
        anchors.verticalCenter: parent.verticalCenter
        width: 28; height: 28
        source: view.slider ? view.slider.thumbImage : ""
        sourceSize { width: 56; height: 56 }
    }
    MouseArea {
        anchors.fill: parent
        preventStealing: true
        onPressed: mouse => view.slider.userMoved(view.valueAt(mouse.x))
        onPositionChanged: mouse => view.slider.userMoved(view.valueAt(mouse.x))
    }
    Accessible.role: Accessible.Slider
}
