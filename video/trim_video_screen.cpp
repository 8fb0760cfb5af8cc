#include "video/trim_video_screen.h"

#include "common/common_utils.h"
#include "home/navigation_flags.h"
#include "home/navigation_rules.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "platform/navigation_controller.h"
#include "video/video_animation_screen.h"
#include "video_cutter.h"

#include <QPointer>

namespace flickbook::video {

TrimVideoScreen::TrimVideoScreen(QObject* parent)
    : ViewController(parent), layer_(new platform::PlayerLayer(nullptr, this)),
      viewMain_(new platform::VideoView(this)), trimmer_(new components::TrimmerView(this)),
      btnPlay_(new platform::Button(this)) {
    btnPlay_->setImage(common::imageNamed(common::kPlayImage));
}

TrimVideoScreen::~TrimVideoScreen() {
    // A camera recording lives in Flickbook's temporary folder until the
    // flow that trims it is over.
    if (selectedvideoAsset)
        common::removeTemporaryFile(*selectedvideoAsset);
}

void TrimVideoScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("Trim Video"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &TrimVideoScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
    auto* trim = new platform::BarButtonItem(tr("Trim"), this);
    connect(trim, &platform::BarButtonItem::triggered, this, &TrimVideoScreen::btnTrim);
    navigationItem()->setRightBarButtonItem(trim);

    QPointer<TrimVideoScreen> self(this);
    platform::dispatch::main([self] {
        if (self)
            self->setUpAsset();
    });
}

void TrimVideoScreen::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    // Back from the speed screen: the drags' decoder starts again.
    if (player_) {
        player_->setScrubbing(true);
        keepHandleFramesReady();
    }
    if (home::openedFromHistory)
        return;
    if (auto* right = navigationItem()->rightBarButtonItem())
        right->setTintColor(common::accentColor());
}

void TrimVideoScreen::setUpAsset() {
    trimmer_->setMinDuration(1.0);
    trimmer_->setMaxDuration(10.0);
    const QUrl asset = selectedvideoAsset.value_or(QUrl());
    trimmer_->setAsset(asset);
    trimmer_->setDelegate(this);
    trimmer_->setHandleColor(common::white());
    trimmer_->setMainColor(common::accentColor());
    trimmer_->setPositionBarColor(common::white());

    layer_->removeFromSuperlayer();
    player_ = new platform::Player(asset, this);
    player_->setScrubbing(true); // the handles' drags seek exactly, frame after frame
    connect(player_, &platform::Player::didPlayToEndTime, this,
            &TrimVideoScreen::itemDidFinishPlaying);
    connect(player_, &platform::Player::frameShown, this, &TrimVideoScreen::frameShown);
    // The handles stand once the trimmer has read the video's length.
    connect(trimmer_, &components::TrimmerView::assetLoaded, this,
            &TrimVideoScreen::keepHandleFramesReady);
    layer_->deleteLater();
    layer_ = new platform::PlayerLayer(player_, this);
    viewMain_->addSublayer(layer_);
    layer_->setVideoGravity(platform::PlayerLayer::VideoGravity::ResizeAspect);
}

void TrimVideoScreen::startPlaybackTimeChecker() {
    stopPlaybackTimeChecker();
    checker_ = new QTimer(this);
    checker_->setInterval(int(kCheckerInterval * 1000));
    connect(checker_, &QTimer::timeout, this, &TrimVideoScreen::onPlaybackTimeChecker);
    checker_->start();
}

void TrimVideoScreen::stopPlaybackTimeChecker() {
    if (!checker_)
        return;
    checker_->stop();
    checker_->deleteLater();
    checker_ = nullptr;
}

void TrimVideoScreen::btnPlayPause() {
    if (!player_)
        return;
    if (player_->rate() == 1.0) {
        player_->pause();
        stopPlaybackTimeChecker();
        btnPlay_->setImage(common::imageNamed(common::kPlayImage));
    } else {
        player_->play();
        startPlaybackTimeChecker();
        btnPlay_->setImage(common::imageNamed(common::kPauseImage));
    }
}

