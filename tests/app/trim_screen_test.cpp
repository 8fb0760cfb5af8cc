// The trim screen and its trimmer strip: the stretch's bounds under every
// kind of drag, the callbacks, the play/pause rule, the loop inside the
// stretch measured on a counter clip, Trim and its failure, Back by how the
// video came, and the flow from this screen to the preview in the window.

#include "app/app_window.h"
#include "app/main_storyboard.h"
#include "app_test_support.h"
#include "common/common_utils.h"
#include "gif/animation.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "library/gif_preview_screen.h"
#include "media/probe.h"
#include "media/thumbnails.h"
#include "media_fixtures.h"
#include "platform/navigation_controller.h"
#include "status_hud.h"
#include "trimmer_view.h"
#include "video/trim_video_screen.h"
#include "video/video_animation_screen.h"

#include <QDir>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QVideoSink>
#include <cmath>
#include <memory>

using namespace flickbook;
using components::TrimmerView;
using video::TrimVideoScreen;

namespace {

QUrl imageNamed(const char* name) {
    return common::imageNamed(QLatin1String(name));
}

// Records the trimmer's callbacks in order.
class RecordingDelegate : public components::TrimmerViewDelegate {
public:
    void didChangePositionBar(double t) override { calls << QString("changed %1").arg(t); }
    void positionBarStoppedMoving(double t) override { calls << QString("stopped %1").arg(t); }
    QStringList calls;
};

// home, something standing for the picker or the camera, then trim.
struct TrimStack {
    TrimStack() {
        storyboard.declareSegue("segue_videoAnimation", "VideoAnimationScreen");
        storyboard.registerScene("segue_videoAnimation", QUrl(), [](QObject* parent) {
            return new video::VideoAnimationScreen(parent);
        });
        navigation = std::make_unique<platform::NavigationController>(storyboard);
        navigation->setRootViewController(new home::HomeScreen(), QUrl());
        navigation->pushViewController(new platform::ViewController(), QUrl(), false);
    }
    TrimVideoScreen* open(const QString& video) {
        screen = new TrimVideoScreen();
        screen->selectedvideoAsset = QUrl::fromLocalFile(video);
        navigation->pushViewController(screen, QUrl(), false);
        return screen;
    }
    platform::Storyboard storyboard;
    std::unique_ptr<platform::NavigationController> navigation;
    TrimVideoScreen* screen = nullptr;
};

double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.scaled(32, 24).convertToFormat(QImage::Format_RGB32);
    const QImage y = b.scaled(32, 24).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int j = 0; j < 24; ++j)
        for (int i = 0; i < 32; ++i) {
            const QColor p = x.pixelColor(i, j), q = y.pixelColor(i, j);
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                   std::abs(p.blue() - q.blue());
        }
    return sum / (32 * 24 * 3);
}

} // namespace

class TrimScreenTest : public QObject {
    Q_OBJECT

public:
    explicit TrimScreenTest(testing::PrivateHome& home) : home_(home) {}

private:
    testing::PrivateHome& home_;
    QTemporaryDir clips_;
    QString clip6_;     // 6 s at 25 fps, keyframes every 2 s
    QString clip20_;    // 20 s at 10 fps
    QString clipLong_;  // 10 minutes at 5 fps, tiny
    QString clipBrief_; // 0.6 s
    std::unique_ptr<app::AppWindow> app_;

