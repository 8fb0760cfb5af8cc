#pragma once

// Settings: recommend Flickbook, review it, see the developer's other apps.

#include "platform/view_controller.h"
#include <QtQml/qqmlregistration.h>

namespace flickbook::home {

class SettingScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")

public:
    using ViewController::ViewController;

    void viewDidLoad() override;

    // The share sheet with the recommendation and the store link.
    Q_INVOKABLE void btnShareApp();
    // Records "showRate", then opens the review page.
    Q_INVOKABLE void btnRateApp();
    Q_INVOKABLE void btnMoreApps();
    Q_INVOKABLE void btnBack();

private:
    // Opens the link, or puts it on the clipboard when nothing can open it.
    void openOrCopy(const QUrl& link);
};

} // namespace flickbook::home