void TrimVideoScreen::onPlaybackTimeChecker() {
    const auto start = trimmer_->startTime();
    const auto end = trimmer_->endTime();
    if (!start || !end || !player_)
        return;
    const double t = player_->currentTime();
    trimmer_->seek(t);
    if (t >= *end) {
        player_->seekToTimeExactly(*start);
        trimmer_->seek(*start);
    }
}

void TrimVideoScreen::frameShown() {
    // Between the checker's ticks each frame shown while the stretch plays
    // is checked too, so the loop never shows more than a frame past its end.
    // While a handle is dragged the checker alone decides, so the frame under
    // the handle stays on screen for a moment.
    if (checker_ && !dragging_ && player_ && player_->rate() != 0.0)
        onPlaybackTimeChecker();
}

void TrimVideoScreen::didChangePositionBar(double playerTime) {
    dragging_ = true;
    if (player_) {
        player_->seekToTimeExactly(playerTime);
        player_->play();
    }
    startPlaybackTimeChecker();
}

void TrimVideoScreen::positionBarStoppedMoving(double playerTime) {
    dragging_ = false;
    btnPlay_->setImage(common::imageNamed(common::kPauseImage));
    if (player_)
        player_->seekToTimeExactly(playerTime);
    keepHandleFramesReady();
}

void TrimVideoScreen::keepHandleFramesReady() {
    // A drag starts at a handle; the frames behind each are decoded while the
    // screen rests, so that a handle dragged back shows them at once.
    const auto start = trimmer_->startTime();
    const auto end = trimmer_->endTime();
    if (player_ && start && end)
        player_->keepFramesReadyBehind({*start, *end});
}

void TrimVideoScreen::itemDidFinishPlaying() {
    const auto start = trimmer_->startTime();
    if (start && player_)
        player_->seekToTime(*start);
}

void TrimVideoScreen::btnTrim() {
    // A second tap while the cut runs would open the speed screen twice.
    if (!player_ || cutting_)
        return;
    if (player_->rate() != 0.0) {
        player_->pause();
        btnPlay_->setImage(common::imageNamed(common::kPlayImage));
        stopPlaybackTimeChecker();
    }
    const auto start = trimmer_->startTime();
    const auto end = trimmer_->endTime();
    if (!start || !end || !selectedvideoAsset) {
        platform::consoleLine(QStringLiteral("Error While Trim"));
        return;
    }
    cutting_ = true;
    cutStopsAt_.reset();
    QPointer<TrimVideoScreen> self(this);
    components::VideoCutter::current().cut(
        *selectedvideoAsset, *start, *end,
        [self, cutStart = *start](std::optional<QUrl> video, std::optional<QString> error) {
            if (self)
                self->cutting_ = false;
            if (!video) {
                platform::consoleLine(QStringLiteral("Error While Trim"));
                if (error)
                    platform::consoleLine(*error);
                return;
            }
            if (!self) {
                common::removeTemporaryFile(*video);
                return;
            }
            self->videoSongURL = *video;
            self->cutStart_ = cutStart;
            // The frames kept for drags are let go while the screen is
            // covered: the GIF is made meanwhile.
            if (self->player_)
                self->player_->setScrubbing(false);
            self->performSegueWithIdentifier(QStringLiteral("segue_videoAnimation"));
        },
        [self](double stopsAt) {
            if (self)
                self->cutStopsAt_ = stopsAt;
        });
}

void TrimVideoScreen::prepareForSegue(const platform::StoryboardSegue& segue) {
    if (segue.identifier != QStringLiteral("segue_videoAnimation"))
        return;
    if (auto* speed = qobject_cast<VideoAnimationScreen*>(segue.destination)) {
        speed->videoSongURL = videoSongURL;
        if (selectedvideoAsset)
            speed->sourceVideoURL = *selectedvideoAsset;
        speed->sourceStartSeconds = cutStart_;
        speed->sourceStopsAt = cutStopsAt_;
    }
}

void TrimVideoScreen::btnBack() {
    if (!player_)
        return;
    if (player_->rate() != 0.0) {
        player_->pause();
        stopPlaybackTimeChecker();
    }
    if (home::videoFromLibrary)
        home::popOneScreen(this);
    else
        home::returnToHomeScreen(navigationController());
}

} // namespace flickbook::video
