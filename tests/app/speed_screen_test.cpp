// The speed screen: its set-up, the five speeds, the looping silent preview,
// Create with every way it can fail, and the flow from this screen to the
// preview in the real window on a real clip.

#include "app/app_window.h"
#include "app/main_storyboard.h"
#include "app_test_support.h"
#include "common/common_utils.h"
#include "common/output_choices.h"
#include "gif/animation.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "library/gif_preview_screen.h"
#include "media_fixtures.h"
#include "platform/navigation_controller.h"
#include "status_hud.h"
#include "video/video_animation_screen.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QVideoSink>
#include <memory>

using namespace flickbook;
using video::VideoAnimationScreen;

namespace {

// A stack of home and the speed screen, with the preview registered behind it.
struct SpeedStack {
    SpeedStack() {
        storyboard.declareSegue("segue_previewGIF", "GIFPreviewScreen");
        storyboard.registerScene("segue_previewGIF", QUrl(), [](QObject* parent) {
            return new library::GIFPreviewScreen(parent);
        });
        navigation = std::make_unique<platform::NavigationController>(storyboard);
        navigation->setRootViewController(new home::HomeScreen(), QUrl());
    }
    VideoAnimationScreen* open(const QString& video) {
        screen = new VideoAnimationScreen();
        screen->videoSongURL = QUrl::fromLocalFile(video);
        navigation->pushViewController(screen, QUrl(), false);
        return screen;
    }
    platform::Storyboard storyboard;
    std::unique_ptr<platform::NavigationController> navigation;
    VideoAnimationScreen* screen = nullptr;
};

QUrl imageNamed(const char* name) {
    return common::imageNamed(QLatin1String(name));
}

} // namespace

class SpeedScreenTest : public QObject {
    Q_OBJECT

public:
    explicit SpeedScreenTest(testing::PrivateHome& home) : home_(home) {}

private:
    testing::PrivateHome& home_;
    QTemporaryDir clips_;
    QString clip10_;    // 10.9 s at 20 fps
    QString clipShort_; // 0.4 s
    std::unique_ptr<app::AppWindow> app_;

    QString workGif() const {
        const QStringList gifs = QDir(home_.workFolder()).entryList({"*.gif"}, QDir::Files);
        return gifs.size() == 1 ? home_.workFolder() + "/" + gifs.first() : QString();
    }
    QStringList temporaryFiles() const {
        return QDir(home_.dataHome() + "/Flickbook/tmp").entryList(QDir::Files | QDir::Hidden);
    }
    // Waits for the HUD to show a notice (or for the preview to be pushed).
    static bool waitForOutcome(SpeedStack& stack) {
        auto& hud = components::StatusHUD::shared();
        return QTest::qWaitFor(
            [&] {
                return (hud.isVisible() && hud.kind() != components::StatusHUD::Activity) ||
                       qobject_cast<library::GIFPreviewScreen*>(
                           stack.navigation->topViewController());
            },
            30000);
    }

private slots:
    void initTestCase() {
        testsupport::ClipParameters ten;
        ten.seconds = 10.9;
        ten.fps = 20;
        clip10_ = clips_.filePath("ten.mp4");
        QVERIFY(testsupport::makeCounterClip(clip10_.toStdString(), ten));
        testsupport::ClipParameters brief;
        brief.seconds = 0.4;
        clipShort_ = clips_.filePath("brief.mp4");
        QVERIFY(testsupport::makeCounterClip(clipShort_.toStdString(), brief));
    }
    void init() {
        QCoreApplication::processEvents();
        components::StatusHUD::dismiss();
        home_.wipe();
        QDir().mkpath(home_.workFolder());
        home::openedFromHistory = false;
    }
    void cleanup() {
        components::StatusHUD::dismiss();
        app_.reset();
    }

