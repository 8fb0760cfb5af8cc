#include "window_privacy_prompts.h"

#include "alert_controller.h"
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
    navigation_->presentAlert(alert);
}

void WindowPrivacyPrompts::showPrivacyPage() {
    if (!navigation_)
        return;
    PhotoLibrary& library = PhotoLibrary::shared();
    const bool allowed = library.authorizationStatus() == AuthorizationStatus::Authorized;
    auto* page = new AlertController(
        QObject::tr("Privacy: Photos"),
        allowed ? QObject::tr("Flickbook may read your Pictures and Videos folders.")
                : QObject::tr("Flickbook may not read your Pictures and Videos folders. Allow "
                              "it to make GIFs of your photos and videos."));
    page->setTintColor(Qt::black);
    page->addAction(allowed ? QObject::tr("Keep Access") : QObject::tr("Allow Access"),
                    AlertController::ActionStyle::Cancel, [&library] {
                        library.setAuthorizationStatus(AuthorizationStatus::Authorized);
                    });
    page->addAction(QObject::tr("Don't Allow"), AlertController::ActionStyle::Destructive,
                    [&library] { library.setAuthorizationStatus(AuthorizationStatus::Denied); });
    navigation_->presentAlert(page);
}

} // namespace flickbook::platform
