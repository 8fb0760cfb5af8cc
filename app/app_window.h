#pragma once

// The one window: its QML, the storyboard and the navigation stack rooted at
// the launch screen. Used by main() and by the screen tests.

#include "platform/navigation_controller.h"
#include "platform/storyboard.h"
#include "platform/window_privacy_prompts.h"

#include <QQmlApplicationEngine>
#include <memory>

class QQuickWindow;

namespace flickbook::app {

class AppWindow {
public:
    AppWindow();
    ~AppWindow();

    // Loads the window and puts the launch screen at the root of the stack;
    // false, with the QML errors on the console, when the window cannot load.
    bool load();

    platform::NavigationController& navigation() { return *navigation_; }
    QQuickWindow* window() const;
    QQmlApplicationEngine& engine() { return engine_; }

private:
    platform::Storyboard storyboard_;
    std::unique_ptr<platform::NavigationController> navigation_;
    std::unique_ptr<platform::WindowPrivacyPrompts> privacyPrompts_;
    QQmlApplicationEngine engine_;
};

} // namespace flickbook::app
