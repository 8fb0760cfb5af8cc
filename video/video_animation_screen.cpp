#include "video/video_animation_screen.h"

#include "common/common_utils.h"
#include "core/output_file.h"
#include "home/navigation_flags.h"
#include "home/navigation_rules.h"
#include "library/gif_preview_screen.h"
#include "media/probe.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "render/presets.h"
#include "status_hud.h"
#include "store/gif_store.h"
#include "video_gif_encoder.h"

#include <QFile>
#include <QPointer>
#include <cmath>

namespace flickbook::video {

VideoAnimationScreen::VideoAnimationScreen(QObject* parent)
    : ViewController(parent), layer_(new platform::PlayerLayer(nullptr, this)),
      viewMain_(new platform::VideoView(this)), btnPlay_(new platform::Button(this)),
      slider_(new components::DiscreteSlider(this)), labels_(new components::CamelLabels(this)),
      output_(new common::OutputChoices(this)) {
    btnPlay_->setImage(common::imageNamed(common::kPlayImage));
    connect(slider_, &components::DiscreteSlider::valueChanged, this,
            &VideoAnimationScreen::valueChange);
    connect(&rewind_, &QTimer::timeout, this, &VideoAnimationScreen::stepBack);
    // A bounce turned off mid-way back plays forward again from the start.
    connect(output_, &common::OutputChoices::choicesChanged, this, [this] {
        if (isPlayingBackward() && output_->loop() == render::Loop::forward) {
            stopPlayingBackward();
            playFromStart();
        }
    });
}

VideoAnimationScreen::~VideoAnimationScreen() {
    // The cut video was made for this screen alone.
    common::removeTemporaryFile(videoSongURL);
}

void VideoAnimationScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("Speed"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &VideoAnimationScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
    auto* create = new platform::BarButtonItem(tr("Create"), this);
    connect(create, &platform::BarButtonItem::triggered, this, &VideoAnimationScreen::btnCreateGIF);
    navigationItem()->setRightBarButtonItem(create);

    QPointer<VideoAnimationScreen> self(this);
    platform::dispatch::mainAfter(kDelayBeforeSetUp, [self] {
        if (self)
            self->setUp();
    });
}

void VideoAnimationScreen::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (home::openedFromHistory)
        return;
    if (auto* right = navigationItem()->rightBarButtonItem())
        right->setTintColor(common::accentColor());
}

void VideoAnimationScreen::setUp() {
    QStringList names;
    for (const render::VideoSpeed& speed : render::kVideoSpeeds)
        names << QString::fromLatin1(speed.label.data(), qsizetype(speed.label.size()));
    common::setUpCamelLabels(*labels_, names, int(render::kDefaultVideoSpeed));
    common::setUpDiscreteSlider(*slider_, int(render::kVideoSpeeds.size()),
                                double(render::kDefaultVideoSpeed + 1));

    QPointer<VideoAnimationScreen> self(this);
    platform::dispatch::main([self] {
        if (self)
            self->startPreview();
    });
    // The length sets the frame count the estimate and the way back need.
    const QString video = videoSongURL.toLocalFile();
    platform::dispatch::background([self, video] {
        const auto info = media::probe(video.toStdString());
        const double duration = info ? info->durationSeconds : std::nan("");
        platform::dispatch::main([self, duration] {
            if (!self || !std::isfinite(duration))
                return;
            self->durationSeconds_ = duration;
            self->estimateSize();
        });
    });
}

std::optional<std::size_t> VideoAnimationScreen::frameCount() const {
    if (!durationSeconds_)
        return std::nullopt;
    return std::size_t(std::trunc(*durationSeconds_)) * std::size_t(frameC);
}

void VideoAnimationScreen::estimateSize() {
    const auto frames = frameCount();
    if (!frames || *frames == 0)
        return;
    render::VideoRequest request;
    request.source = videoSongURL.toLocalFile().toStdString();
    request.frameCount = *frames;
    request.delaySeconds = delayTime;
    // Every speed's frames come from one decode of the video, so that a
    // change of speed is estimated without decoding it again.
    std::vector<std::size_t> counts = render::videoFrameCounts(*durationSeconds_);
    if (std::find(counts.begin(), counts.end(), *frames) == counts.end())
        counts.push_back(*frames);
    output_->requestEstimate(common::OutputChoices::videoKey(*frames),
                             common::OutputChoices::videoSampler(request, std::move(counts)),
                             *frames);
}

