#include "home/home_screen.h"

#include "home/navigation_flags.h"

namespace flickbook::home {

void HomeScreen::viewDidLoad() {
    navigationItem()->setTitle(QStringLiteral("Flickbook"));
}

void HomeScreen::btnCaptureToGIF() {
    videoFromLibrary = false;
    performSegueWithIdentifier(QStringLiteral("segue_captureVideo"));
}

void HomeScreen::btnVideoToGIF() {
    videoFromLibrary = true;
    performSegueWithIdentifier(QStringLiteral("segue_selectVideo"));
}

void HomeScreen::btnImagesToGIF() {
    performSegueWithIdentifier(QStringLiteral("segue_selectImages"));
}

void HomeScreen::btnMyWork() {
    performSegueWithIdentifier(QStringLiteral("segue_history"));
}

void HomeScreen::btnSetting() {
    performSegueWithIdentifier(QStringLiteral("segue_setting"));
}

} // namespace flickbook::home
