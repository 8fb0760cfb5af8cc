#include "window_privacy_prompts.h"

#include "alert_controller.h"
#include "camera.h"
#include "navigation_controller.h"

namespace flickbook::platform {

WindowPrivacyPrompts::WindowPrivacyPrompts(NavigationController* navigation)
    : navigation_(navigation) {}

void WindowPrivacyPrompts::askForPhotoAccess(std::function<void(bool allowed)> answer) {
    if (!navigation_) {
        answer(false);
        return;
    }
    auto* alert = new AlertController(
        QObject::tr("“Flickbook” Would Like to Access Your Photos"),
        QObject::tr("Flickbook reads the pictures and videos in your Pictures and Videos "
                    "folders to make GIFs of them. Nothing leaves your computer."));
    alert->setTintColor(Qt::black);
    alert->addAction(QObject::tr("Don't Allow"), AlertController::ActionStyle::Default,
                     [answer] { answer(false); });
    alert->addAction(QObject::tr("Allow"), AlertController::ActionStyle::Cancel,
                     [answer] { answer(true); });
    alert->setEscapeAction(0); // Escape does not allow anything
    navigation_->presentAlert(alert);
}

void WindowPrivacyPrompts::askForCameraAccess(std::function<void(bool allowed)> answer) {
    if (!navigation_) {
        answer(false);
        return;
    }
    auto* alert = new AlertController(
        QObject::tr("“Flickbook” Would Like to Access the Camera"),
        QObject::tr("Flickbook records short clips with your camera to make GIFs of them. "
                    "Nothing leaves your computer."));
    alert->setTintColor(Qt::black);
    alert->addAction(QObject::tr("Don't Allow"), AlertController::ActionStyle::Default,
                     [answer] { answer(false); });
    alert->addAction(QObject::tr("Allow"), AlertController::ActionStyle::Cancel,
                     [answer] { answer(true); });
    alert->setEscapeAction(0); // Escape does not allow anything
    navigation_->presentAlert(alert);
}

void WindowPrivacyPrompts::showPrivacyPage(PrivacyService service) {
    if (!navigation_)
        return;
    const bool camera = service == PrivacyService::Camera;
    const bool allowed =
        (camera ? Camera::authorizationStatus() : PhotoLibrary::shared().authorizationStatus()) ==
        AuthorizationStatus::Authorized;
    auto set = [camera](AuthorizationStatus status) {
        if (camera)
            Camera::setAuthorizationStatus(status);
        else
            PhotoLibrary::shared().setAuthorizationStatus(status);
    };
    QString message;
    if (camera)
        message = allowed ? QObject::tr("Flickbook may record with your camera.")
                          : QObject::tr("Flickbook may not use your camera. Allow it to record "
                                        "clips for GIFs.");
    else
        message = allowed ? QObject::tr("Flickbook may read your Pictures and Videos folders.")
                          : QObject::tr("Flickbook may not read your Pictures and Videos folders. "
                                        "Allow it to make GIFs of your photos and videos.");
    auto* page = new AlertController(
        camera ? QObject::tr("Privacy: Camera") : QObject::tr("Privacy: Photos"), message);
    page->setTintColor(Qt::black);
    page->addAction(allowed ? QObject::tr("Keep Access") : QObject::tr("Allow Access"),
                    AlertController::ActionStyle::Cancel,
                    [set] { set(AuthorizationStatus::Authorized); });
    page->addAction(QObject::tr("Don't Allow"), AlertController::ActionStyle::Destructive,
                    [set] { set(AuthorizationStatus::Denied); });
    navigation_->presentAlert(page);
}

} // namespace flickbook::platform
