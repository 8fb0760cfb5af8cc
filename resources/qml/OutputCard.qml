import QtQuick
import QtQuick.Layouts
import Flickbook.Screens

// Under an animation screen's slider: the picture's long edge, a size
// limit, forward or bounce, and about how large the GIF will be.
Rectangle {
    id: card

    required property OutputChoices choices

    implicitHeight: grid.implicitHeight + 20
    radius: Theme.cardRadius
    color: Theme.surface
    border.color: Theme.cardBorder

    GridLayout {
        id: grid
        anchors { left: parent.left; right: parent.right; verticalCenter: parent.verticalCenter }
        anchors.margins: 10
        columns: 2
        columnSpacing: 10
        rowSpacing: 6

        Text {
            text: qsTr("Size")
            font.pixelSize: Theme.captionFontSize
            color: Theme.secondaryLabel
        }
        SegmentedChoice {
            objectName: "edgeChoice"
            Layout.fillWidth: true
            names: card.choices.edgeNames
            currentIndex: card.choices.edgeIndex
            onChosen: (index) => card.choices.edgeIndex = index
        }

        Text {
            text: qsTr("Limit")
            font.pixelSize: Theme.captionFontSize
            color: Theme.secondaryLabel
        }
        SegmentedChoice {
            objectName: "budgetChoice"
            Layout.fillWidth: true
            names: card.choices.budgetNames
            currentIndex: card.choices.budgetIndex
            onChosen: (index) => card.choices.budgetIndex = index
        }

        Text {
            text: qsTr("Loop")
            font.pixelSize: Theme.captionFontSize
            color: Theme.secondaryLabel
        }
        SegmentedChoice {
            objectName: "loopChoice"
            Layout.preferredWidth: 180
            names: card.choices.loopNames
            currentIndex: card.choices.loopIndex
            onChosen: (index) => card.choices.loopIndex = index
        }

        Text {
            objectName: "sizeEstimate"
            Layout.columnSpan: 2
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            wrapMode: Text.Wrap
            text: card.choices.estimate !== "" ? card.choices.estimate : qsTr("Estimating size…")
            opacity: card.choices.estimating ? 0.55 : 1
            font.pixelSize: Theme.captionFontSize
            font.weight: Font.DemiBold
            color: card.choices.overBudget ? Theme.destructive : Theme.strongSecondaryLabel
        }
    }
}