    static bool ready(TrimVideoScreen* screen) {
        return QTest::qWaitFor(
            [&] {
                return screen->player() && screen->trimmerView()->isReady() &&
                       screen->player()->frameRate() > 0;
            },
            5000);
    }
    static bool ready(TrimmerView& trimmer) {
        return QTest::qWaitFor([&] { return trimmer.isReady(); }, 5000);
    }

private slots:
    void initTestCase() {
        testsupport::ClipParameters six;
        six.seconds = 6;
        clip6_ = clips_.filePath("six.mp4");
        QVERIFY(testsupport::makeCounterClip(clip6_.toStdString(), six));
        testsupport::ClipParameters twenty;
        twenty.seconds = 20;
        twenty.fps = 10;
        clip20_ = clips_.filePath("twenty.mp4");
        QVERIFY(testsupport::makeCounterClip(clip20_.toStdString(), twenty));
        testsupport::ClipParameters tenMinutes;
        tenMinutes.seconds = 600;
        tenMinutes.fps = 5;
        tenMinutes.width = 64;
        tenMinutes.height = 48;
        clipLong_ = clips_.filePath("long.mp4");
        QVERIFY(testsupport::makeCounterClip(clipLong_.toStdString(), tenMinutes));
        testsupport::ClipParameters brief;
        brief.seconds = 0.6;
        clipBrief_ = clips_.filePath("brief.mp4");
        QVERIFY(testsupport::makeCounterClip(clipBrief_.toStdString(), brief));
    }
    void init() {
        QCoreApplication::processEvents();
        components::StatusHUD::dismiss();
        home_.wipe();
        QDir().mkpath(home_.workFolder());
        home::openedFromHistory = false;
        home::videoFromLibrary = true;
    }
    void cleanup() {
        components::StatusHUD::dismiss();
        app_.reset();
    }

    // --- the trimmer on its own

    void theStretchStaysBetweenOneAndTenSeconds_data() {
        QTest::addColumn<int>("handle");
        QTest::addColumn<double>("to");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        // From the initial stretch 0–10 of a 20 s video at 10 fps.
        QTest::newRow("end past the maximum") << int(TrimmerView::EndHandle) << 15.0 << 0.0 << 10.0;
        QTest::newRow("end under the minimum") << int(TrimmerView::EndHandle) << 0.4 << 0.0 << 1.0;
        QTest::newRow("end before zero") << int(TrimmerView::EndHandle) << -3.0 << 0.0 << 1.0;
        QTest::newRow("end inside") << int(TrimmerView::EndHandle) << 4.26 << 0.0 << 4.3;
        QTest::newRow("start past the end") << int(TrimmerView::StartHandle) << 12.0 << 9.0 << 10.0;
        QTest::newRow("start before zero") << int(TrimmerView::StartHandle) << -1.0 << 0.0 << 10.0;
        QTest::newRow("start inside") << int(TrimmerView::StartHandle) << 2.52 << 2.5 << 10.0;
        QTest::newRow("stretch past the end")
            << int(TrimmerView::SelectionHandle) << 17.0 << 10.0 << 20.0;
        QTest::newRow("stretch before zero")
            << int(TrimmerView::SelectionHandle) << -5.0 << 0.0 << 10.0;
    }
    void theStretchStaysBetweenOneAndTenSeconds() {
        QFETCH(int, handle);
        QFETCH(double, to);
        QFETCH(double, start);
        QFETCH(double, end);
        TrimmerView trimmer;
        trimmer.setMinDuration(1.0);
        trimmer.setMaxDuration(10.0);
        trimmer.setAsset(QUrl::fromLocalFile(clip20_));
        QVERIFY(!trimmer.startTime());
        QVERIFY(ready(trimmer));
        QCOMPARE(*trimmer.startTime(), 0.0);
        QCOMPARE(*trimmer.endTime(), 10.0);
        trimmer.moveHandle(TrimmerView::Handle(handle), to);
        QVERIFY(std::abs(*trimmer.startTime() - start) < 1e-9);
        QVERIFY(std::abs(*trimmer.endTime() - end) < 1e-9);
        QVERIFY(*trimmer.endTime() - *trimmer.startTime() >= 1.0 - 1e-9);
        QVERIFY(*trimmer.endTime() - *trimmer.startTime() <= 10.0 + 1e-9);
    }