void VideoAnimationScreen::startPreview() {
    stopPlayingBackward();
    layer_->removeFromSuperlayer();
    if (player_) {
        // The old player lets go of the picture before the new one takes it.
        player_->pause();
        player_->setVideoOutput(nullptr);
        player_->deleteLater();
    }
    player_ = new platform::Player(videoSongURL, this);
    connect(player_, &platform::Player::didPlayToEndTime, this,
            &VideoAnimationScreen::itemDidFinishPlaying);
    layer_->deleteLater();
    layer_ = new platform::PlayerLayer(player_, this);
    viewMain_->addSublayer(layer_);
    layer_->setVideoGravity(platform::PlayerLayer::VideoGravity::ResizeAspect);
    player_->setVolume(0.0);
    player_->playImmediatelyAtRate(playerRate);
    btnPlay_->setImage(common::imageNamed(common::kPauseImage));
}

void VideoAnimationScreen::valueChange() {
    const int position = int(slider_->value());
    labels_->setValue(position - 1);
    if (position < 1 || position > int(render::kVideoSpeeds.size()))
        return;
    const render::VideoSpeed& speed = render::kVideoSpeeds[std::size_t(position - 1)];
    playerRate = speed.playerRate;
    frameC = speed.framesPerSecond;
    delayTime = speed.delaySeconds;
    startPreview();
    estimateSize();
}

void VideoAnimationScreen::itemDidFinishPlaying() {
    // On the way back the player is paused and only seeks; an end it
    // reports then is not the end of a forward play.
    if (!player_ || isPlayingBackward())
        return;
    const auto frames = frameCount();
    if (output_->loop() == render::Loop::bounce && frames && *frames > 2) {
        // Back through frames n−1 … 2 of the GIF; the start comes next.
        rewindTimes_ = render::sampleTimes(*durationSeconds_, *frames);
        rewindNext_ = *frames - 2;
        player_->pause();
        rewind_.start(std::max(1, int(std::lround(delayTime * 1000))));
        stepBack();
        return;
    }
    playFromStart();
}

void VideoAnimationScreen::playFromStart() {
    if (!player_)
        return;
    player_->seekToTime(0.0);
    player_->playImmediatelyAtRate(playerRate);
}

void VideoAnimationScreen::stepBack() {
    if (!player_ || rewindNext_ == 0 || rewindNext_ >= rewindTimes_.size()) {
        stopPlayingBackward();
        playFromStart();
        return;
    }
    player_->seekToTimeExactly(rewindTimes_[rewindNext_--]);
}

void VideoAnimationScreen::stopPlayingBackward() {
    rewind_.stop();
    rewindTimes_.clear();
    rewindNext_ = 0;
}

void VideoAnimationScreen::btnPlayPause() {
    if (!player_)
        return;
    if (isPlayingBackward()) {
        // Paused on the way back: play resumes forward from that frame.
        stopPlayingBackward();
        btnPlay_->setImage(common::imageNamed(common::kPlayImage));
        return;
    }
    if (player_->rate() != 0.0) {
        player_->pause();
        btnPlay_->setImage(common::imageNamed(common::kPlayImage));
    } else {
        player_->playImmediatelyAtRate(playerRate);
        btnPlay_->setImage(common::imageNamed(common::kPauseImage));
    }
}

void VideoAnimationScreen::btnBack() {
    if (!player_)
        return;
    stopPlayingBackward();
    if (player_->rate() != 0.0)
        player_->pause();
    home::popOneScreen(this);
}

void VideoAnimationScreen::btnCreateGIF() {
    if (!player_)
        return;
    stopPlayingBackward();
    player_->pause();
    btnPlay_->setImage(common::imageNamed(common::kPlayImage));
    if (!QFile::exists(videoSongURL.toLocalFile())) {
        components::StatusHUD::showInfoWithStatus(
            tr("No video found please try again from start."));
        return;
    }
    QPointer<VideoAnimationScreen> self(this);
    if (output_->askForABudgetThatFits(this, [self] {
            if (self)
                self->btnCreateGIF();
        }))
        return;
    components::StatusHUD::showWithStatus(tr("Creating GIF..."));
    output_->stopMeasuringAhead(); // the render takes the CPU
    const QUrl video = videoSongURL;
    const int framesPerSecond = int(frameC);
    const float delay = delayTime;
    const render::OutputSize output = output_->outputForRender();
    const render::Loop loop = output_->loop();
    platform::dispatch::background([self, video, framesPerSecond, delay, output, loop] {
        // The screen is not touched here; only what it handed over.
        VideoAnimationScreen::render(self, video, framesPerSecond, delay, output, loop);
    });
}

