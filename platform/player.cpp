#include "player.h"

#include "desktop.h"
#include "dispatch.h"
#include "media/probe.h"
#include "scrub_frames.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QScopedValueRollback>
#include <QVideoFrame>
#include <QVideoSink>
#include <algorithm>
#include <cmath>
#include <limits>

namespace flickbook::platform {

namespace {
// How long a seek may take before the next one is let through anyway (a
// seek that shows no new frame, e.g. with no output attached).
constexpr int kSeekGuardMilliseconds = 400;
// A frame further than this from a seek's target was shown before the seek
// took effect, or the seek was lost; it is made again, a few times at most.
constexpr qint64 kSeekMissedMilliseconds = 250;
constexpr int kSeekRetries = 3;
// While drag frames show, the media stack takes the latest target only once
// the drag has rested this long: each of its seeks decodes from a keyframe,
// work the drag frames have already done, on the same cores.
constexpr int kDragRestMilliseconds = 100;
} // namespace

Player::Player(const QUrl& item, QObject* parent)
    : QObject(parent), url_(item), media_(new QMediaPlayer(this)), frames_(new QVideoSink(this)) {
    seekGuard_.setSingleShot(true);
    connect(&seekGuard_, &QTimer::timeout, this, &Player::seekSettled);
    dragRest_.setSingleShot(true);
    dragRest_.setInterval(kDragRestMilliseconds);
    connect(&dragRest_, &QTimer::timeout, this, &Player::startWaitingSeek);
    connect(media_, &QMediaPlayer::mediaStatusChanged, this, &Player::mediaStatusChanged);
    connect(media_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& message) {
                consoleLine(
                    QStringLiteral("%1 cannot be played: %2").arg(url_.toLocalFile(), message));
                errorString_ = message;
                if (!failed_) {
                    failed_ = true;
                    Q_EMIT failedChanged();
                }
                setRate(0.0);
            });
    // The media stack draws into the player's own sink, which lives as long
    // as the player; frames are handed on to whatever shows them. A video
    // item can then go away (a page popped, the window closed) while the
    // media stack is still running without it ever drawing into freed memory.
    media_->setVideoOutput(frames_);
    connect(frames_, &QVideoSink::videoFrameChanged, this, &Player::onFrame);
    updateAudio();
    media_->setSource(item);

    // The frame rate makes exact seeks aim at the middle of a frame; reading
    // it opens the file, so it is done off the GUI thread.
    if (item.isLocalFile()) {
        QPointer<Player> self(this);
        const std::string path = item.toLocalFile().toStdString();
        dispatch::background([self, path] {
            const auto info = media::probe(path);
            const double rate = info ? info->frameRate : 0.0;
            dispatch::main([self, rate] {
                if (self)
                    self->frameRate_ = rate;
            });
        });
    }
}

Player::~Player() {
    // The media player hands its output an empty frame while it is destroyed.
    disconnect(frames_, nullptr, this, nullptr);
    // Not stopped first: a stop waits for the pipeline to pause, up to a
    // second on a busy machine with the window frozen; the media player
    // takes its pipeline down as it goes.
}

void Player::setVideoOutput(QObject* output) {
    if (videoOutput_ == output)
        return;
    videoOutput_ = output;
    // A VideoOutput item draws what reaches its sink; a plain sink is its
    // own output.
    target_ = qobject_cast<QVideoSink*>(output);
    if (!target_ && output)
        target_ = output->property("videoSink").value<QVideoSink*>();
    if (target_ && lastFrame_.isValid())
        target_->setVideoFrame(lastFrame_);
    Q_EMIT videoOutputChanged();
}

