#pragma once

// The one navigation stack of the window. It owns the screens on it, performs
// segues through the storyboard, and tells the window (a QML StackView) what
// to push and pop. Alerts and share sheets are presented over it.

#include "alert_controller.h"
#include "save_as.h"
#include "share_sheet.h"
#include "storyboard.h"
#include "view_controller.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <vector>

namespace flickbook::platform {

class NavigationController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the window")
    Q_PROPERTY(
        bool navigationBarHidden READ isNavigationBarHidden NOTIFY navigationBarHiddenChanged)
    Q_PROPERTY(flickbook::platform::ViewController* topViewController READ topViewController NOTIFY
                   stackChanged)
    Q_PROPERTY(int depth READ depth NOTIFY stackChanged)
    Q_PROPERTY(flickbook::platform::AlertController* presentedAlert READ presentedAlert NOTIFY
                   presentedAlertChanged)
    Q_PROPERTY(flickbook::platform::ShareSheet* presentedShareSheet READ presentedShareSheet NOTIFY
                   presentedShareSheetChanged)
    // A screen shown over the whole window, above the stack (a camera page).
    Q_PROPERTY(flickbook::platform::ViewController* presentedViewController READ
                   presentedViewController NOTIFY presentedViewControllerChanged)
    Q_PROPERTY(QUrl presentedPage READ presentedPage NOTIFY presentedViewControllerChanged)
    // Flickbook's Save As dialog, while one shows.
    Q_PROPERTY(flickbook::platform::SaveAs* presentedSaveAs READ presentedSaveAs NOTIFY
                   presentedSaveAsChanged)

public:
    explicit NavigationController(const Storyboard& storyboard, QObject* parent = nullptr);

    QList<ViewController*> viewControllers() const;
    ViewController* topViewController() const;
    int depth() const { return int(stack_.size()); }

    // Takes ownership of the root screen, loads it and shows it.
    void setRootViewController(ViewController* root, const QUrl& page);
    // Takes ownership, loads the screen and shows it on top.
    void pushViewController(ViewController* screen, const QUrl& page, bool animated);
    // Pushes the segue's destination after the source prepared it. A segue
    // whose screen is not built yet writes one console line naming it and
    // changes nothing; false then, and for unknown identifiers.
    bool performSegue(const QString& identifier, ViewController* source);

    // Pops the top screen unless it is the root; the popped screen is deleted
    // once the window no longer shows it.
    ViewController* popViewControllerAnimated(bool animated);
    // Pops every screen above target; nothing when target is not on the stack.
    void popToViewController(ViewController* target, bool animated);

    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);

    ViewController* presentedViewController() const { return presented_; }
    QUrl presentedPage() const { return presentedPage_; }
    // Takes ownership, loads the screen and shows it over everything; one at
    // a time (a second replaces the first).
    void presentViewController(ViewController* screen, const QUrl& page, bool animated);
    // Takes the presented screen down; the completion runs on the main
    // queue once it is gone.
    void dismissViewController(bool animated, std::function<void()> completion = {});

    SaveAs* presentedSaveAs() const { return saveAs_; }
    // Asks where to save a copy of the file: the desktop's chooser when
    // there is one, else Flickbook's dialog. A notice says how it ended.
    void saveCopyOf(const QUrl& file);

    AlertController* presentedAlert() const { return alert_; }
    ShareSheet* presentedShareSheet() const { return shareSheet_; }
    void presentAlert(AlertController* alert);
    void presentShareSheet(ShareSheet* sheet);
    Q_INVOKABLE void dismissAlert();
    Q_INVOKABLE void dismissShareSheet();

    // How long the window's push and pop transitions take.
    static constexpr int kTransitionMilliseconds = 250;

signals:
    void pushed(flickbook::platform::ViewController* screen, const QUrl& page, bool animated);
    // The stack now holds depth screens.
    void popped(int depth, bool animated);
    void stackChanged();
    void navigationBarHiddenChanged();
    void presentedAlertChanged();
    void presentedShareSheetChanged();
    void presentedViewControllerChanged();
    void presentedSaveAsChanged();

private:
    void retire(ViewController* screen);

    const Storyboard& storyboard_;
    std::vector<ViewController*> stack_; // bottom first
    bool navigationBarHidden_ = false;
    QPointer<AlertController> alert_;
    QPointer<ShareSheet> shareSheet_;
    QPointer<ViewController> presented_;
    QPointer<SaveAs> saveAs_;
    QUrl presentedPage_;
};

} // namespace flickbook::platform