    // While dragging, the position bar follows the handle and the delegate
    // hears each move; on release, once.
    void callbacksComeInOrder() {
        TrimmerView trimmer;
        RecordingDelegate delegate;
        trimmer.setDelegate(&delegate);
        trimmer.setAsset(QUrl::fromLocalFile(clip20_));
        QVERIFY(ready(trimmer));
        trimmer.moveHandle(TrimmerView::StartHandle, 2.0);
        trimmer.moveHandle(TrimmerView::StartHandle, 3.0);
        trimmer.stopMoving();
        trimmer.moveHandle(TrimmerView::EndHandle, 8.0);
        trimmer.stopMoving();
        trimmer.stepHandle(TrimmerView::EndHandle, -1); // a key press: one frame back
        QCOMPARE(delegate.calls, QStringList({"changed 2", "changed 3", "stopped 3", "changed 8",
                                              "stopped 8", "changed 7.9", "stopped 7.9"}));
        trimmer.seek(5.5);
        QCOMPARE(trimmer.positionSeconds(), 5.5);
        QCOMPARE(trimmer.startText(), QString("0:03.00"));
        QCOMPARE(trimmer.endText(), QString("0:07.90"));
        QCOMPARE(trimmer.lengthText(), QString("4.90 s"));
    }

    // A video shorter than the minimum is taken whole and cannot be changed.
    void aShortVideoIsTakenWhole() {
        TrimmerView trimmer;
        RecordingDelegate delegate;
        trimmer.setDelegate(&delegate);
        trimmer.setAsset(QUrl::fromLocalFile(clipBrief_));
        QVERIFY(ready(trimmer));
        QVERIFY(trimmer.isFixed());
        QCOMPARE(*trimmer.startTime(), 0.0);
        QVERIFY(std::abs(*trimmer.endTime() - 0.6) < 0.05);
        trimmer.moveHandle(TrimmerView::EndHandle, 0.2);
        QVERIFY(std::abs(*trimmer.endTime() - 0.6) < 0.05);
        QVERIFY(delegate.calls.isEmpty());
    }

    // A ten-minute video: the strip shows 15 s at a time, so the longest
    // stretch spans two thirds of it and one frame is a step of its own; a
    // handle dragged past the edge scrolls it.
    void aLongVideoIsShownThroughAWindow() {
        TrimmerView trimmer;
        trimmer.setAsset(QUrl::fromLocalFile(clipLong_));
        QVERIFY(ready(trimmer));
        QVERIFY(trimmer.isZoomed());
        QCOMPARE(trimmer.visibleSpan(), 15.0);
        QCOMPARE(trimmer.endSeconds() / trimmer.visibleSpan(), 10.0 / 15.0);
        trimmer.moveHandle(TrimmerView::SelectionHandle, 300.0);
        QCOMPARE(trimmer.startSeconds(), 300.0);
        QVERIFY(trimmer.visibleStart() <= 300.0);
        QVERIFY(trimmer.visibleStart() + trimmer.visibleSpan() >= 310.0);
        trimmer.stepHandle(TrimmerView::StartHandle, 1);
        QCOMPARE(trimmer.startSeconds(), 300.2); // one frame at 5 fps
        trimmer.scrollTo(1e9);
        QCOMPARE(trimmer.visibleStart() + trimmer.visibleSpan(), trimmer.durationOrZero());
    }

