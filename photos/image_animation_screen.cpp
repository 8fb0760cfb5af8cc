#include "photos/image_animation_screen.h"

#include "common/common_utils.h"
#include "home/navigation_flags.h"
#include "home/navigation_rules.h"
#include "image_gif_encoder.h"
#include "library/gif_preview_screen.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "platform/view_pictures.h"
#include "render/presets.h"
#include "status_hud.h"
#include "store/gif_store.h"

#include <QPointer>
#include <cmath>

namespace flickbook::photos {

ImageAnimationScreen::ImageAnimationScreen(QObject* parent)
    : ViewController(parent), slider_(new components::DiscreteSlider(this)),
      imageView_(new platform::AnimatedImageView(this)), labels_(new components::CamelLabels(this)),
      output_(new common::OutputChoices(this)) {
    connect(slider_, &components::DiscreteSlider::valueChanged, this,
            &ImageAnimationScreen::valueChange);
    constexpr int kResizeSettleMs = 200;
    previewResized_.setSingleShot(true);
    previewResized_.setInterval(kResizeSettleMs);
    connect(&previewResized_, &QTimer::timeout, this, &ImageAnimationScreen::makePreviewPictures);
    connect(imageView_, &platform::AnimatedImageView::pixelSizeChanged, &previewResized_,
            qOverload<>(&QTimer::start));
    connect(output_, &common::OutputChoices::choicesChanged, this, [this] {
        if (imageView_->isAnimating())
            startPreview(float(animationTime));
    });
}

void ImageAnimationScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("Frame Time"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &ImageAnimationScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
    auto* create = new platform::BarButtonItem(tr("Create"), this);
    connect(create, &platform::BarButtonItem::triggered, this, &ImageAnimationScreen::btnCreateGIF);
    navigationItem()->setRightBarButtonItem(create);

    QPointer<ImageAnimationScreen> self(this);
    platform::dispatch::mainAfter(kDelayBeforeSetUp, [self] {
        if (self)
            self->setUp();
    });
}

void ImageAnimationScreen::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (home::openedFromHistory)
        return;
    if (auto* right = navigationItem()->rightBarButtonItem())
        right->setTintColor(common::accentColor());
}

void ImageAnimationScreen::setUp() {
    QStringList names;
    for (const render::FrameTime& time : render::kFrameTimes)
        names << QString::fromLatin1(time.label.data(), qsizetype(time.label.size()));
    common::setUpCamelLabels(*labels_, names, int(render::kDefaultFrameTime));
    common::setUpDiscreteSlider(*slider_, int(render::kFrameTimes.size()),
                                double(render::kDefaultFrameTime + 1));

    QPointer<ImageAnimationScreen> self(this);
    platform::dispatch::main([self] {
        if (!self)
            return;
        self->startPreview(1.0f);
        self->makePreviewPictures();
        self->output_->requestEstimate(
            QStringLiteral("photos"),
            [pictures =
                 self->arrOfSelectedImages]() -> Result<common::OutputChoices::KeyedSamples> {
                render::ImagesRequest request;
                request.count = std::size_t(pictures.size());
                request.picture = components::ImageGifEncoder::picturesOf(pictures);
                auto sample = render::sampleFrames(request);
                if (!sample)
                    return sample.error();
                common::OutputChoices::KeyedSamples keyed;
                keyed.push_back({QStringLiteral("photos"), std::move(*sample)});
                return keyed;
            },
            std::size_t(self->arrOfSelectedImages.size()));
    });
}

QList<QImage> ImageAnimationScreen::inPlayedOrder(const QList<QImage>& pictures) const {
    if (output_->loop() != render::Loop::bounce || pictures.size() < 3)
        return pictures;
    QList<QImage> played = pictures;
    for (qsizetype i = pictures.size() - 2; i >= 1; --i)
        played << pictures[i];
    return played;
}

