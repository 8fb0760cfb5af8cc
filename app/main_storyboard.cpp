#include "app/main_storyboard.h"

#include "home/home_screen.h"
#include "home/setting_screen.h"
#include "library/gif_preview_screen.h"
#include "library/history_screen.h"
#include "photos/image_animation_screen.h"
#include "photos/select_images.h"
#include "video/capture_video_screen.h"
#include "video/select_video_screen.h"
#include "video/trim_video_screen.h"
#include "video/video_animation_screen.h"

namespace flickbook::app {

namespace {

QUrl page(const char* name) {
    return QUrl(QStringLiteral("qrc:/Flickbook/qml/%1.qml").arg(QLatin1String(name)));
}

template <typename Screen> platform::Storyboard::Factory make() {
    return [](QObject* parent) -> platform::ViewController* { return new Screen(parent); };
}

} // namespace

QUrl launchPage() {
    return page("LaunchPage");
}

platform::Storyboard mainStoryboard() {
    platform::Storyboard storyboard;
    const std::pair<const char*, const char*> segues[] = {
        {"segue_start", "HomeScreen"},
        {"segue_setting", "SettingScreen"},
        {"segue_captureVideo", "CaptureVideoScreen"},
        {"segue_selectVideo", "SelectVideoScreen"},
        {"segue_selectImages", "SelectImages"},
        {"segue_history", "HistoryScreen"},
        {"segue_trim", "TrimVideoScreen"},
        {"segue_videoAnimation", "VideoAnimationScreen"},
        {"segue_imageAnimation", "ImageAnimationScreen"},
        {"segue_previewGIF", "GIFPreviewScreen"},
    };
    for (const auto& [identifier, destination] : segues)
        storyboard.declareSegue(QLatin1String(identifier), QLatin1String(destination));

    storyboard.registerScene("segue_start", page("HomePage"), make<home::HomeScreen>());
    storyboard.registerScene("segue_setting", page("SettingPage"), make<home::SettingScreen>());
    storyboard.registerScene("segue_history", page("HistoryPage"), make<library::HistoryScreen>());
    storyboard.registerScene("segue_previewGIF", page("GifPreviewPage"),
                             make<library::GIFPreviewScreen>());
    storyboard.registerScene("segue_selectImages", page("SelectImagesPage"),
                             make<photos::SelectImages>());
    storyboard.registerScene("segue_imageAnimation", page("ImageAnimationPage"),
                             make<photos::ImageAnimationScreen>());
    storyboard.registerScene("segue_captureVideo", page("CaptureVideoPage"),
                             make<video::CaptureVideoScreen>());
    storyboard.registerScene("segue_selectVideo", page("SelectVideoPage"),
                             make<video::SelectVideoScreen>());
    storyboard.registerScene("segue_trim", page("TrimVideoPage"), make<video::TrimVideoScreen>());
    storyboard.registerScene("segue_videoAnimation", page("VideoAnimationPage"),
                             make<video::VideoAnimationScreen>());
    return storyboard;
}

} // namespace flickbook::app