void Player::onFrame(const QVideoFrame& frame) {
    if (!frame.isValid())
        return;
    const QScopedValueRollback inHandler(inFrameHandler_, true);
    // The first frame of a new item is the file's first frame.
    if (!mediaTimeOffset_ && seekInFlightTo_ < 0)
        mediaTimeOffset_ = frame.startTime();
    // While a drag frame shows and a newer target waits, the media stack's
    // frames are of a target the drag has left: they stay back until it
    // works on the latest.
    const bool behindScrub = scrubShown_ && seekWaiting_.has_value();
    if (!behindScrub) {
        scrubShown_.reset();
        lastFrame_ = frame;
        if (target_)
            target_->setVideoFrame(frame);
    }
    if (seekInFlight_) {
        // The media stack drops a seek made while it is still starting to
        // play; a frame far from the target means the seek did not happen.
        if (std::abs(media_->position() - seekInFlightTo_) > kSeekMissedMilliseconds &&
            seekRetries_ < kSeekRetries) {
            ++seekRetries_;
            seekDeferred_ = true;
            seekWaiting_ = seekWaiting_.value_or(seekInFlightTo_);
            seekInFlight_ = false;
            seekGuard_.stop();
            QTimer::singleShot(0, this, &Player::startWaitingSeek);
        } else {
            seekSettled();
        }
    }
    if (!behindScrub)
        Q_EMIT frameShown();
}

void Player::mediaStatusChanged() {
    switch (media_->mediaStatus()) {
    case QMediaPlayer::LoadedMedia:
        if (!loaded_) {
            loaded_ = true;
            // A new item stands on its first frame; the media stack shows
            // frames, and follows seeks, only once it is paused or playing.
            if (media_->playbackState() == QMediaPlayer::StoppedState)
                media_->pause();
            startWaitingSeek();
        }
        break;
    case QMediaPlayer::EndOfMedia:
        // The media stack stops, showing the last frame.
        atEnd_ = true;
        setRate(0.0);
        Q_EMIT didPlayToEndTime();
        break;
    case QMediaPlayer::InvalidMedia:
        if (!failed_) {
            failed_ = true;
            errorString_ = media_->errorString();
            Q_EMIT failedChanged();
        }
        setRate(0.0);
        break;
    default:
        break;
    }
}

void Player::setRate(double rate) {
    if (rate_ == rate)
        return;
    rate_ = rate;
    Q_EMIT rateChanged();
}

void Player::playImmediatelyAtRate(double rate) {
    if (rate <= 0.0) {
        pause();
        return;
    }
    if (failed_)
        return;
    atEnd_ = false;
    media_->setPlaybackRate(rate);
    media_->play();
    setRate(rate);
}

void Player::pause() {
    media_->pause();
    setRate(0.0);
}

double Player::currentTime() const {
    if (seekTarget_)
        return double(*seekTarget_) / 1000.0;
    return double(media_->position()) / 1000.0;
}

