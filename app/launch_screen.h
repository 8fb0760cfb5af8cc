#pragma once

// The launch screen: the root of the stack, shown without a bar for a moment
// before it hands over to the home screen.

#include "platform/view_controller.h"

#include <QtQml/qqmlregistration.h>

namespace flickbook::app {

class ViewController : public flickbook::platform::ViewController {
    Q_OBJECT
    // The launch screen; "ViewController" in QML is the base of every screen.
    QML_NAMED_ELEMENT(LaunchScreen)
    QML_UNCREATABLE("Screens are made by the storyboard")

public:
    using platform::ViewController::ViewController;

    static constexpr double kFirstDelaySeconds = 1.0;
    static constexpr double kSecondDelaySeconds = 0.1;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
};

} // namespace flickbook::app