    // The first tenth of a second nothing plays and the buttons do nothing;
    // then the slider stands on "1x" and the preview plays, silent.
    void setUpComesATenthOfASecondAfterLoading() {
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip10_);
        QVERIFY(!screen->player());
        QVERIFY(screen->labelDiscrite()->names.isEmpty());
        screen->btnBack(); // no player yet: nothing
        screen->btnPlayPause();
        QCOMPARE(stack.navigation->depth(), 2);
        QTRY_VERIFY(screen->player());
        QCOMPARE(screen->labelDiscrite()->names,
                 QStringList({"2x", "1.5x", "1x", "0.75x", "0.5x"}));
        QCOMPARE(screen->labelDiscrite()->value, 2);
        QCOMPARE(screen->labelDiscrite()->upFontSize, 13.0);
        QCOMPARE(screen->labelDiscrite()->downFontSize, 10.0);
        QCOMPARE(screen->sliderDiscrite()->value(), 3.0);
        QCOMPARE(screen->sliderDiscrite()->tickCount(), 5);
        QCOMPARE(screen->sliderDiscrite()->minimumTrackTintColor, common::accentColor());
        QCOMPARE(screen->sliderDiscrite()->thumbImage, imageNamed("point"));
        QCOMPARE(screen->player()->rate(), 1.0);
        QCOMPARE(screen->player()->volume(), 0.0);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("pause"));
        QCOMPARE(screen->viewMain()->layer(), screen->layer());
        QCOMPARE(screen->layer()->player(), screen->player());
        QCOMPARE(screen->layer()->videoGravity(),
                 platform::PlayerLayer::VideoGravity::ResizeAspect);
        QCOMPARE(screen->navigationItem()->rightBarButtonItem()->tintColor(),
                 common::accentColor());
    }

    void everySpeedSetsRateFramesAndDelay_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("frames");
        QTest::addColumn<float>("delay");
        QTest::newRow("2x") << 1 << 2.0 << 5 << 0.1f;
        QTest::newRow("1.5x") << 2 << 1.5 << 5 << 0.15f;
        QTest::newRow("1x") << 3 << 1.0 << 5 << 0.2f;
        QTest::newRow("0.75x") << 4 << 0.75 << 6 << 0.25f;
        QTest::newRow("0.5x") << 5 << 0.5 << 7 << 0.3f;
    }
    void everySpeedSetsRateFramesAndDelay() {
        QFETCH(int, position);
        QFETCH(double, rate);
        QFETCH(int, frames);
        QFETCH(float, delay);
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip10_);
        QTRY_VERIFY(screen->player());
        // Paused first: a speed change restarts the preview playing anyway.
        screen->btnPlayPause();
        QCOMPARE(screen->player()->rate(), 0.0);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("play"));
        platform::Player* before = screen->player();
        screen->sliderDiscrite()->userMoved(position == 3 ? 1 : 3); // a real change first
        screen->sliderDiscrite()->userMoved(position);
        QVERIFY(screen->player() != before);
        QCOMPARE(screen->playerRate, float(rate));
        QCOMPARE(int(screen->frameC), frames);
        QCOMPARE(screen->delayTime, delay);
        QCOMPARE(screen->labelDiscrite()->value, position - 1);
        QCOMPARE(screen->player()->rate(), rate);
        QCOMPARE(screen->player()->volume(), 0.0);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("pause"));
        QCOMPARE(screen->layer()->player(), screen->player());
    }

    // At the end of the clip the preview starts again from the first frame at
    // the chosen rate.
    void thePreviewLoopsAtTheChosenRate() {
        testsupport::ClipParameters spec;
        spec.seconds = 1.2;
        const QString clip = clips_.filePath("loop.mp4");
        QVERIFY(testsupport::makeCounterClip(clip.toStdString(), spec));
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip);
        QTRY_VERIFY(screen->player());
        screen->sliderDiscrite()->userMoved(1); // 2x
        QVideoSink sink;
        QList<int> shown;
        connect(&sink, &QVideoSink::videoFrameChanged, this,
                [&](const QVideoFrame& frame) { shown << testing::counterShown(frame); });
        screen->player()->setVideoOutput(&sink);
        QSignalSpy ended(screen->player(), &platform::Player::didPlayToEndTime);
        QVERIFY(ended.wait(5000));
        shown.clear();
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 3, 3000);
        QVERIFY2(shown.first() <= 3, qPrintable(QString::number(shown.first())));
        QCOMPARE(screen->player()->rate(), 2.0);
        QVERIFY(ended.wait(5000)); // and again
    }

    // With bounce the preview plays to the end, then steps back through the
    // GIF's own frames (n−1 … 2, each for the frame's delay), then plays
    // forward again.
    void bounceStepsBackThroughTheGifsFrames() {
        testsupport::ClipParameters spec;
        spec.seconds = 1.2; // at 1x five frames, at 0, 0.24, 0.48, 0.72, 0.96 s
        const QString clip = clips_.filePath("bounce.mp4");
        QVERIFY(testsupport::makeCounterClip(clip.toStdString(), spec));
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip);
        QTRY_VERIFY(screen->player());
        screen->output()->setLoopIndex(1);
        QTRY_VERIFY(!screen->output()->estimate().isEmpty()); // the length is known
        QVideoSink sink;
        QList<int> shown;
        connect(&sink, &QVideoSink::videoFrameChanged, this,
                [&](const QVideoFrame& frame) { shown << testing::counterShown(frame); });
        screen->player()->setVideoOutput(&sink);
        // From the start of a way back (the estimate took a while).
        QTRY_VERIFY_WITH_TIMEOUT(!screen->isPlayingBackward(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(screen->isPlayingBackward(), 5000);
        shown.clear();
        QTRY_VERIFY_WITH_TIMEOUT(!screen->isPlayingBackward(), 5000);
        QCOMPARE(screen->player()->rate(), 1.0); // forward again
        // Frames 18, 12 and 6 of the 25 fps clip, in that order (a busy
        // machine may show fewer of them; never another one).
        QList<int> back;
        for (int frame : shown)
            if (frame >= 0 && frame <= 18 && (back.isEmpty() || back.last() != frame))
                back << frame;
        QStringList seen;
        for (int frame : back)
            seen << QString::number(frame);
        QVERIFY2(!back.isEmpty(), "no frame was shown on the way back");
        for (qsizetype i = 0; i < back.size(); ++i) {
            QVERIFY2(back[i] == 18 || back[i] == 12 || back[i] == 6 || (i == back.size() - 1),
                     qPrintable(seen.join(' ')));
            if (i > 0 && i < back.size() - 1)
                QVERIFY2(back[i] < back[i - 1], qPrintable(seen.join(' ')));
        }
        // Pause on the way back stops there.
        QTRY_VERIFY_WITH_TIMEOUT(screen->isPlayingBackward(), 5000);
        screen->btnPlayPause();
        QVERIFY(!screen->isPlayingBackward());
        QCOMPARE(screen->player()->rate(), 0.0);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("play"));
    }

    // The size and bounce chosen reach the estimate and the GIF: 2n − 2
    // frames at the chosen long edge, about as large as the estimate said.
    void sizeAndBounceReachTheEstimateAndTheGif() {
        testsupport::ClipParameters spec;
        spec.seconds = 3.5;
        spec.width = 640;
        spec.height = 360;
        const QString clip = clips_.filePath("wide.mp4");
        QVERIFY(testsupport::makeCounterClip(clip.toStdString(), spec));
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip);
        common::OutputChoices* output = screen->output();
        QTRY_VERIFY_WITH_TIMEOUT(output->estimate().endsWith("· 640×360"), 10000);
        output->setEdgeIndex(4); // 320
        output->setLoopIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(output->estimate().endsWith("· 320×180") && !output->estimating(),
                                 10000);
        const double estimated = testing::estimatedBytes(output->estimate());
        screen->btnCreateGIF();
        QVERIFY(waitForOutcome(stack));
        const QString gif = workGif();
        auto decoded = gif::decodeAnimation(gif.toStdString());
        QVERIFY(decoded);
        QCOMPARE(decoded->frames.size(), std::size_t(2 * 15 - 2));
        QCOMPARE(decoded->screen.width, 320u);
        const double made = double(QFileInfo(gif).size());
        QVERIFY2(std::abs(estimated / made - 1) < 0.15,
                 qPrintable(QString("estimated %1, made %2").arg(estimated).arg(made)));
    }

    // Every speed's frames are sampled with the first estimate: a change of
    // speed is estimated without reading the video again, even once it is
    // gone, and the slower speed's GIF of more frames is estimated larger.
    void aChangeOfSpeedIsEstimatedFromFramesAlreadySampled() {
        testsupport::ClipParameters spec;
        spec.seconds = 3.5;
        const QString clip = clips_.filePath("speeds.mp4");
        QVERIFY(testsupport::makeCounterClip(clip.toStdString(), spec));
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip);
        common::OutputChoices* output = screen->output();
        QTRY_VERIFY_WITH_TIMEOUT(output->estimate().startsWith("about ") && !output->estimating(),
                                 10000);
        const double atNormalSpeed = testing::estimatedBytes(output->estimate());
        QVERIFY(QFile::rename(clip, clip + ".gone"));
        const auto back = qScopeGuard([&] { QFile::rename(clip + ".gone", clip); });
        QSignalSpy answered(output, &common::OutputChoices::estimateChanged);
        screen->sliderDiscrite()->userMoved(5); // 0.5x: 21 frames rather than 15
        QTRY_VERIFY_WITH_TIMEOUT(!answered.isEmpty() && !output->estimating(), 10000);
        QVERIFY2(output->estimate().startsWith("about "), qPrintable(output->estimate()));
        QVERIFY2(testing::estimatedBytes(output->estimate()) > atNormalSpeed,
                 qPrintable(output->estimate()));
    }

    // A 10.9 s video makes 50 frames of 0.2 s at "1x" and 70 of 0.3 s at
    // "0.5x"; the GIF lands in the work folder under the store's name and
    // opens in the preview, with nothing left behind.
    void createRendersWholeSecondsTimesFramesPerSecond_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("delayCs");
        QTest::newRow("1x") << 3 << 50 << 20;
        QTest::newRow("0.5x") << 5 << 70 << 30;
    }
    void createRendersWholeSecondsTimesFramesPerSecond() {
        QFETCH(int, position);
        QFETCH(int, frames);
        QFETCH(int, delayCs);
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip10_);
        QTRY_VERIFY(screen->player());
        if (position != 3)
            screen->sliderDiscrite()->userMoved(position);
        home::openedFromHistory = true;
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        screen->btnCreateGIF();
        QCOMPARE(screen->player()->rate(), 0.0);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("play"));
        QCOMPARE(components::StatusHUD::shared().status(), QString("Creating GIF..."));
        QVERIFY(waitForOutcome(stack));
        auto* preview =
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController());
        QVERIFY(preview);
        QVERIFY(!components::StatusHUD::shared().isVisible());
        QVERIFY(!home::openedFromHistory);
        const QString gif = workGif();
        QCOMPARE(preview->gifURL, QUrl::fromLocalFile(gif));
        QCOMPARE(screen->gifURL, preview->gifURL);
        const qint64 stamp = QFileInfo(gif).completeBaseName().mid(10).toLongLong();
        QVERIFY(stamp >= before && stamp <= QDateTime::currentSecsSinceEpoch());
        auto decoded = gif::decodeAnimation(gif.toStdString());
        QVERIFY(decoded);
        QCOMPARE(int(decoded->frames.size()), frames);
        for (const auto& frame : decoded->frames)
            QCOMPARE(int(frame.info.control->delayCs), delayCs);
        QVERIFY(temporaryFiles().isEmpty());
    }

    // Under a second there is nothing to animate: a notice says so, the
    // mask goes, nothing is stored, and the screen can be used again.
    void aVideoUnderASecondIsRefusedWithANotice() {
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clipShort_);
        QTRY_VERIFY(screen->player());
        screen->btnCreateGIF();
        QVERIFY(waitForOutcome(stack));
        auto& hud = components::StatusHUD::shared();
        QCOMPARE(hud.kind(), int(components::StatusHUD::Failure));
        QCOMPARE(hud.status(), QString("The video is shorter than one second."));
        QCOMPARE(stack.navigation->topViewController(), screen);
        QVERIFY(QDir(home_.workFolder()).isEmpty());
        QVERIFY(temporaryFiles().isEmpty());
        screen->btnPlayPause();
        QCOMPARE(screen->player()->rate(), 1.0);
    }

    void aVideoThatCannotBeReadIsRefusedWithANotice() {
        const QString broken = clips_.filePath("broken.mp4");
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(broken);
        QTRY_VERIFY(screen->player());
        screen->btnCreateGIF();
        QVERIFY(waitForOutcome(stack));
        auto& hud = components::StatusHUD::shared();
        QCOMPARE(hud.kind(), int(components::StatusHUD::Failure));
        QVERIFY(!hud.status().isEmpty());
        QCOMPARE(stack.navigation->topViewController(), screen);
        QVERIFY(QDir(home_.workFolder()).isEmpty());
    }

    void createWithTheVideoGoneSaysSo() {
        const QString doomed = clips_.filePath("doomed.mp4");
        QVERIFY(testing::copyWritable(clip10_, doomed));
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(doomed);
        QTRY_VERIFY(screen->player());
        QVERIFY(QFile::remove(doomed));
        screen->btnCreateGIF();
        auto& hud = components::StatusHUD::shared();
        QCOMPARE(hud.kind(), int(components::StatusHUD::Information));
        QCOMPARE(hud.status(), QString("No video found please try again from start."));
        QCOMPARE(screen->player()->rate(), 0.0);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("play"));
        QCOMPARE(stack.navigation->topViewController(), screen);
    }

    // Another GIF took the name meanwhile: it stays exactly as it was, the
    // encoder's file goes, and the user is told.
    void aTakenNameLeavesTheOtherGifUntouched() {
        const QByteArray other = "GIF89a other work";
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (qint64 t = now; t < now + 60; ++t) {
            QFile taken(home_.workFolder() + QString("/Animation_%1.gif").arg(t));
            QVERIFY(taken.open(QIODevice::WriteOnly));
            taken.write(other);
        }
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip10_);
        QTRY_VERIFY(screen->player());
        screen->btnCreateGIF();
        QVERIFY(waitForOutcome(stack));
        auto& hud = components::StatusHUD::shared();
        QCOMPARE(hud.kind(), int(components::StatusHUD::Failure));
        QVERIFY2(hud.status().contains("was just made"), qPrintable(hud.status()));
        QCOMPARE(stack.navigation->topViewController(), screen);
        QCOMPARE(screen->gifURL, QUrl::fromLocalFile(QString()));
        for (qint64 t = now; t < now + 60; ++t) {
            QFile taken(home_.workFolder() + QString("/Animation_%1.gif").arg(t));
            QVERIFY(taken.open(QIODevice::ReadOnly));
            QCOMPARE(taken.readAll(), other);
        }
        QCOMPARE(QDir(home_.workFolder()).entryList(QDir::Files | QDir::Hidden).size(), 60);
        QVERIFY(temporaryFiles().isEmpty());

        // The user creates again once a name is free: a new GIF, and the
        // other work still as it was.
        for (qint64 t = now + 1; t < now + 60; ++t)
            QVERIFY(QFile::remove(home_.workFolder() + QString("/Animation_%1.gif").arg(t)));
        // The name kept is the one of the second this began in.
        QTRY_VERIFY(QDateTime::currentSecsSinceEpoch() > now);
        components::StatusHUD::dismiss();
        screen->btnCreateGIF();
        QVERIFY(waitForOutcome(stack));
        auto* preview =
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController());
        QVERIFY2(preview, qPrintable(hud.status()));
        QVERIFY(preview->gifURL !=
                QUrl::fromLocalFile(home_.workFolder() + QString("/Animation_%1.gif").arg(now)));
        QVERIFY(gif::decodeAnimation(preview->gifURL.toLocalFile().toStdString()));
        QFile first(home_.workFolder() + QString("/Animation_%1.gif").arg(now));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), other);
        QCOMPARE(QDir(home_.workFolder()).entryList({"*.gif"}, QDir::Files).size(), 2);
    }

    // A video cut short still makes its GIF of what decodes, which opens in
    // the preview; a notice over it names the user's file and the time in
    // it where the video stops, and then goes by itself.
    void aVideoCutShortMakesItsGifAndSaysWhereItStops_data() {
        QTest::addColumn<QString>("extension");
        QTest::newRow("Matroska") << "mkv";
        QTest::newRow("MP4") << "mp4";
    }
    void aVideoCutShortMakesItsGifAndSaysWhereItStops() {
        QFETCH(QString, extension);
        testsupport::ClipParameters shape;
        shape.seconds = 4;
        shape.keyframeInterval = 25;
        shape.faststart = true; // the index first, as phones write it
        const QString whole = clips_.filePath("whole." + extension);
        QVERIFY(testsupport::makeCounterClip(whole.toStdString(), shape));
        QFile source(whole);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        const QString cutShort = clips_.filePath("cut-short." + extension);
        QFile truncated(cutShort);
        QVERIFY(truncated.open(QIODevice::WriteOnly));
        truncated.write(bytes.left(bytes.size() / 2));
        truncated.close();

        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(cutShort);
        // As the trim screen hands it on: a cut from 10 s into the user's file.
        screen->sourceVideoURL = QUrl::fromLocalFile("/home/someone/Videos/Holiday.mp4");
        screen->sourceStartSeconds = 10;
        QTRY_VERIFY(screen->player());
        testing::ConsoleCapture console;
        screen->btnCreateGIF();
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController()), 30000);
        auto& hud = components::StatusHUD::shared();
        QTRY_VERIFY(hud.isVisible() && hud.kind() == components::StatusHUD::Information);
        const QRegularExpression notice(
            "^“Holiday\\.mp4” stops at (1[0-3]\\.\\d\\d) s: the file is cut short or damaged\\. "
            "The GIF ends there\\.$");
        const auto match = notice.match(hud.status());
        QVERIFY2(match.hasMatch(), qPrintable(hud.status()));
        const double stop = match.captured(1).toDouble();
        QVERIFY2(stop > 10.5 && stop < 13.5, qPrintable(hud.status()));
        QVERIFY(console.lines().contains(hud.status()));

        // The GIF holds what decodes, nothing frozen past the stop.
        const QString gif = workGif();
        QCOMPARE(screen->gifURL, QUrl::fromLocalFile(gif));
        auto decoded = gif::decodeAnimation(gif.toStdString());
        QVERIFY(decoded);
        QVERIFY(!decoded->frames.empty());
        QVERIFY2(double(decoded->frames.size()) <= (stop - 10) * 5 + 1,
                 qPrintable(QString::number(decoded->frames.size())));
        QVERIFY(temporaryFiles().isEmpty());
        // A notice, not a question: it goes by itself.
        QTRY_VERIFY_WITH_TIMEOUT(!hud.isVisible(), 15000);
    }

    // The trim screen's cut already ended where the user's file stops: the
    // GIF of the cut is made, and the notice names the file and that time.
    void aCutThatEndedEarlySaysWhereTheFileStops() {
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip10_);
        screen->sourceVideoURL = QUrl::fromLocalFile("/home/someone/Videos/Holiday.mp4");
        screen->sourceStartSeconds = 3;
        screen->sourceStopsAt = 13.96;
        QTRY_VERIFY(screen->player());
        screen->btnCreateGIF();
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController()), 30000);
        auto& hud = components::StatusHUD::shared();
        QTRY_VERIFY(hud.isVisible() && hud.kind() == components::StatusHUD::Information);
        QCOMPARE(hud.status(), QString("“Holiday.mp4” stops at 13.96 s: the file is cut short or "
                                       "damaged. The GIF ends there."));
    }

    // A whole video says nothing after its GIF.
    void aWholeVideoAddsNoNotice() {
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip10_);
        QTRY_VERIFY(screen->player());
        testing::ConsoleCapture console;
        screen->btnCreateGIF();
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController()), 30000);
        QCoreApplication::processEvents();
        QVERIFY(!components::StatusHUD::shared().isVisible());
        QVERIFY(console.lines().filter("stops at").isEmpty());
    }

    void backPausesAndPops() {
        SpeedStack stack;
        VideoAnimationScreen* screen = stack.open(clip10_);
        QTRY_VERIFY(screen->player());
        platform::Player* player = screen->player();
        QCOMPARE(player->rate(), 1.0);
        screen->btnBack();
        QCOMPARE(player->rate(), 0.0);
        QCOMPARE(stack.navigation->depth(), 1);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("pause")); // left as it was
    }

    // From this screen in the real window, on a real clip: the slowest speed,
    // Create, and the preview of a GIF with 7 frames a second of 0.3 s.
    void speedToPreviewInTheWindow() {
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        auto* screen = new VideoAnimationScreen();
        screen->videoSongURL =
            QUrl::fromLocalFile(QStringLiteral(FLICKBOOK_TESTDATA) + "/media/book.mkv");
        navigation.pushViewController(
            screen, app::mainStoryboard().scene("segue_videoAnimation")->page, true);
        QTRY_VERIFY(screen->player());
        QVERIFY(testing::waitForSettledItem(window, "sliderDiscrite"));
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "speed-390"));
        QVERIFY(testing::resizeTo(window, {1280, 800}));
        QVERIFY(testing::saveScreenshot(window, "speed-1280"));
        QVERIFY(testing::resizeTo(window, {390, 780}));
        QQuickItem* slider = testing::findItem(window, "sliderDiscrite");
        const double inset = 16;
        const QPointF last =
            slider->mapToScene(QPointF(slider->width() - inset, slider->height() / 2));
        QTest::mouseClick(window, Qt::LeftButton, {}, last.toPoint());
        QCOMPARE(screen->sliderDiscrite()->value(), 5.0);
        QCOMPARE(screen->labelDiscrite()->value, 4);
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnPlay")));
        QCOMPARE(screen->player()->rate(), 0.0);
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnPlay")));
        QCOMPARE(screen->player()->rate(), 0.5);
        QVERIFY(testing::clickItem(window, testing::findItem(window, "rightBarButton"))); // Create
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(navigation.topViewController()), 30000);
        const QString gif = workGif();
        auto decoded = gif::decodeAnimation(gif.toStdString());
        QVERIFY(decoded);
        QCOMPARE(int(decoded->frames.size()), 3 * 7); // 3.67 s: three whole seconds
        QCOMPARE(int(decoded->frames.front().info.control->delayCs), 30);
        QCOMPARE(decoded->frames.front().canvasWidth, 640u);
        QCOMPARE(decoded->frames.front().canvasHeight, 480u);
    }
};

int main(int argc, char* argv[]) {
    testing::PrivateHome home;
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    SpeedScreenTest test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "speed_screen_test.moc"