    // Thumbnails arrive one by one for the window shown.
    void thumbnailsFillTheStrip() {
        TrimmerView trimmer;
        trimmer.setAsset(QUrl::fromLocalFile(clip6_));
        trimmer.setStripSize(320, 40);
        QVERIFY(ready(trimmer));
        QSignalSpy arrived(&trimmer, &TrimmerView::thumbnailReady);
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), trimmer.thumbnailCount(), 5000);
        QCOMPARE(trimmer.thumbnailCount(), 6); // 320 ÷ (40 × 4/3), rounded up
        QVERIFY(!trimmer.thumbnailSource(0).isEmpty());
    }

    // --- the screen

    void setUpStandsStillOnTheFirstFrame() {
        TrimStack stack;
        TrimVideoScreen* screen = stack.open(clip6_);
        QVERIFY(!screen->player()); // queued after load
        screen->btnBack();          // nothing without a player
        screen->btnPlayPause();
        screen->btnTrim();
        QCOMPARE(stack.navigation->depth(), 3);
        QVERIFY(ready(screen));
        QCOMPARE(screen->trimmerView()->minDuration(), 1.0);
        QCOMPARE(screen->trimmerView()->maxDuration(), 10.0);
        QCOMPARE(screen->trimmerView()->asset(), QUrl::fromLocalFile(clip6_));
        QCOMPARE(screen->trimmerView()->delegate(), screen);
        QCOMPARE(screen->trimmerView()->mainColor(), common::accentColor());
        QCOMPARE(screen->trimmerView()->handleColor(), common::white());
        QCOMPARE(screen->trimmerView()->positionBarColor(), common::white());
        QCOMPARE(screen->viewMain()->layer(), screen->layer());
        QCOMPARE(screen->layer()->player(), screen->player());
        QCOMPARE(screen->player()->rate(), 0.0);
        QVERIFY(!screen->playbackTimeCheckerTimer());
        QCOMPARE(screen->navigationItem()->rightBarButtonItem()->tintColor(),
                 common::accentColor());
    }

    void playPauseFollowsTheRate_data() {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("after");
        QTest::newRow("still") << 0.0 << 1.0;
        QTest::newRow("half speed") << 0.5 << 1.0;
        QTest::newRow("playing") << 1.0 << 0.0;
    }
    void playPauseFollowsTheRate() {
        QFETCH(double, rate);
        QFETCH(double, after);
        TrimStack stack;
        TrimVideoScreen* screen = stack.open(clip6_);
        QVERIFY(ready(screen));
        screen->player()->playImmediatelyAtRate(rate);
        screen->btnPlayPause();
        QCOMPARE(screen->player()->rate(), after);
        QCOMPARE(screen->btnPlay()->image(), imageNamed(after == 0.0 ? "play" : "pause"));
        QCOMPARE(screen->playbackTimeCheckerTimer() != nullptr, after != 0.0);
        if (screen->playbackTimeCheckerTimer())
            QCOMPARE(screen->playbackTimeCheckerTimer()->interval(), 100);
    }

    // A time exactly at the end counts as past it.
    void theCheckerRewindsAtTheEndExactly() {
        TrimStack stack;
        TrimVideoScreen* screen = stack.open(clip6_);
        QVERIFY(ready(screen));
        screen->trimmerView()->moveHandle(TrimmerView::StartHandle, 1.0);
        screen->trimmerView()->moveHandle(TrimmerView::EndHandle, 3.0);
        screen->trimmerView()->stopMoving();
        screen->player()->pause();
        QSignalSpy shown(screen->player(), &platform::Player::frameShown);
        screen->player()->seekToTime(3.0);
        QVERIFY(shown.wait(3000));
        QTRY_COMPARE(screen->player()->currentTime(), 3.0);
        screen->onPlaybackTimeChecker();
        QCOMPARE(screen->trimmerView()->positionSeconds(), 1.0);
        QCOMPARE(screen->player()->currentTime(),
                 platform::Player::exactSeekTarget(1.0, 25) / 1000.0);
    }

    // Playing a 2 s stretch for 5 s: every frame shown is inside the stretch
    // (or at most a tenth of a second past it), and the first frame after
    // each rewind is the start frame.
    void theStretchLoops() {
        TrimStack stack;
        TrimVideoScreen* screen = stack.open(clip6_);
        QVERIFY(ready(screen));
        screen->trimmerView()->moveHandle(TrimmerView::StartHandle, 1.0);
        screen->trimmerView()->moveHandle(TrimmerView::EndHandle, 3.0);
        screen->trimmerView()->stopMoving();
        QVideoSink sink;
        QList<int> shown;
        connect(&sink, &QVideoSink::videoFrameChanged, this,
                [&](const QVideoFrame& frame) { shown << testing::counterShown(frame); });
        screen->player()->setVideoOutput(&sink);
        QTest::qWait(300); // frames of the paused picture come and go first
        shown.clear();
        if (screen->player()->rate() == 1.0)
            screen->btnPlayPause();
        screen->btnPlayPause();
        auto rewindsSoFar = [&] {
            int rewinds = 0;
            for (qsizetype i = 1; i < shown.size(); ++i)
                rewinds += shown[i] < shown[i - 1];
            return rewinds;
        };
        QTest::qWait(5000); // five seconds of playing, at least
        // A busy machine starts late and drops frames: wait for the second loop.
        QTRY_VERIFY_WITH_TIMEOUT(rewindsSoFar() >= 2, 10000);
        screen->btnPlayPause();
        QVERIFY(shown.size() > 20);
        for (qsizetype i = 0; i < shown.size(); ++i) {
            QVERIFY2(shown[i] >= 25 && shown[i] <= 77, qPrintable(QString::number(shown[i])));
            if (i > 0 && shown[i] < shown[i - 1])
                QCOMPARE(shown[i], 25);
        }
    }

    void trimWhilePlayingPausesThenCuts() {
        TrimStack stack;
        TrimVideoScreen* screen = stack.open(clip6_);
        QVERIFY(ready(screen));
        screen->trimmerView()->moveHandle(TrimmerView::StartHandle, 2.0);
        screen->trimmerView()->stopMoving();
        QCOMPARE(screen->player()->rate(), 1.0); // a drag plays
        QCOMPARE(screen->btnPlay()->image(), imageNamed("pause"));
        screen->btnTrim();
        QCOMPARE(screen->player()->rate(), 0.0);
        QCOMPARE(screen->btnPlay()->image(), imageNamed("play"));
        QVERIFY(!screen->playbackTimeCheckerTimer());
        QTRY_VERIFY(
            qobject_cast<video::VideoAnimationScreen*>(stack.navigation->topViewController()));
        auto* speed =
            qobject_cast<video::VideoAnimationScreen*>(stack.navigation->topViewController());
        QCOMPARE(speed->videoSongURL, screen->videoSongURL);
        // What the speed screen tells the user names this file and its times.
        QCOMPARE(speed->sourceVideoURL, QUrl::fromLocalFile(clip6_));
        QCOMPARE(speed->sourceStartSeconds, *screen->trimmerView()->startTime());
        QVERIFY(speed->sourceStartSeconds > 1.9 && speed->sourceStartSeconds < 2.1);
        const QString cut = screen->videoSongURL.toLocalFile();
        QCOMPARE(QFileInfo(cut).absolutePath(), home_.dataHome() + "/Flickbook/tmp");
        QVERIFY(QFile::exists(cut));
        QVERIFY(!screen->player()->isScrubbing()); // its kept frames let go while covered
        // Back from the speed screen: the cut goes with it, and drags are
        // served again.
        QTRY_VERIFY(speed->player());
        speed->btnBack();
        QTRY_VERIFY(!QFile::exists(cut));
        QVERIFY(QFile::exists(clip6_));
        QTRY_VERIFY(screen->player()->isScrubbing());
    }

    // A file cut short: the stretch to the end it states is cut where the
    // file stops decoding, and the speed screen hears where that is.
    void aStretchPastWhereAFileCutShortStopsEndsThere() {
        testsupport::ClipParameters shape;
        shape.seconds = 6;
        shape.faststart = true; // the index first, as phones write it
        const QString whole = clips_.filePath("whole-front.mp4");
        QVERIFY(testsupport::makeCounterClip(whole.toStdString(), shape));
        QFile source(whole);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        const QString cutShort = clips_.filePath("cut-short.mp4");
        QFile truncated(cutShort);
        QVERIFY(truncated.open(QIODevice::WriteOnly));
        truncated.write(bytes.left(bytes.size() * 6 / 10));
        truncated.close();

        TrimStack stack;
        TrimVideoScreen* screen = stack.open(cutShort);
        QVERIFY(ready(screen));
        screen->trimmerView()->moveHandle(TrimmerView::StartHandle, 1.0);
        screen->trimmerView()->stopMoving();
        screen->btnTrim();
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<video::VideoAnimationScreen*>(stack.navigation->topViewController()),
            10000);
        auto* speed =
            qobject_cast<video::VideoAnimationScreen*>(stack.navigation->topViewController());
        QCOMPARE(speed->sourceVideoURL, QUrl::fromLocalFile(cutShort));
        QVERIFY(speed->sourceStopsAt);
        QVERIFY2(*speed->sourceStopsAt > 2 && *speed->sourceStopsAt < 5,
                 qPrintable(QString::number(*speed->sourceStopsAt)));
        auto cut = media::probe(speed->videoSongURL.toLocalFile().toStdString());
        QVERIFY(cut);
        QVERIFY(!cut->decodesUntil);
        QVERIFY(std::abs(cut->durationSeconds -
                         (*speed->sourceStopsAt - speed->sourceStartSeconds)) < 0.001);
    }

    void trimWhileStillLeavesTheButton() {
        TrimStack stack;
        TrimVideoScreen* screen = stack.open(clip6_);
        QVERIFY(ready(screen));
        screen->trimmerView()->moveHandle(TrimmerView::EndHandle, 2.0);
        screen->trimmerView()->stopMoving(); // shows "pause" though still
        screen->player()->pause();
        screen->btnTrim();
        QCOMPARE(screen->btnPlay()->image(), imageNamed("pause"));
        QTRY_VERIFY(
            qobject_cast<video::VideoAnimationScreen*>(stack.navigation->topViewController()));
    }

    // The file went away after the screen opened: the console says so and
    // the screen stays, paused, ready for another try.
    void aFailedCutLeavesTheScreenUsable() {
        const QString doomed = clips_.filePath("doomed.mp4");
        QVERIFY(testing::copyWritable(clip6_, doomed));
        TrimStack stack;
        TrimVideoScreen* screen = stack.open(doomed);
        QVERIFY(ready(screen));
        QVERIFY(QFile::remove(doomed));
        testing::ConsoleCapture console;
        screen->btnTrim();
        QTRY_VERIFY(console.lines().contains("Error While Trim"));
        QCoreApplication::processEvents(); // nothing else was queued
        QCOMPARE(stack.navigation->topViewController(), screen);
        QCOMPARE(screen->videoSongURL, QUrl::fromLocalFile(QString()));
        QCOMPARE(screen->player()->rate(), 0.0);
    }

    void backFollowsWhereTheVideoCameFrom_data() {
        QTest::addColumn<bool>("fromLibrary");
        QTest::addColumn<bool>("homeOnStack");
        QTest::addColumn<int>("depth");
        QTest::newRow("library") << true << true << 2;
        QTest::newRow("camera") << false << true << 1;
        QTest::newRow("camera, no home") << false << false << 3;
    }
    void backFollowsWhereTheVideoCameFrom() {
        QFETCH(bool, fromLibrary);
        QFETCH(bool, homeOnStack);
        QFETCH(int, depth);
        TrimStack stack;
        if (!homeOnStack)
            stack.navigation->setRootViewController(new platform::ViewController(), QUrl());
        if (!homeOnStack)
            stack.navigation->pushViewController(new platform::ViewController(), QUrl(), false);
        TrimVideoScreen* screen = stack.open(clip6_);
        QVERIFY(ready(screen));
        home::videoFromLibrary = fromLibrary;
        screen->btnPlayPause();
        screen->btnBack();
        QCOMPARE(screen->player()->rate(), 0.0);
        QVERIFY(!screen->playbackTimeCheckerTimer());
        QCOMPARE(screen->btnPlay()->image(), imageNamed("pause")); // left as it was
        QCOMPARE(stack.navigation->depth(), depth);
    }

    // From this screen in the real window: the start handle dragged, Trim,
    // the speed screen, Create, and a GIF whose first frame is the frame at
    // the stretch's start.
    void trimToPreviewInTheWindow() {
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        const QString source = QStringLiteral(FLICKBOOK_TESTDATA) + "/media/bottle-detection.mp4";
        auto* screen = new TrimVideoScreen();
        screen->selectedvideoAsset = QUrl::fromLocalFile(source);
        navigation.pushViewController(screen, app::mainStoryboard().scene("segue_trim")->page,
                                      true);
        QVERIFY(ready(screen));
        QTRY_VERIFY_WITH_TIMEOUT(testing::findItems(window, "trimmerThumbnail").size() ==
                                     screen->trimmerView()->thumbnailCount(),
                                 5000);
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "trim-390"));

        QQuickItem* handle = testing::findItem(window, "trimmerStartHandle");
        QQuickItem* strip = testing::findItem(window, "trimmerStrip");
        QVERIFY(handle && strip);
        const QPoint from =
            handle->mapToScene(QPointF(handle->width() / 2, handle->height() / 2)).toPoint();
        const QPoint to = from + QPoint(int(strip->width() * 0.2), 0);
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(window, from + (to - from) * step / 10, 20);
        QTest::mouseRelease(window, Qt::LeftButton, {}, to);
        const double start = screen->trimmerView()->startSeconds();
        QVERIFY2(start > 2.0 && start < 4.0, qPrintable(QString::number(start)));
        QCOMPARE(screen->btnPlay()->image(), imageNamed("pause"));

        // Focus on the end handle by Tab, then a frame back with the arrow key.
        QQuickItem* endHandle = testing::findItem(window, "trimmerEndHandle");
        endHandle->forceActiveFocus();
        const double end = screen->trimmerView()->endSeconds();
        QTest::keyClick(window, Qt::Key_Left);
        const double frame = 6.0 / 179.0; // 29.83 fps
        const double stepped = end - screen->trimmerView()->endSeconds();
        QVERIFY2(stepped > 0.5 * frame && stepped < 1.5 * frame,
                 qPrintable(QString::number(stepped)));
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "trim-dragged-390"));
        QVERIFY(testing::resizeTo(window, {1280, 800}));
        QVERIFY(testing::saveScreenshot(window, "trim-1280"));
        QVERIFY(testing::resizeTo(window, {390, 780}));

        QVERIFY(testing::clickItem(window, testing::findItem(window, "rightBarButton"))); // Trim
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<video::VideoAnimationScreen*>(navigation.topViewController()), 10000);
        auto* speed = qobject_cast<video::VideoAnimationScreen*>(navigation.topViewController());
        QTRY_VERIFY(speed->player());
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::clickItem(window, testing::findItem(window, "rightBarButton"))); // Create
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(navigation.topViewController()), 30000);
        const QStringList gifs = QDir(home_.workFolder()).entryList({"*.gif"});
        QCOMPARE(gifs.size(), 1);
        auto decoded =
            gif::decodeAnimation((home_.workFolder() + "/" + gifs.first()).toStdString());
        QVERIFY(decoded);
        const auto& first = decoded->frames.front();
        const QImage gifFrame(first.rgba.data(), int(first.canvasWidth), int(first.canvasHeight),
                              QImage::Format_RGBA8888);
        auto expected = media::thumbnailAt(source.toStdString(), start, 640, 640);
        QVERIFY(expected);
        const QImage sourceFrame(expected->pixels.data(), int(expected->width),
                                 int(expected->height), QImage::Format_RGBA8888);
        const double difference = meanDifference(gifFrame, sourceFrame);
        QVERIFY2(difference < 6.0, qPrintable(QString::number(difference)));
        // A frame half a second later differs clearly: the measure can tell.
        auto later = media::thumbnailAt(source.toStdString(), start + 3.0, 640, 640);
        QVERIFY(later);
        const QImage laterFrame(later->pixels.data(), int(later->width), int(later->height),
                                QImage::Format_RGBA8888);
        QVERIFY(meanDifference(gifFrame, laterFrame) > difference);

        // Home: every screen of the flow goes, and so does the cut.
        const QString cut = speed->videoSongURL.toLocalFile();
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::clickItem(window, testing::findItem(window, "rightBarButton"))); // Home
        QTRY_VERIFY(qobject_cast<home::HomeScreen*>(navigation.topViewController()));
        QTRY_VERIFY(!QFile::exists(cut));
        QVERIFY(QFile::exists(source));
    }
};

int main(int argc, char* argv[]) {
    testing::PrivateHome home;
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    TrimScreenTest test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "trim_screen_test.moc"
