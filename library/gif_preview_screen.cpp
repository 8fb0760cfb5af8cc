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
#include <algorithm>

namespace flickbook::library {

namespace {

// Time a resized window must hold still before the GIF is decoded again for it.
constexpr int kResizeSettleMs = 300;

// Pictures of size `held`, made for `box`, are worth making again for
// `wanted` when the box made them smaller than the GIF and they could grow
// by more than a quarter in the new one (aspect kept).
bool worthDecodingAgain(QSize held, QSize box, QSize wanted) {
    if (held.isEmpty() || box.isEmpty() || wanted.isEmpty())
        return false;
    const bool limitedByBox = held.width() >= box.width() || held.height() >= box.height();
    const double growth =
        std::min(double(wanted.width()) / held.width(), double(wanted.height()) / held.height());
    return limitedByBox && growth > 1.25;
}

} // namespace

GIFPreviewScreen::GIFPreviewScreen(QObject* parent)
    : ViewController(parent), ivPlayGIF_(new platform::AnimatedImageView(this)) {
    resized_.setSingleShot(true);
    resized_.setInterval(kResizeSettleMs);
    connect(&resized_, &QTimer::timeout, this, [this] { decode(ivPlayGIF_->pixelSize()); });
    connect(ivPlayGIF_, &platform::AnimatedImageView::pixelSizeChanged, this,
            &GIFPreviewScreen::viewResized);
}

GIFPreviewScreen::~GIFPreviewScreen() {
    cancelDecoding();
}

void GIFPreviewScreen::viewDidLoad() {
    openedFromHistory_ = home::openedFromHistory;
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
    if (openedFromHistory_)
        return;
    if (auto* left = navigationItem()->leftBarButtonItem()) {
        left->setEnabled(false);
        left->setTintColor(Qt::transparent);
    }
}

void GIFPreviewScreen::loadGIF() {
    const QSize pixels = ivPlayGIF_->pixelSize();
    if (!pixels.isEmpty()) {
        decode(pixels);
        return;
    }
    // A page draws this screen: it says how large once it is laid out.
    if (!viewSize().isEmpty()) {
        waitingForSize_ = true;
        setLoading(true);
        return;
    }
    decode(platform::kPreviewDefaultPixels);
}

void GIFPreviewScreen::decode(QSize box) {
    cancelDecoding();
    waitingForSize_ = false;
    decodedBox_ = box;
    setLoading(true);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancelled_ = cancelled;
    PlaybackLimits limits;
    limits.box = box;
    QPointer<GIFPreviewScreen> self(this);
    platform::dispatch::background([self, cancelled, limits, url = gifURL] {
        Result<platform::AnimatedImage> result =
            url.isLocalFile()
                ? decodeForPlayback(url.toLocalFile(), limits, cancelled.get())
                : Result<platform::AnimatedImage>(makeError(
                      "preview.not_a_file", url.toString().toStdString() + " is not a file."));
        if (cancelled->load())
            return;
        platform::dispatch::main([self, cancelled, result = std::move(result)] {
            if (self && !cancelled->load())
                self->decoded(result);
        });
    });
}

void GIFPreviewScreen::decoded(Result<platform::AnimatedImage> result) {
    cancelled_.reset();
    setLoading(false);
    if (result) {
        ivPlayGIF_->setImage(std::move(*result));
        // The page may have grown while the pictures were made.
        if (worthDecodingAgain(ivPlayGIF_->imageSize(), decodedBox_, ivPlayGIF_->pixelSize()))
            resized_.start();
        return;
    }
    const Error& error = result.error();
    platform::consoleLine(QStringLiteral("%1 does not play: %2")
                              .arg(fileName(), QString::fromStdString(error.message)));
    // Files too large to decode here say so; anything else is damaged.
    const bool tooLarge = error.code == "gif.too_large" ||
                          error.code == "preview.too_many_frames" ||
                          error.code == "gif.out_of_memory";
    problem_ =
        tooLarge
            ? tr("“%1” can't be played. %2").arg(fileName(), QString::fromStdString(error.message))
            : tr("“%1” can't be played: the file is damaged or not a GIF.").arg(fileName());
    Q_EMIT problemChanged();
}

void GIFPreviewScreen::viewResized() {
    const QSize pixels = ivPlayGIF_->pixelSize();
    if (pixels.isEmpty())
        return;
    if (waitingForSize_) {
        decode(pixels);
        return;
    }
    if (!problem_.isEmpty())
        return;
    if (worthDecodingAgain(ivPlayGIF_->imageSize(), decodedBox_, pixels))
        resized_.start();
    else
        resized_.stop();
}

void GIFPreviewScreen::cancelDecoding() {
    resized_.stop();
    if (cancelled_)
        cancelled_->store(true);
    cancelled_.reset();
}

void GIFPreviewScreen::setLoading(bool loading) {
    if (loading == loading_)
        return;
    loading_ = loading;
    Q_EMIT loadingChanged();
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
    cancelDecoding();
    ivPlayGIF_->setImage({});
    home::popOneScreen(this);
}

void GIFPreviewScreen::btnHome() {
    cancelDecoding();
    ivPlayGIF_->setImage({});
    home::returnToHomeScreen(navigationController());
}

} // namespace flickbook::library
