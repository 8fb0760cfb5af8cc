import QtQuick
import Flickbook.Screens

// The ring around a control that has keyboard focus (reached by Tab), in the
// accent, a little outside the control's own shape.
Rectangle {
    objectName: "focusRing"
    property bool shown: false
    property real controlRadius: 12

    anchors.fill: parent
    anchors.margins: -3
    radius: controlRadius + 3
    color: "transparent"
    border.color: Theme.accent
    border.width: 2
    visible: shown
    z: 10
}
