#include "app/app_window.h"

#include "app/app_delegate.h"
#include "app/launch_screen.h"
#include "app/main_storyboard.h"
#include "app/tinted_image_provider.h"
#include "common/common_utils.h"
#include "library/first_frame_provider.h"
#include "photos/photo_thumbnail_provider.h"
#include "platform/animated_image_view.h"
#include "platform/navigation_bar_appearance.h"
#include "status_hud.h"
#include "trimmer_view.h"
#include "video/video_thumbnail_provider.h"

#include <QQuickWindow>

// The QML registrations of the C++ types pages are typed with; referring to
// them keeps them in the link of a static build.
void qml_register_types_Flickbook_Platform();
void qml_register_types_Flickbook_Components();
void qml_register_types_Flickbook_Screens();

namespace flickbook::app {

namespace {
void (*const kQmlTypeRegistrations[])() = {
    &qml_register_types_Flickbook_Platform,
    &qml_register_types_Flickbook_Components,
    &qml_register_types_Flickbook_Screens,
};
} // namespace

AppWindow::AppWindow()
    : storyboard_(mainStoryboard()),
      navigation_(std::make_unique<platform::NavigationController>(storyboard_)),
      privacyPrompts_(std::make_unique<platform::WindowPrivacyPrompts>(navigation_.get())),
      opener_(std::make_unique<FileOpener>(*navigation_, storyboard_)) {
    platform::PhotoLibrary::shared().setPrivacyPrompts(privacyPrompts_.get());
}

AppWindow::~AppWindow() {
    platform::PhotoLibrary::shared().setPrivacyPrompts(nullptr);
}

bool AppWindow::load() {
    for (auto* registration : kQmlTypeRegistrations) {
        void (*volatile kept)() = registration;
        Q_UNUSED(kept);
    }
    common::loadBundledFonts();
    // The engine owns its image providers.
    engine_.addImageProvider("tinted", new TintedImageProvider());
    engine_.addImageProvider("animation", new platform::AnimatedImageProvider());
    engine_.addImageProvider("firstframe", new library::FirstFrameProvider());
    engine_.addImageProvider("photo", new photos::PhotoThumbnailProvider());
    engine_.addImageProvider("trimmer", new components::TrimmerThumbnailProvider());
    engine_.addImageProvider("video", new video::VideoThumbnailProvider());
    engine_.setInitialProperties({
        {"navigation", QVariant::fromValue(navigation_.get())},
        {"hud", QVariant::fromValue(&components::StatusHUD::shared())},
        {"barAppearance", QVariant::fromValue(&platform::NavigationBarAppearance::proxy())},
        {"opener", QVariant::fromValue(opener_.get())},
    });
    engine_.load(QUrl(QStringLiteral("qrc:/Flickbook/qml/Main.qml")));
    QQuickWindow* shown = window();
    if (!shown)
        return false;
    shown->setObjectName(AppDelegate::configurationName());
    navigation_->setRootViewController(new ViewController(), launchPage());
    return true;
}

QQuickWindow* AppWindow::window() const {
    const auto roots = engine_.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
}

} // namespace flickbook::app