double Player::duration() const {
    if (!loaded_ && media_->duration() <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    return double(media_->duration()) / 1000.0;
}

qint64 Player::exactSeekTarget(double seconds, double frameRate) {
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return 0;
    if (frameRate <= 0.0)
        return qint64(std::llround(seconds * 1000.0));
    // A tiny allowance so that k / rate, computed in floating point, counts
    // as frame k and not as the end of frame k − 1.
    const double frame = std::floor(seconds * frameRate + 1e-6);
    return qint64(std::llround((frame + 0.5) / frameRate * 1000.0));
}

void Player::seekToTime(double seconds) {
    const qint64 ms =
        std::isfinite(seconds) && seconds > 0 ? qint64(std::llround(seconds * 1000)) : 0;
    issueSeek(ms);
}

void Player::seekToTimeExactly(double seconds) {
    const qint64 target = exactSeekTarget(seconds, frameRate_);
    if (scrub_ && frameRate_ > 0.0)
        scrub_->request(target);
    issueSeek(target);
}

void Player::setScrubbing(bool on) {
    if (!on) {
        scrub_.reset();
        scrubShown_.reset();
        if (dragRest_.isActive()) {
            dragRest_.stop();
            startWaitingSeek();
        }
        return;
    }
    if (scrub_ || !url_.isLocalFile())
        return;
    QPointer<Player> self(this);
    scrub_ = std::make_unique<ScrubFrames>(url_.toLocalFile().toStdString(),
                                           [self](const QVideoFrame& frame, qint64 asked) {
                                               if (self)
                                                   self->scrubFrameReady(frame, asked);
                                           });
}

void Player::keepFramesReadyBehind(const QList<double>& seconds) {
    if (!scrub_)
        return;
    // Where an exact seek to each would aim.
    std::vector<double> targets;
    for (double t : seconds)
        targets.push_back(double(exactSeekTarget(t, frameRate_)) / 1000.0);
    scrub_->keepReadyBehind(std::move(targets));
}

void Player::scrubFrameReady(QVideoFrame frame, qint64 askedMilliseconds) {
    // Only while the media stack has not reached the latest target. A frame
    // for a target the drag has since passed is still nearer than what
    // shows, as long as a newer target is on its way.
    if (!scrub_ || !seekTarget_ || scrubShown_ == askedMilliseconds)
        return;
    // Stamped as the media stack stamps the first frame after a seek: the
    // seek's position, on its clock.
    frame.setStartTime(askedMilliseconds * 1000 + mediaTimeOffset_.value_or(0));
    frame.setEndTime(-1);
    lastFrame_ = frame;
    if (target_)
        target_->setVideoFrame(frame);
    scrubShown_ = askedMilliseconds;
    Q_EMIT frameShown();
}

void Player::issueSeek(qint64 milliseconds) {
    seekTarget_ = milliseconds;
    if (!loaded_ || seekInFlight_ || seekDeferred_) {
        seekWaiting_ = milliseconds;
        if (dragRest_.isActive())
            dragRest_.start(); // the drag goes on
        return;
    }
    // A seek asked for by whoever watches frameShown() starts from the event
    // loop: the media stack stops with an internal data-flow error when it
    // is re-entered from inside its frame handler.
    if (inFrameHandler_) {
        seekWaiting_ = milliseconds;
        seekDeferred_ = true;
        QTimer::singleShot(0, this, &Player::startWaitingSeek);
        return;
    }
    startSeek(milliseconds);
}

void Player::startSeek(qint64 milliseconds) {
    atEnd_ = false;
    seekInFlight_ = true;
    if (milliseconds != seekInFlightTo_)
        seekRetries_ = 0;
    seekInFlightTo_ = milliseconds;
    seekGuard_.start(kSeekGuardMilliseconds);
    // Stopped at the end, the media stack ignores seeks until it is paused.
    if (media_->playbackState() == QMediaPlayer::StoppedState)
        media_->pause();
    media_->setPosition(milliseconds);
}

void Player::seekSettled() {
    seekGuard_.stop();
    seekInFlight_ = false;
    if (!seekWaiting_) {
        seekTarget_.reset();
        return;
    }
    // The latest waiting target goes next, but never from inside the frame
    // handler: the media stack stops with an internal data-flow error when
    // it is re-entered there.
    seekDeferred_ = true;
    if (scrubShown_) {
        dragRest_.start();
        return;
    }
    QTimer::singleShot(0, this, &Player::startWaitingSeek);
}

void Player::startWaitingSeek() {
    seekDeferred_ = false;
    if (!seekWaiting_ || seekInFlight_)
        return;
    const qint64 next = *seekWaiting_;
    seekWaiting_.reset();
    startSeek(next);
}

void Player::setVolume(double volume) {
    volume_ = std::clamp(volume, 0.0, 1.0);
    updateAudio();
}

void Player::updateAudio() {
    // A silent player has no audio output at all, and neither has a machine
    // without a sound device: the media stack then plays the picture alone.
    const bool audible = volume_ > 0.0 && !QMediaDevices::audioOutputs().isEmpty();
    if (!audible) {
        if (audio_) {
            media_->setAudioOutput(nullptr);
            audio_->deleteLater();
            audio_ = nullptr;
        }
        return;
    }
    if (!audio_) {
        audio_ = new QAudioOutput(this);
        media_->setAudioOutput(audio_);
    }
    audio_->setVolume(float(volume_));
}

} // namespace flickbook::platform
