import QtQuick
import QtQuick.Layouts
import Flickbook.Platform
import Flickbook.Screens

// The bar of the top screen: title in the middle, bar buttons at the sides,
// drawn with the app-wide appearance.
Rectangle {
    id: bar

    required property NavigationBarAppearance appearance
    required property NavigationItem item

    height: 56
    color: appearance ? appearance.backgroundColor : Theme.surface

    BarButton {
        id: left
        objectName: "leftBarButton"
        anchors { left: parent.left; leftMargin: 4; verticalCenter: parent.verticalCenter }
        item: bar.item ? bar.item.leftBarButtonItem : null
        defaultTint: bar.appearance ? bar.appearance.tintColor : Theme.label
    }

    Text {
        objectName: "title"
        anchors.centerIn: parent
        // Centred, and as wide as the buttons on both sides leave it.
        width: parent.width - 2 * Math.max(left.visible ? left.width : 0,
                                           right.visible ? right.width : 0) - 24
        horizontalAlignment: Text.AlignHCenter
        elide: Text.ElideRight
        text: bar.item ? bar.item.title : ""
        color: bar.appearance ? bar.appearance.titleColor : Theme.label
        font: bar.appearance ? bar.appearance.titleFont : Qt.font({ bold: true, pixelSize: 18 })
    }

    BarButton {
        id: right
        objectName: "rightBarButton"
        anchors { right: parent.right; rightMargin: 4; verticalCenter: parent.verticalCenter }
        item: bar.item ? bar.item.rightBarButtonItem : null
        defaultTint: bar.appearance ? bar.appearance.tintColor : Theme.label
    }

    // The hairline under the bar; clear in Flickbook's look.
    Rectangle {
        anchors { left: parent.left; right: parent.right; top: parent.bottom }
        height: 1
        color: bar.appearance ? bar.appearance.shadowColor : Theme.barShadow
    }
}
