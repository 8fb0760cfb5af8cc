import QtQuick
import Flickbook.Components
import Flickbook.Screens

// The step labels under a discrete slider, each centred under its stop; the
// chosen one larger and in the accent colour. When the row is too narrow for
// every label (a phone), every second or third is shown, never one that
// would touch the chosen label, and none runs past the row's edges.
Item {
    id: view

    required property CamelLabels labels
    property real inset: 16
    property color accent: Theme.accent

    readonly property int count: labels ? labels.names.length : 0
    readonly property real step: count > 1 ? (width - 2 * inset) / (count - 1) : 0
    // How many stops apart shown labels stand.
    readonly property int stride: {
        if (!labels || count < 2 || step <= 0)
            return 1
        let widest = 0
        for (let i = 0; i < count; ++i)
            widest = Math.max(widest, metrics.advanceWidth(labels.names[i]))
        return Math.max(1, Math.ceil((widest + 8) / step))
    }

    implicitHeight: 24
    onWidthChanged: if (labels) labels.width = width
    Component.onCompleted: if (labels) labels.width = width

    FontMetrics {
        id: metrics
        font.pixelSize: view.labels ? view.labels.downFontSize : 10
    }

    Repeater {
        id: repeater
        model: view.labels ? view.labels.names : []
        // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
        // qmllint disable unqualified
        delegate: Text {
            required property int index
            required property string modelData
            readonly property bool chosen: view.labels && view.labels.value === index
            readonly property real centre: view.inset + index * view.step
            readonly property Item chosenLabel: view.labels ? repeater.itemAt(view.labels.value) : null
            readonly property bool clearOfChosen: chosen || !chosenLabel
                || Math.abs(centre - (view.inset + view.labels.value * view.step)) >= (implicitWidth + chosenLabel.implicitWidth) / 2 + 4
            objectName: "camelLabel_" + index
            visible: chosen || (index % view.stride === 0 && clearOfChosen)
            x: Math.max(0, Math.min(view.width - implicitWidth, centre - implicitWidth / 2))
            anchors.verticalCenter: parent.verticalCenter
            text: modelData
            font.pixelSize: chosen ? view.labels.upFontSize : view.labels.downFontSize
            font.bold: chosen
            color: chosen ? view.accent : Theme.secondaryLabel
        }
        // qmllint enable unqualified
    }
}
