#pragma once

// The one window: its QML, the storyboard and the navigation stack rooted at
// the launch screen. Used by main() and by the screen tests.

#include "app/file_opener.h"
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
    // Opens videos and photos handed over from outside (drops, the command line).
    FileOpener& opener() { return *opener_; }
    QQuickWindow* window() const;
    QQmlApplicationEngine& engine() { return engine_; }

private:
    platform::Storyboard storyboard_;
    std::unique_ptr<platform::NavigationController> navigation_;
    std::unique_ptr<platform::WindowPrivacyPrompts> privacyPrompts_;
    std::unique_ptr<FileOpener> opener_;
    QQmlApplicationEngine engine_;
};

} // namespace flickbook::app
