#include "library/gif_preview_screen.h"

#include "common/common_utils.h"
#include "home/navigation_flags.h"
#include "home/navigation_rules.h"
#include "library/animated_gif.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "status_hud.h"

#include <QPointer>

namespace flickbook::library {

GIFPreviewScreen::GIFPreviewScreen(QObject* parent)
    : ViewController(parent), ivPlayGIF_(new platform::AnimatedImageView(this)) {}

void GIFPreviewScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("Preview"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &GIFPreviewScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
    auto* homeButton = home::makeHomeButton(this);
    connect(homeButton, &platform::BarButtonItem::triggered, this, &GIFPreviewScreen::btnHome);
    navigationItem()->setRightBarButtonItem(homeButton);

    QPointer<GIFPreviewScreen> self(this);
    platform::dispatch::main([self] {
        if (self)
            self->loadGIF();
    });
}

void GIFPreviewScreen::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (home::openedFromHistory)
        return;
    if (auto* left = navigationItem()->leftBarButtonItem()) {
        left->setEnabled(false);
        left->setTintColor(Qt::transparent);
    }
}

void GIFPreviewScreen::loadGIF() {
    if (auto animation = animatedImageWithAnimatedGIFURL(gifURL)) {
        ivPlayGIF_->setImage(std::move(*animation));
        return;
    }
    problem_ = tr("“%1” can't be played: the file is damaged or not a GIF.").arg(fileName());
    Q_EMIT problemChanged();
}

void GIFPreviewScreen::btnShare() {
    common::presentShareSheet(this, {gifURL});
}

void GIFPreviewScreen::btnSave() {
    platform::PhotoLibrary::shared().addFile(
        gifURL, [](std::optional<QString> saved, std::optional<QString> error) {
            Q_UNUSED(saved);
            if (error) {
                platform::consoleLine(*error);
                components::StatusHUD::showErrorWithStatus(common::noticeWithCause(
                    tr("Please try After Sometimes."), *error, tr("Your Pictures folder")));
                return;
            }
            platform::dispatch::main([] {
                components::StatusHUD::showSuccessWithStatus(
                    tr("GIF Successfully Saved To Photo Library."));
            });
        });
}

void GIFPreviewScreen::btnBack() {
    ivPlayGIF_->setImage({});
    home::popOneScreen(this);
}

void GIFPreviewScreen::btnHome() {
    ivPlayGIF_->setImage({});
    home::returnToHomeScreen(navigationController());
}

} // namespace flickbook::library
