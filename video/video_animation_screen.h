#pragma once

// The speed screen, the last step of the video flow: the trimmed video loops
// silently at the chosen speed, and Create renders it into a new GIF in the
// work folder and opens it.

#include "camel_labels.h"
#include "common/output_choices.h"
#include "discrete_slider.h"
#include "platform/button.h"
#include "platform/player.h"
#include "platform/player_layer.h"
#include "platform/view_controller.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace flickbook::video {

class VideoAnimationScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::platform::VideoView* viewMain READ viewMain CONSTANT)
    Q_PROPERTY(flickbook::platform::Button* btnPlay READ btnPlay CONSTANT)
    Q_PROPERTY(flickbook::components::DiscreteSlider* sliderDiscrite READ sliderDiscrite CONSTANT)
    Q_PROPERTY(flickbook::components::CamelLabels* labelDiscrite READ labelDiscrite CONSTANT)
    Q_PROPERTY(flickbook::common::OutputChoices* output READ output CONSTANT)

public:
    static constexpr double kDelayBeforeSetUp = 0.1;

    explicit VideoAnimationScreen(QObject* parent = nullptr);
    ~VideoAnimationScreen() override;

    platform::VideoView* viewMain() const { return viewMain_; }
    platform::Button* btnPlay() const { return btnPlay_; }
    components::DiscreteSlider* sliderDiscrite() const { return slider_; }
    components::CamelLabels* labelDiscrite() const { return labels_; }
    common::OutputChoices* output() const { return output_; }
    platform::Player* player() const { return player_; }
    platform::PlayerLayer* layer() const { return layer_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void prepareForSegue(const platform::StoryboardSegue& segue) override;

    void setUp();
    void startPreview();

    Q_INVOKABLE void valueChange();
    Q_INVOKABLE void btnPlayPause();
    Q_INVOKABLE void btnBack();
    Q_INVOKABLE void btnCreateGIF();
    void itemDidFinishPlaying();
    // With bounce, the preview steps back through the GIF's own frames
    // after the video plays to its end, each for the frame's delay.
    bool isPlayingBackward() const { return rewind_.isActive(); }

    QUrl videoSongURL = QUrl::fromLocalFile(QString());
    // The user's file the video was cut from and where the cut begins in it,
    // for what the user is told; empty when the video is the user's own.
    QUrl sourceVideoURL;
    double sourceStartSeconds = 0;
    // Where the user's file stops decoding, when the cut reached past it.
    std::optional<double> sourceStopsAt;
    QUrl gifURL = QUrl::fromLocalFile(QString());
    float playerRate = 1.0f;
    qsizetype frameC = 5;
    float delayTime = 0.2f;

private:
    // On the background queue: the frame count from the video's length, then
    // the encoder; the outcome goes back to the screen, if it is still there.
    static void render(QPointer<VideoAnimationScreen> self, const QUrl& video, int framesPerSecond,
                       float delay, const render::OutputSize& output, render::Loop loop);
    // stoppedAt: where the video stopped decoding, when it ended early.
    void place(const QUrl& gif, std::optional<double> stoppedAt);
    void move(const QUrl& gif, const QUrl& destination, std::optional<double> stoppedAt);
    void failed(const QString& notice);
    // Names the user's file and the time in it where the video stops.
    QString endsEarlyNotice(double stopsAtInSource) const;
    // The frame count the speed gives the video, once its length is known.
    std::optional<std::size_t> frameCount() const;
    void estimateSize();
    void stepBack();
    void playFromStart();
    void stopPlayingBackward();

    platform::Player* player_ = nullptr;
    platform::PlayerLayer* layer_;
    platform::VideoView* viewMain_;
    platform::Button* btnPlay_;
    components::DiscreteSlider* slider_;
    components::CamelLabels* labels_;
    common::OutputChoices* output_;
    std::optional<double> durationSeconds_;
    QTimer rewind_;
    std::vector<double> rewindTimes_;
    std::size_t rewindNext_ = 0;
};

} // namespace flickbook::video
