import QtQuick

// The step labels under a discrete slider, each centred under its stop; the
// chosen one larger and in the accent colour.
Item {
    id: view

    property QtObject labels
    property real inset: 16
    property color accent: "#fb4367"

    implicitHeight: 24
    onWidthChanged: if (labels) labels.width = width
    Component.onCompleted: if (labels) labels.width = width

    Repeater {
        model: view.labels ? view.labels.names : []
        delegate: Text {
            required property int index
            required property string modelData
            readonly property bool chosen: view.labels && view.labels.value === index
            readonly property int count: view.labels ? view.labels.names.length : 1
            objectName: "camelLabel_" + index
            x: view.inset + index / Math.max(1, count - 1) * (view.width - 2 * view.inset) - width / 2
            anchors.verticalCenter: parent.verticalCenter
            text: modelData
            font.pixelSize: chosen ? view.labels.upFontSize : view.labels.downFontSize
            font.bold: chosen
            color: chosen ? view.accent : "#6d6d72"
        }
    }
}
