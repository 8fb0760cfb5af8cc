#pragma once

// The consent questions and the privacy page as alerts over the window's
// navigation stack.

#include "photo_library.h"

#include <QPointer>

namespace flickbook::platform {

class NavigationController;

class WindowPrivacyPrompts : public PrivacyPrompts {
public:
    explicit WindowPrivacyPrompts(NavigationController* navigation);

    void askForPhotoAccess(std::function<void(bool allowed)> answer) override;
    void askForCameraAccess(std::function<void(bool allowed)> answer) override;
    void showPrivacyPage(PrivacyService service) override;

private:
    QPointer<NavigationController> navigation_;
};

} // namespace flickbook::platform
