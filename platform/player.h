#pragma once

// A video player over Qt Multimedia: one item (a file), a playback rate (0
// while paused), the time of the frame shown, seeks with the default
// tolerance or exact to the frame, volume, and a signal when the item has
// played to its end. A QML VideoOutput set as its videoOutput shows the
// picture; the player layer decides how it is fitted.
//
// Seeks go through one queue: at most one is in flight in the media stack at
// a time, and a new target replaces one still waiting, so a handle dragged
// across a long video never piles seeks up on the GUI thread.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QtQml/qqmlregistration.h>
#include <memory>
#include <optional>

class QAudioOutput;
namespace flickbook::platform {
class ScrubFrames;
}
class QMediaPlayer;
class QVideoSink;

namespace flickbook::platform {

class Player : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A player is made by its screen")
    // The VideoOutput item (or a QVideoSink) that shows the picture.
    Q_PROPERTY(QObject* videoOutput READ videoOutput WRITE setVideoOutput NOTIFY videoOutputChanged)
    Q_PROPERTY(double rate READ rate NOTIFY rateChanged)
    Q_PROPERTY(QUrl url READ url CONSTANT)

public:
    explicit Player(const QUrl& item, QObject* parent = nullptr);
    ~Player() override;

    QUrl url() const { return url_; }

    QObject* videoOutput() const { return videoOutput_; }
    void setVideoOutput(QObject* output);

    // 0 while paused or stopped at the end, else the rate playback runs at.
    double rate() const { return rate_; }
    void play() { playImmediatelyAtRate(1.0); }
    void playImmediatelyAtRate(double rate);
    void pause();

    // Seconds of the frame shown (of the seek's target while one is pending).
    double currentTime() const;
    // Seconds; NaN until the item has loaded, or when it cannot be played.
    double duration() const;
    // Frames per second of the item; 0 until known.
    double frameRate() const { return frameRate_; }

    // A seek that may land near the time.
    void seekToTime(double seconds);
    // A seek that shows exactly the frame at that time.
    void seekToTimeExactly(double seconds);
    // Exact seeks also decode their frame on a thread of the player's own
    // and show it as soon as it is there, ahead of the media stack, which
    // decodes from the keyframe before it on every seek: for a handle that
    // is dragged. Local files only.
    void setScrubbing(bool on);
    bool isScrubbing() const { return scrub_ != nullptr; }
    // While scrubbing: times a drag is likely to start from (a trimmer's
    // handles). The frames just behind them are decoded ahead of time, so a
    // handle dragged back shows its frames from memory.
    void keepFramesReadyBehind(const QList<double>& seconds);

    double volume() const { return volume_; }
    void setVolume(double volume);

    // The media stack could not open or play the item.
    bool failed() const { return failed_; }
    QString errorString() const { return errorString_; }

    // Where a frame-exact seek to t aims: the middle of the frame that t
    // falls in, because a seek aimed at a frame's exact start sometimes
    // shows the frame before it. In milliseconds.
    static qint64 exactSeekTarget(double seconds, double frameRate);

signals:
    void videoOutputChanged();
    void rateChanged();
    // The item played to its end; playback stands still on the last frame.
    void didPlayToEndTime();
    // A picture reached the output (after playing on or after a seek).
    void frameShown();
    void failedChanged();

private:
    void mediaStatusChanged();
    void onFrame(const QVideoFrame& frame);
    void issueSeek(qint64 milliseconds);
    void startSeek(qint64 milliseconds);
    void seekSettled();
    void startWaitingSeek();
    void updateAudio();
    void setRate(double rate);
    void scrubFrameReady(QVideoFrame frame, qint64 askedMilliseconds);

    QUrl url_;
    QMediaPlayer* media_;
    QAudioOutput* audio_ = nullptr;
    QVideoSink* frames_;
    QVideoFrame lastFrame_;
    QPointer<QObject> videoOutput_;
    QPointer<QVideoSink> target_;
    double rate_ = 0.0;
    double volume_ = 1.0;
    double frameRate_ = 0.0;
    bool loaded_ = false;
    bool failed_ = false;
    QString errorString_;
    bool atEnd_ = false;
    // The seek queue: one in the media stack, the latest waiting behind it.
    bool seekInFlight_ = false;
    bool seekDeferred_ = false;
    qint64 seekInFlightTo_ = -1;
    int seekRetries_ = 0;
    std::optional<qint64> seekWaiting_;
    std::optional<qint64> seekTarget_;
    QTimer seekGuard_;
    // Drag frames, and the target of the one shown while the media stack
    // still works on an earlier seek (whose frames are then held back).
    std::unique_ptr<ScrubFrames> scrub_;
    std::optional<qint64> scrubShown_;
    QTimer dragRest_;
    bool inFrameHandler_ = false;
    // The media stack's frame times run this far ahead of its positions (it
    // keeps an edit list's offset in them); drag frames are stamped alike.
    std::optional<qint64> mediaTimeOffset_;
};

} // namespace flickbook::platform
