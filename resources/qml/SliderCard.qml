import QtQuick
import Flickbook.Components
import Flickbook.Screens

// A discrete slider with its step labels under it, on a white card: the
// speed and frame-time choices of the animation screens.
Rectangle {
    id: card

    required property DiscreteSlider slider
    required property CamelLabels labels

    implicitHeight: column.implicitHeight + 16
    radius: Theme.cardRadius
    color: Theme.surface
    border.color: Theme.cardBorder

    Column {
        id: column
        anchors { left: parent.left; right: parent.right; verticalCenter: parent.verticalCenter }
        anchors.margins: 4

        DiscreteSliderView {
            objectName: "sliderDiscrite"
            width: parent.width
            slider: card.slider
        }
        CamelLabelsView {
            objectName: "camelLabels"
            width: parent.width
            labels: card.labels
        }
    }
}
