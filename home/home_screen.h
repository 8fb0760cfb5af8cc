#pragma once

// The home screen: five ways on, one segue each.

#include "platform/view_controller.h"
#include <QtQml/qqmlregistration.h>

namespace flickbook::home {

class HomeScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")

public:
    using ViewController::ViewController;

    void viewDidLoad() override;

    Q_INVOKABLE void btnCaptureToGIF();
    Q_INVOKABLE void btnVideoToGIF();
    Q_INVOKABLE void btnImagesToGIF();
    Q_INVOKABLE void btnMyWork();
    Q_INVOKABLE void btnSetting();
};

} // namespace flickbook::home
