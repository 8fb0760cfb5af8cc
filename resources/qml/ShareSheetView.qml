import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Flickbook.Platform
import Flickbook.Screens

// One presented share sheet: on wide windows a popover next to the control
// that opened it (the one with keyboard focus, which a click gives it), with
// an arrow pointing at it, else inside the rectangle the screen gave; a sheet
// from the bottom on narrow ones. The window makes a new one for each
// sheet and destroys it once it has closed, so nothing it shows changes while
// it is open or closing: what it draws is read from the sheet once, when it
// is made.
Popup {
    id: popup

    required property ShareSheet sheet
    required property real pageTop
    // The control that opened the sheet, if known.
    property Item opener: null
    property bool isPopover: false
    property rect anchorRect: Qt.rect(0, 0, 0, 0)
    // Where the arrow points, in the overlay's coordinates; below the
    // control when there is room, else above it.
    property rect openerRect: Qt.rect(0, 0, 0, 0)
    readonly property bool hasOpener: openerRect.width > 0
    readonly property real arrow: 10
    readonly property bool below: !hasOpener
        || openerRect.y + openerRect.height + arrow + implicitHeight + 8 <= (parent ? parent.height : 0)
    property var actionNames: []
    property string summary: ""

    Component.onCompleted: {
        const popover = sheet.popoverPresentationController
        isPopover = popover !== null
        if (popover)
            anchorRect = popover.sourceRect
        if (popover && opener && parent) {
            const placed = opener.mapToItem(parent, 0, 0, opener.width, opener.height)
            openerRect = Qt.rect(placed.x, placed.y, placed.width, placed.height)
        }
        actionNames = sheet.actions
        summary = sheet.summary
        open()
    }

    parent: Overlay.overlay
    modal: true
    focus: true
    dim: !isPopover
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    // Closed by the user (outside click, Escape) or because the sheet finished.
    onClosed: {
        if (sheet)
            sheet.cancel()
        popup.destroy()
    }

    width: isPopover ? 320 : (parent ? parent.width : 320)
    x: !isPopover ? 0
       : hasOpener ? Math.max(8, Math.min(parent.width - width - 8,
                                          openerRect.x + (openerRect.width - width) / 2))
       : Math.max(8, Math.min(parent.width - width - 8, anchorRect.x + (anchorRect.width - width) / 2))
    height: implicitHeight
    y: !isPopover ? (parent ? parent.height - implicitHeight : 0)
       : !hasOpener ? pageTop + anchorRect.y + 16
       : below ? openerRect.y + openerRect.height + arrow
       : openerRect.y - arrow - implicitHeight
    padding: 0

    background: Rectangle {
        radius: 14
        color: Theme.surface
        border.color: popup.isPopover ? Theme.strongBorder : "transparent"
        // A soft shadow under a popover.
        Rectangle {
            visible: popup.isPopover
            z: -1
            anchors.fill: parent
            anchors.margins: -3
            anchors.topMargin: 1
            anchors.bottomMargin: -6
            radius: parent.radius + 3
            color: Theme.hairlineShadow
        }
        // The arrow at the control that opened the popover.
        Rectangle {
            objectName: "popoverArrow"
            visible: popup.isPopover && popup.hasOpener
            width: popup.arrow * 1.6
            height: width
            rotation: 45
            color: Theme.surface
            border.color: Theme.strongBorder
            x: Math.max(12, Math.min(parent.width - width - 12,
                popup.openerRect.x + popup.openerRect.width / 2 - popup.x - width / 2))
            y: popup.below ? -height / 2 : parent.height - height / 2
            z: -0.5
        }
        // Square corners along the bottom edge of a sheet.
        Rectangle {
            visible: !popup.isPopover
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            height: parent.radius
            color: parent.color
        }
    }

    contentItem: ColumnLayout {
        objectName: "shareSheet"
        spacing: 0

        Text {
            objectName: "shareSummary"
            Layout.fillWidth: true
            Layout.margins: 16
            text: popup.summary
            wrapMode: Text.Wrap
            maximumLineCount: 4
            elide: Text.ElideRight
            font.pixelSize: 14
            color: Theme.strongSecondaryLabel
        }

        Rectangle { Layout.fillWidth: true; implicitHeight: 1; color: Theme.separator }

        Repeater {
            model: popup.actionNames
            // Inline delegates read this file's ids, which Qt 6.4's qmllint cannot follow.
            // qmllint disable unqualified
            delegate: ItemDelegate {
                required property string modelData
                objectName: "share_" + modelData
                Layout.fillWidth: true
                highlighted: visualFocus
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                text: popup.sheet ? popup.sheet.actionTitle(modelData) : ""
                onClicked: if (popup.sheet) popup.sheet.perform(modelData)
            }
            // qmllint enable unqualified
        }

        Text {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            visible: text !== ""
            text: popup.sheet ? popup.sheet.lastError : ""
            wrapMode: Text.Wrap
            color: Theme.destructiveLabel
            font.pixelSize: Theme.captionFontSize
        }

        Rectangle { Layout.fillWidth: true; implicitHeight: 1; color: Theme.separator }

        ItemDelegate {
            objectName: "share_cancel"
            Layout.fillWidth: true
            highlighted: visualFocus
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            text: qsTr("Cancel")
            font.weight: Font.DemiBold
            onClicked: popup.close()
        }
    }
}
