#include "navigation_controller.h"

#include "alert_controller.h"
#include "desktop.h"
#include "share_sheet.h"
#include "status_hud.h"

#include <QFileInfo>
#include <QTimer>

namespace flickbook::platform {

NavigationController::NavigationController(const Storyboard& storyboard, QObject* parent)
    : QObject(parent), storyboard_(storyboard) {}

QList<ViewController*> NavigationController::viewControllers() const {
    return QList<ViewController*>(stack_.begin(), stack_.end());
}

ViewController* NavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

void NavigationController::setRootViewController(ViewController* root, const QUrl& page) {
    while (!stack_.empty()) {
        retire(stack_.back());
        stack_.pop_back();
    }
    pushViewController(root, page, false);
}

void NavigationController::pushViewController(ViewController* screen, const QUrl& page,
                                              bool animated) {
    screen->setParent(this);
    screen->navigationController_ = this;
    stack_.push_back(screen);
    screen->viewDidLoad();
    screen->viewWillAppear(animated);
    Q_EMIT pushed(screen, page, animated);
    Q_EMIT stackChanged();
}

bool NavigationController::performSegue(const QString& identifier, ViewController* source) {
    const Storyboard::Scene* scene = storyboard_.scene(identifier);
    if (!scene) {
        consoleLine(QStringLiteral("No segue with identifier \"%1\"").arg(identifier));
        return false;
    }
    if (!scene->make) {
        consoleLine(QStringLiteral("\"%1\" leads to %2, which is not built yet")
                        .arg(identifier, scene->destinationClass));
        return false;
    }
    ViewController* destination = scene->make(this);
    if (source)
        source->prepareForSegue({identifier, source, destination});
    pushViewController(destination, scene->page, true);
    return true;
}

ViewController* NavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() < 2)
        return nullptr;
    ViewController* leaving = stack_.back();
    stack_.pop_back();
    stack_.back()->viewWillAppear(animated);
    Q_EMIT popped(depth(), animated);
    Q_EMIT stackChanged();
    retire(leaving);
    return leaving;
}

void NavigationController::popToViewController(ViewController* target, bool animated) {
    std::size_t index = 0;
    while (index < stack_.size() && stack_[index] != target)
        ++index;
    if (index == stack_.size() || index + 1 == stack_.size())
        return;
    std::vector<ViewController*> gone;
    while (stack_.size() > index + 1) {
        gone.push_back(stack_.back());
        stack_.pop_back();
    }
    target->viewWillAppear(animated);
    Q_EMIT popped(depth(), animated);
    Q_EMIT stackChanged();
    for (ViewController* screen : gone)
        retire(screen);
}

void NavigationController::retire(ViewController* screen) {
    // The page keeps drawing the screen until its pop transition is over.
    screen->navigationController_ = nullptr;
    QTimer::singleShot(kTransitionMilliseconds * 2, screen, &QObject::deleteLater);
}

void NavigationController::setNavigationBarHidden(bool hidden, bool animated) {
    Q_UNUSED(animated);
    if (navigationBarHidden_ != hidden) {
        navigationBarHidden_ = hidden;
        Q_EMIT navigationBarHiddenChanged();
    }
}

void NavigationController::presentViewController(ViewController* screen, const QUrl& page,
                                                 bool animated) {
    if (presented_)
        dismissViewController(false);
    screen->setParent(this);
    screen->navigationController_ = this;
    presented_ = screen;
    presentedPage_ = page;
    screen->viewDidLoad();
    screen->viewWillAppear(animated);
    Q_EMIT presentedViewControllerChanged();
}

void NavigationController::dismissViewController(bool animated, std::function<void()> completion) {
    Q_UNUSED(animated); // the window takes a presented screen down at once
    if (ViewController* leaving = presented_) {
        presented_ = nullptr;
        presentedPage_ = QUrl();
        Q_EMIT presentedViewControllerChanged();
        retire(leaving);
    }
    if (completion)
        QTimer::singleShot(0, this, std::move(completion));
}

void NavigationController::saveCopyOf(const QUrl& file) {
    auto* request = new SaveAs(file, this);
    const bool byDesktop = request->askDesktop();
    connect(request, &SaveAs::finished, this, [this, request, byDesktop](const QString& saved) {
        if (!saved.isEmpty())
            components::StatusHUD::showSuccessWithStatus(
                tr("Saved as %1").arg(QFileInfo(saved).fileName()));
        else if (byDesktop && !request->error().isEmpty())
            components::StatusHUD::showErrorWithStatus(request->error());
        if (saveAs_ == request) {
            saveAs_ = nullptr;
            Q_EMIT presentedSaveAsChanged();
        }
        request->deleteLater();
    });
    if (byDesktop)
        return;
    if (saveAs_)
        saveAs_->cancel();
    saveAs_ = request;
    Q_EMIT presentedSaveAsChanged();
}

void NavigationController::presentAlert(AlertController* alert) {
    if (alert_) {
        // One alert at a time, as on a phone: a second one is dropped.
        consoleLine(QStringLiteral("An alert is already shown; \"%1\" is not").arg(alert->title()));
        alert->deleteLater();
        return;
    }
    alert->setParent(this);
    alert_ = alert;
    connect(alert, &AlertController::finished, this, &NavigationController::dismissAlert);
    Q_EMIT presentedAlertChanged();
}

void NavigationController::dismissAlert() {
    if (!alert_)
        return;
    AlertController* alert = alert_;
    alert_ = nullptr;
    Q_EMIT presentedAlertChanged();
    alert->deleteLater();
}

void NavigationController::presentShareSheet(ShareSheet* sheet) {
    if (shareSheet_)
        dismissShareSheet();
    sheet->setParent(this);
    shareSheet_ = sheet;
    connect(sheet, &ShareSheet::finished, this, &NavigationController::dismissShareSheet);
    connect(sheet, &ShareSheet::saveAsRequested, this, &NavigationController::saveCopyOf);
    Q_EMIT presentedShareSheetChanged();
}

void NavigationController::dismissShareSheet() {
    if (!shareSheet_)
        return;
    ShareSheet* sheet = shareSheet_;
    shareSheet_ = nullptr;
    Q_EMIT presentedShareSheetChanged();
    sheet->deleteLater();
}

} // namespace flickbook::platform