void ImageAnimationScreen::startPreview(float frameTime) {
    platform::AnimatedImage animation;
    // Until the pictures made for the page are there, the photos themselves
    // play, shrunk by the view as they are drawn.
    animation.images =
        inPlayedOrder(previewPictures_.size() == arrOfSelectedImages.size() ? previewPictures_
                                                                            : arrOfSelectedImages);
    animation.duration = double(float(animation.images.size()) * frameTime);
    imageView_->setImage(std::move(animation));
}

void ImageAnimationScreen::makePreviewPictures() {
    const QSize box = imageView_->pixelSize();
    if (box.isEmpty() || arrOfSelectedImages.isEmpty() || box == previewBox_)
        return;
    previewBox_ = box;
    const int generation = ++previewGeneration_;
    QPointer<ImageAnimationScreen> self(this);
    platform::dispatch::background([self, generation, box, photos = arrOfSelectedImages] {
        QList<QImage> pictures;
        pictures.reserve(photos.size());
        for (const QImage& photo : photos)
            pictures << platform::viewPicture(photo, box);
        platform::dispatch::main([self, generation, pictures] {
            if (!self || generation != self->previewGeneration_)
                return;
            self->previewPictures_ = pictures;
            self->imageView_->setPictures(self->inPlayedOrder(pictures));
        });
    });
}

void ImageAnimationScreen::stopPreview() {
    imageView_->stopAnimating();
}

void ImageAnimationScreen::valueChange() {
    const int position = int(slider_->value());
    labels_->setValue(position - 1);
    stopPreview();
    if (position < 1 || position > int(render::kFrameTimes.size()))
        return;
    animationTime = render::kFrameTimes[std::size_t(position - 1)].seconds;
    startPreview(float(animationTime));
}

QUrl ImageAnimationScreen::destinationFor(double epochSeconds) {
    auto path = store::GifStore::standard().newGifPath(epochSeconds);
    return path ? QUrl::fromLocalFile(QString::fromStdString(path->string())) : QUrl();
}

void ImageAnimationScreen::btnCreateGIF() {
    QPointer<ImageAnimationScreen> self(this);
    if (output_->askForABudgetThatFits(this, [self] {
            if (self)
                self->btnCreateGIF();
        }))
        return;
    components::StatusHUD::showWithStatus(tr("Creating GIF..."));
    const QUrl destination = destinationFor(store::nowEpochSeconds());
    if (destination.isEmpty()) {
        rendered(destination, tr("The Documents folder cannot be made."));
        return;
    }
    output_->stopMeasuringAhead();       // the render takes the CPU
    components::ImageGifEncoder encoder; // a new one for each render
    encoder.createGIF(
        arrOfSelectedImages, 0, animationTime, destination,
        [self, destination](std::optional<QByteArray>, std::optional<QString> error) {
            platform::dispatch::main([self, destination, error] {
                if (self)
                    self->rendered(destination, error);
            });
        },
        output_->outputForRender(), output_->loop());
}

void ImageAnimationScreen::rendered(const QUrl& destination, const std::optional<QString>& error) {
    if (error) {
        platform::consoleLine(*error);
        components::StatusHUD::showErrorWithStatus(common::noticeWithCause(
            tr("Something Went Wrong. Try Again Later."), *error, tr("The work folder")));
        return;
    }
    stopPreview();
    gifURL = destination;
    home::openedFromHistory = false;
    components::StatusHUD::dismiss();
    performSegueWithIdentifier(QStringLiteral("segue_previewGIF"));
}

void ImageAnimationScreen::prepareForSegue(const platform::StoryboardSegue& segue) {
    if (segue.identifier != QStringLiteral("segue_previewGIF"))
        return;
    if (auto* preview = qobject_cast<library::GIFPreviewScreen*>(segue.destination))
        preview->gifURL = gifURL;
}

void ImageAnimationScreen::btnBack() {
    stopPreview();
    home::popOneScreen(this);
}

} // namespace flickbook::photos