void VideoAnimationScreen::render(QPointer<VideoAnimationScreen> self, const QUrl& video,
                                  int framesPerSecond, float delay,
                                  const render::OutputSize& output, render::Loop loop) {
    const auto info = media::probe(video.toLocalFile().toStdString());
    const double duration = info ? info->durationSeconds : std::nan("");
    if (!std::isfinite(duration)) {
        const QString reason = info ? tr("The length of this video cannot be read.")
                                    : QString::fromStdString(info.error().message);
        platform::dispatch::main([self, reason] {
            if (self)
                self->failed(reason);
        });
        return;
    }
    const int frameCount = int(std::trunc(duration)) * framesPerSecond;
    // The encoder reports an early end before it completes, on this thread.
    std::optional<double> stoppedAt;
    components::VideoGifEncoder::createGIFFromSource(
        video, std::nullopt, frameCount, delay, 0, std::nullopt, nullptr,
        [self, frameCount, &stoppedAt](std::optional<QUrl> gif, const QString& failure) {
            platform::dispatch::main([self, gif, failure, frameCount, stoppedAt] {
                if (!self) {
                    // Nobody is left to show it: the unplaced GIF goes.
                    if (gif)
                        QFile::remove(gif->toLocalFile());
                    return;
                }
                if (!gif)
                    self->failed(frameCount == 0
                                     ? tr("The video is shorter than one second.")
                                     : tr("The GIF could not be made. %1").arg(failure));
                else
                    self->place(*gif, stoppedAt);
            });
        },
        [&stoppedAt](double seconds) { stoppedAt = seconds; }, output, loop);
}

void VideoAnimationScreen::place(const QUrl& gif, std::optional<double> stoppedAt) {
    auto destination = store::GifStore::standard().newGifPath(store::nowEpochSeconds());
    if (!destination) {
        QFile::remove(gif.toLocalFile());
        failed(QString::fromStdString(destination.error().message));
        return;
    }
    const QUrl target = QUrl::fromLocalFile(QString::fromStdString(destination->string()));
    QPointer<VideoAnimationScreen> self(this);
    platform::dispatch::main([self, gif, target, stoppedAt] {
        if (self)
            self->move(gif, target, stoppedAt);
        else
            QFile::remove(gif.toLocalFile());
    });
}

void VideoAnimationScreen::move(const QUrl& gif, const QUrl& destination,
                                std::optional<double> stoppedAt) {
    const auto moved = moveWithoutReplacing(gif.toLocalFile().toStdString(),
                                            destination.toLocalFile().toStdString());
    if (!moved) {
        QFile::remove(gif.toLocalFile());
        failed(moved.error().code == "file.exists"
                   ? tr("A GIF named %1 was just made. Try again in a second.")
                         .arg(destination.fileName())
                   : tr("The GIF could not be put in your work folder. %1")
                         .arg(QString::fromStdString(moved.error().message)));
        return;
    }
    gifURL = destination;
    home::openedFromHistory = false;
    components::StatusHUD::dismiss();
    performSegueWithIdentifier(QStringLiteral("segue_previewGIF"));
    // Times in the cut are from its start; the cut may itself have ended
    // where the user's file stops.
    const std::optional<double> stopsAt =
        stoppedAt ? std::optional<double>(sourceStartSeconds + *stoppedAt) : sourceStopsAt;
    if (stopsAt) {
        // The GIF is made and shown; the notice passes over it on its own.
        const QString notice = endsEarlyNotice(*stopsAt);
        platform::consoleLine(notice);
        components::StatusHUD::showInfoWithStatus(notice);
    }
}

QString VideoAnimationScreen::endsEarlyNotice(double stopsAtInSource) const {
    const QUrl named = sourceVideoURL.isEmpty() ? videoSongURL : sourceVideoURL;
    return tr("“%1” stops at %2 s: the file is cut short or damaged. The GIF ends there.")
        .arg(named.fileName())
        .arg(stopsAtInSource, 0, 'f', 2);
}

void VideoAnimationScreen::failed(const QString& notice) {
    platform::consoleLine(notice);
    components::StatusHUD::showErrorWithStatus(notice);
}

void VideoAnimationScreen::prepareForSegue(const platform::StoryboardSegue& segue) {
    if (segue.identifier != QStringLiteral("segue_previewGIF"))
        return;
    if (auto* preview = qobject_cast<library::GIFPreviewScreen*>(segue.destination))
        preview->gifURL = gifURL;
}

} // namespace flickbook::video
