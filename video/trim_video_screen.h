#pragma once

// The trim screen, the middle step of the video flow: the video plays above
// a trimmer strip where the user chooses a stretch of 1 to 10 seconds, which
// loops; Trim cuts the file to it and opens the speed screen.

#include "platform/button.h"
#include "platform/player.h"
#include "platform/player_layer.h"
#include "platform/view_controller.h"
#include "trimmer_view.h"

#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace flickbook::video {

class TrimVideoScreen : public flickbook::platform::ViewController,
                        public components::TrimmerViewDelegate {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::platform::VideoView* ViewMain READ viewMain CONSTANT)
    Q_PROPERTY(flickbook::components::TrimmerView* trimmerView READ trimmerView CONSTANT)
    Q_PROPERTY(flickbook::platform::Button* btnPlay READ btnPlay CONSTANT)

public:
    static constexpr double kCheckerInterval = 0.1;

    explicit TrimVideoScreen(QObject* parent = nullptr);
    ~TrimVideoScreen() override;

    platform::VideoView* viewMain() const { return viewMain_; }
    components::TrimmerView* trimmerView() const { return trimmer_; }
    platform::Button* btnPlay() const { return btnPlay_; }
    platform::Player* player() const { return player_; }
    platform::PlayerLayer* layer() const { return layer_; }
    QTimer* playbackTimeCheckerTimer() const { return checker_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void prepareForSegue(const platform::StoryboardSegue& segue) override;

    void setUpAsset();

    Q_INVOKABLE void btnBack();
    Q_INVOKABLE void btnPlayPause();
    Q_INVOKABLE void btnTrim();
    void itemDidFinishPlaying();
    void onPlaybackTimeChecker();

    void didChangePositionBar(double playerTime) override;
    void positionBarStoppedMoving(double playerTime) override;

    // The video to trim, handed over by the picker or the camera screen.
    std::optional<QUrl> selectedvideoAsset;
    // The cut file, handed on to the speed screen.
    QUrl videoSongURL = QUrl::fromLocalFile(QString());

private:
    void startPlaybackTimeChecker();
    void stopPlaybackTimeChecker();
    void frameShown();
    void keepHandleFramesReady();

    platform::Player* player_ = nullptr;
    QTimer* checker_ = nullptr;
    platform::PlayerLayer* layer_;
    platform::VideoView* viewMain_;
    components::TrimmerView* trimmer_;
    platform::Button* btnPlay_;
    bool dragging_ = false;
    bool cutting_ = false;
    // Where the cut handed on begins in the video, and where the video
    // stops decoding when the stretch reached past that.
    double cutStart_ = 0;
    std::optional<double> cutStopsAt_;
};

} // namespace flickbook::video
