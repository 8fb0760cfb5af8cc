import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import Flickbook.Platform
import Flickbook.Screens
import Flickbook.Components

// The one window: the navigation bar of the top screen, the stack of pages,
// and what is presented over them (alerts, share sheets, the status HUD).
ApplicationWindow {
    id: window

    required property NavigationController navigation
    required property StatusHUD hud
    required property NavigationBarAppearance barAppearance
    required property FileOpener opener

    readonly property bool wide: width >= 600

    // A phone's proportions, no taller than the screen leaves room for.
    width: 390
    height: Math.max(minimumHeight, Math.min(780, Screen.desktopAvailableHeight - 64))
    minimumWidth: 320
    minimumHeight: 480
    visible: true
    title: "Flickbook"
    color: Theme.pageBackground

    Material.theme: Material.Light
    Material.accent: Theme.accent
    Material.primary: Theme.accent

    NavigationBar {
        id: bar
        objectName: "navigationBar"
        anchors { top: parent.top; left: parent.left; right: parent.right }
        visible: !window.navigation.navigationBarHidden
        // Nothing under a presented page takes clicks or keys.
        enabled: window.navigation.presentedViewController === null
        appearance: window.barAppearance
        item: window.navigation.topViewController
              ? window.navigation.topViewController.navigationItem : null
    }

    Component {
        id: pageFrame
        PageFrame {}
    }

    StackView {
        id: stack
        objectName: "stack"
        anchors {
            top: bar.visible ? bar.bottom : parent.top
            left: parent.left; right: parent.right; bottom: parent.bottom
        }
        clip: true
        enabled: window.navigation.presentedViewController === null

        readonly property int duration: 250
        pushEnter: Transition {
            XAnimator { from: stack.width; to: 0; duration: stack.duration; easing.type: Easing.OutCubic }
        }
        pushExit: Transition {
            XAnimator { from: 0; to: -stack.width * 0.3; duration: stack.duration; easing.type: Easing.OutCubic }
        }
        popEnter: Transition {
            XAnimator { from: -stack.width * 0.3; to: 0; duration: stack.duration; easing.type: Easing.OutCubic }
        }
        popExit: Transition {
            XAnimator { from: 0; to: stack.width; duration: stack.duration; easing.type: Easing.OutCubic }
        }

        Connections {
            target: window.navigation
            function onPushed(screen, page, animated) {
                stack.push(pageFrame, { page: page, controller: screen },
                           animated ? StackView.PushTransition : StackView.Immediate)
            }
            function onPopped(depth, animated) {
                if (depth < stack.depth)
                    stack.pop(stack.get(depth - 1),
                              animated ? StackView.PopTransition : StackView.Immediate)
            }
        }
    }

    // A screen presented over the whole window (the camera page).
    Loader {
        id: presented
        objectName: "presentedPage"
        anchors.fill: parent
        z: 500
        focus: true
        Connections {
            target: window.navigation
            function onPresentedViewControllerChanged() {
                const screen = window.navigation.presentedViewController
                if (screen) {
                    presented.setSource(window.navigation.presentedPage, { controller: screen })
                    presented.forceActiveFocus()
                } else {
                    presented.source = ""
                    stack.forceActiveFocus()
                }
            }
        }
    }

    // Flickbook's Save As dialog, one for each request.
    Component {
        id: saveAsDialog
        SaveAsDialog {}
    }
    Connections {
        target: window.navigation
        function onPresentedSaveAsChanged() {
            const request = window.navigation.presentedSaveAs
            if (request)
                saveAsDialog.createObject(window.contentItem, { request: request })
        }
    }

    // A new view for every presented alert, closed when the alert is taken down.
    Component {
        id: alertView
        AlertView {}
    }
    property AlertView shownAlert: null
    Connections {
        target: window.navigation
        function onPresentedAlertChanged() {
            const alert = window.navigation.presentedAlert
            if (window.shownAlert && window.shownAlert.alert !== alert)
                window.shownAlert.close()
            if (alert)
                window.shownAlert = alertView.createObject(window.contentItem, { alert: alert })
        }
    }

    // A new view for every presented share sheet; it closes when the sheet
    // is taken down and destroys itself once closed.
    Component {
        id: shareSheetView
        ShareSheetView {}
    }
    property ShareSheetView shownShareSheet: null
    Connections {
        target: window.navigation
        function onPresentedShareSheetChanged() {
            const sheet = window.navigation.presentedShareSheet
            if (window.shownShareSheet && window.shownShareSheet.sheet !== sheet)
                window.shownShareSheet.close()
            if (sheet)
                window.shownShareSheet = shareSheetView.createObject(window.contentItem, {
                    sheet: sheet, pageTop: stack.y, opener: window.activeFocusItem })
        }
    }

    // A video or photos dropped anywhere on the window open as if chosen in
    // a picker.
    DropArea {
        id: drop
        objectName: "dropArea"
        anchors.fill: parent
        keys: ["text/uri-list"]
        onDropped: event => {
            if (!event.hasUrls)
                return
            event.accept(Qt.CopyAction)
            window.opener.openFiles(event.urls)
        }
        Rectangle {
            anchors.fill: parent
            anchors.margins: 8
            visible: drop.containsDrag
            radius: Theme.cardRadius
            color: Theme.accentHighlight
            border.color: Theme.accent
            border.width: 3
            Text {
                anchors.centerIn: parent
                width: parent.width - 48
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                text: qsTr("Drop a video or photos to make a GIF")
                font.pixelSize: 20
                font.weight: Font.DemiBold
                color: Theme.accent
            }
        }
    }

    // Desktop keys: Escape goes Back (an open sheet or alert takes Escape
    // itself and closes); Alt+Left, Backspace, the Back key and the mouse's
    // back button go Back; Ctrl+Q quits. Nothing happens behind the HUD while
    // it shows.
    function closeTopmostOrGoBack() {
        if (window.hud.visible)
            return
        if (window.shownShareSheet) {
            window.shownShareSheet.close()
            return
        }
        if (window.shownAlert && window.shownAlert.alert) {
            window.shownAlert.alert.escape()
            return
        }
        back()
    }
    function back() {
        if (window.hud.visible || window.shownShareSheet || window.shownAlert)
            return
        const screen = window.navigation.presentedViewController
                       ? window.navigation.presentedViewController
                       : window.navigation.topViewController
        if (screen && !stack.busy)
            screen.goBack()
    }
    Shortcut {
        sequence: "Escape"
        onActivated: window.closeTopmostOrGoBack()
    }
    Shortcut {
        sequences: ["Alt+Left", "Backspace", "Back"]
        onActivated: window.back()
    }
    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: Qt.quit()
    }
    MouseArea {
        objectName: "backButtonArea"
        anchors.fill: parent
        z: 999
        acceptedButtons: Qt.BackButton
        onClicked: window.back()
    }

    StatusHudOverlay {
        anchors.fill: parent
        hud: window.hud
        z: 1000
    }
}
