// The camera: the service on FFmpeg's synthetic camera (a recording the
// trim screen's player plays, a camera that will not open), the camera
// screen with every answer to the permission question, cancel, a recording
// handed to the trim screen, no camera at all, and the whole flow from
// launch to a stored GIF in the real window.

#include "app/app_window.h"
#include "app_test_support.h"
#include "gif/animation.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "library/gif_preview_screen.h"
#include "platform/camera.h"
#include "platform/camera_picker.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "platform/player.h"
#include "status_hud.h"
#include "video/capture_video_screen.h"
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
#include <memory>

using namespace flickbook;
using platform::AuthorizationStatus;
using platform::Camera;
using platform::CameraPicker;
using video::CaptureVideoScreen;

namespace {

const char* const kTestCamera = "lavfi:testsrc2=size=640x360:rate=30,realtime";

class AnsweringPrompts : public platform::PrivacyPrompts {
public:
    void askForPhotoAccess(std::function<void(bool)> answer) override { answer(allow); }
    void askForCameraAccess(std::function<void(bool)> answer) override {
        ++askedCamera;
        answer(allow);
    }
    void showPrivacyPage(platform::PrivacyService service) override { pages << service; }
    bool allow = true;
    int askedCamera = 0;
    QList<platform::PrivacyService> pages;
};

// home, then the camera screen, with the trim screen registered behind it.
struct CameraStack {
    CameraStack() {
        storyboard.declareSegue("segue_trim", "TrimVideoScreen");
        storyboard.registerScene("segue_trim", QUrl(), [](QObject* parent) {
            return new video::TrimVideoScreen(parent);
        });
        navigation = std::make_unique<platform::NavigationController>(storyboard);
        navigation->setRootViewController(new home::HomeScreen(), QUrl());
        screen = new CaptureVideoScreen();
        navigation->pushViewController(screen, QUrl(), false);
    }
    CameraPicker* picker() const {
        return qobject_cast<CameraPicker*>(navigation->presentedViewController());
    }
    platform::Storyboard storyboard;
    std::unique_ptr<platform::NavigationController> navigation;
    CaptureVideoScreen* screen = nullptr;
};

} // namespace

class CameraTest : public QObject {
    Q_OBJECT

public:
    explicit CameraTest(testing::PrivateHome& home) : home_(home) {}

private:
    testing::PrivateHome& home_;
    AnsweringPrompts prompts_;
    std::unique_ptr<app::AppWindow> app_;

    QStringList temporaryFiles() const {
        return QDir(home_.dataHome() + "/Flickbook/tmp").entryList(QDir::Files | QDir::Hidden);
    }

private slots:
    void init() {
        QCoreApplication::processEvents();
        components::StatusHUD::dismiss();
        home_.wipe();
        QDir().mkpath(home_.workFolder());
        prompts_ = AnsweringPrompts();
        platform::PhotoLibrary::shared().setPrivacyPrompts(&prompts_);
        qputenv("FLICKBOOK_CAMERA", kTestCamera);
        home::videoFromLibrary = false;
        home::openedFromHistory = false;
    }
    void cleanup() {
        components::StatusHUD::dismiss();
        app_.reset();
        platform::PhotoLibrary::shared().setPrivacyPrompts(nullptr);
    }

    // --- the service

    // Three seconds recorded at the source's 30 frames a second: a clip the
    // trim screen's player plays to its end in about three seconds.
    void aRecordingPlaysInThePlayer() {
        Camera camera;
        QVideoSink viewfinder;
        camera.setVideoOutput(&viewfinder);
        QSignalSpy opened(&camera, &Camera::opened);
        camera.open(Camera::availableCameras().first());
        QVERIFY(opened.wait(5000));
        QTRY_VERIFY(viewfinder.videoFrame().isValid());
        QCOMPARE(viewfinder.videoFrame().size(), QSize(640, 360));
        QVERIFY(camera.startRecording());
        QVERIFY(camera.isRecording());
        QTest::qWait(3000); // a recording of three seconds
        QVERIFY(camera.elapsedSeconds() > 2.5);
        QVERIFY(QRegularExpression("^00:0[23]$").match(camera.elapsedText()).hasMatch());
        std::optional<QUrl> clip;
        bool finished = false;
        camera.stopRecording([&](std::optional<QUrl> made, QString) {
            clip = made;
            finished = true;
        });
        QVERIFY(!camera.isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(finished, 5000);
        QVERIFY(clip);
        QCOMPARE(QFileInfo(clip->toLocalFile()).absolutePath(),
                 home_.dataHome() + "/Flickbook/tmp");

        platform::Player player(*clip);
        QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0, 5000);
        QVERIFY2(std::abs(player.duration() - 3.0) <= 1.0 / 30.0 + 0.02,
                 qPrintable(QString::number(player.duration())));
        QVERIFY(!player.failed());
    }

    void aCameraThatWillNotOpenSaysWhy() {
        Camera camera;
        QSignalSpy failed(&camera, &Camera::failed);
        camera.open({"Broken", {"video4linux2", "/dev/video96", 0, 0, 0}});
        QVERIFY(failed.wait(5000));
        const QString reason = failed.first().first().toString();
        QVERIFY2(reason.contains("Broken"), qPrintable(reason));
        QVERIFY(!camera.isActive());
        QVERIFY(!camera.startRecording());
    }

    // --- the screen

    void accessDecidesBetweenCameraAndAlert_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("allow");
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("camera");
        QTest::newRow("first use, granted")
            << int(AuthorizationStatus::NotDetermined) << true << 1 << true;
        QTest::newRow("first use, declined")
            << int(AuthorizationStatus::NotDetermined) << false << 1 << false;
        QTest::newRow("denied before") << int(AuthorizationStatus::Denied) << true << 0 << false;
        QTest::newRow("granted before")
            << int(AuthorizationStatus::Authorized) << false << 0 << true;
    }
    void accessDecidesBetweenCameraAndAlert() {
        QFETCH(int, stored);
        QFETCH(bool, allow);
        QFETCH(int, asked);
        QFETCH(bool, camera);
        Camera::setAuthorizationStatus(AuthorizationStatus(stored));
        prompts_.allow = allow;
        CameraStack stack;
        if (camera) {
            QTRY_VERIFY(stack.picker());
            CameraPicker* picker = stack.picker();
            QCOMPARE(picker->sourceType, CameraPicker::SourceType::Camera);
            QCOMPARE(picker->mediaTypes, QStringList({"public.movie"}));
            QCOMPARE(picker->cameraCaptureMode, CameraPicker::CaptureMode::Video);
            QVERIFY(!picker->allowsEditing);
            QVERIFY(picker->showsCameraControls);
            QCOMPARE(picker->delegate(), stack.screen);
            QTRY_COMPARE(picker->state(), CameraPicker::State::Ready);
        } else {
            QTRY_VERIFY(stack.navigation->presentedAlert());
            platform::AlertController* alert = stack.navigation->presentedAlert();
            QCOMPARE(alert->title(), QString("Can not access Camera!"));
            QCOMPARE(alert->message(),
                     QString("You have not given permission for access Camera. \nGoto settings "
                             "and give permission to access Camera."));
            QCOMPARE(alert->actionTitles(), QStringList({"Cancel", "Setting"}));
            alert->chooseAction(1);
            QCOMPARE(prompts_.pages,
                     QList<platform::PrivacyService>({platform::PrivacyService::Camera}));
            QVERIFY(!stack.picker());
            QCOMPARE(stack.navigation->topViewController(), stack.screen); // stays, empty
        }
        QCOMPARE(prompts_.askedCamera, asked);
    }

    // Cancel closes the camera page at once, then one animated pop leaves
    // the camera screen for home.
    void cancelClosesThenPopsOnce() {
        Camera::setAuthorizationStatus(AuthorizationStatus::Authorized);
        CameraStack stack;
        QTRY_VERIFY(stack.picker());
        QList<bool> pops;
        connect(stack.navigation.get(), &platform::NavigationController::popped, this,
                [&](int, bool animated) { pops << animated; });
        stack.picker()->btnCancel();
        QVERIFY(!stack.picker());
        QCOMPARE(stack.navigation->depth(), 2); // the pop comes after the close
        QTRY_COMPARE(stack.navigation->depth(), 1);
        QCOMPARE(pops, QList<bool>({true}));
        QVERIFY(qobject_cast<home::HomeScreen*>(stack.navigation->topViewController()));
    }

    // A recording goes to the trim screen; its Back lands on home and the
    // recording is gone with the flow.
    void aRecordingGoesToTrimAndBackLandsHome() {
        Camera::setAuthorizationStatus(AuthorizationStatus::Authorized);
        CameraStack stack;
        QTRY_VERIFY(stack.picker());
        QTRY_COMPARE(stack.picker()->state(), CameraPicker::State::Ready);
        stack.picker()->btnRecord();
        QCOMPARE(stack.picker()->state(), CameraPicker::State::Recording);
        QTest::qWait(1200); // a clip of a little over a second
        stack.picker()->btnRecord();
        QCOMPARE(stack.picker()->state(), CameraPicker::State::Saving);
        stack.picker()->btnCancel(); // ignored while the clip is finished
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<video::TrimVideoScreen*>(stack.navigation->topViewController()), 5000);
        QVERIFY(!stack.picker());
        auto* trim = qobject_cast<video::TrimVideoScreen*>(stack.navigation->topViewController());
        QVERIFY(stack.screen->videoAsset);
        QCOMPARE(trim->selectedvideoAsset, stack.screen->videoAsset);
        const QString clip = stack.screen->videoAsset->toLocalFile();
        QVERIFY(QFile::exists(clip));
        QTRY_VERIFY(trim->player() && trim->trimmerView()->isReady());
        QVERIFY(trim->trimmerView()->durationOrZero() > 1.0);
        trim->btnBack();
        QVERIFY(qobject_cast<home::HomeScreen*>(stack.navigation->topViewController()));
        QTRY_VERIFY(!QFile::exists(clip));
    }

    // Without a camera the page says so and offers a video file, which goes
    // to the trim screen; a file that is no video is refused on the page.
    void noCameraOffersAVideoFile() {
        qunsetenv("FLICKBOOK_CAMERA");
        if (!Camera::availableCameras().isEmpty())
            QSKIP("this machine has a camera");
        Camera::setAuthorizationStatus(AuthorizationStatus::Authorized);
        CameraStack stack;
        QTRY_VERIFY(stack.picker());
        QCOMPARE(stack.picker()->state(), CameraPicker::State::NoCamera);
        QVERIFY(stack.picker()->message().contains("Connect a camera"));
        const QString notVideo = home_.dataHome() + "/notes.mp4";
        QFile file(notVideo);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("nothing to see");
        file.close();
        stack.picker()->openVideoFile(QUrl::fromLocalFile(notVideo));
        QTRY_VERIFY(stack.picker()->message().contains("is not a video"));
        QVERIFY(stack.picker());
        const QString real = QStringLiteral(FLICKBOOK_TESTDATA) + "/media/book.mkv";
        stack.picker()->openVideoFile(QUrl::fromLocalFile(real));
        QTRY_VERIFY(qobject_cast<video::TrimVideoScreen*>(stack.navigation->topViewController()));
        QCOMPARE(stack.screen->videoAsset, std::optional<QUrl>(QUrl::fromLocalFile(real)));
    }

    // From launch in the real window on the synthetic camera: the camera
    // button, consent, about two seconds recorded, Trim, Create, and a GIF
    // whose frames show the test pattern's colours.
    void cameraToGifFromLaunch() {
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnCaptureToGIF")));
        QVERIFY(!home::videoFromLibrary);
        QVERIFY(testing::waitForSettledItem(window, "alertView")); // the consent question
        QVERIFY(testing::clickItem(window, testing::findItem(window, "alertAction_1"))); // Allow
        QTRY_VERIFY(testing::findItem(window, "btnRecord"));
        auto* picker = qobject_cast<CameraPicker*>(navigation.presentedViewController());
        QVERIFY(picker);
        QTRY_COMPARE(picker->state(), CameraPicker::State::Ready);
        QTRY_VERIFY(picker->camera()->framesShown() > 5);
        QTRY_VERIFY(!testing::findItem(window, "alertView")); // the question has gone
        QTest::keyClick(window, Qt::Key_Space);               // record
        QCOMPARE(picker->state(), CameraPicker::State::Recording);
        QTest::qWait(2100); // long enough for the clock to read 00:02
        QVERIFY(testing::findItem(window, "elapsedTime"));
        QVERIFY(testing::saveScreenshot(window, "camera-recording-390"));
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnRecord"))); // stop
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<video::TrimVideoScreen*>(navigation.topViewController()), 5000);
        auto* trim = qobject_cast<video::TrimVideoScreen*>(navigation.topViewController());
        QTRY_VERIFY(trim->trimmerView()->isReady());
        QVERIFY(trim->trimmerView()->endSeconds() >= 1.9);
        QVERIFY(testing::waitForPagesToSettle(window));
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
        QVERIFY(decoded->frames.size() >= 5);
        // The test pattern is a field of saturated colour bars: many pixels
        // far from grey.
        const auto& first = decoded->frames.front();
        QCOMPARE(first.canvasWidth, 640u);
        int vivid = 0;
        for (std::size_t i = 0; i < first.rgba.size(); i += 4) {
            const int r = first.rgba[i], g = first.rgba[i + 1], b = first.rgba[i + 2];
            if (std::max({r, g, b}) - std::min({r, g, b}) > 120)
                ++vivid;
        }
        QVERIFY2(vivid > int(first.rgba.size() / 4 / 5), qPrintable(QString::number(vivid)));
        // Home: the flow's screens go, and the recording with them.
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::clickItem(window, testing::findItem(window, "rightBarButton"))); // Home
        QTRY_VERIFY(qobject_cast<home::HomeScreen*>(navigation.topViewController()));
        QTRY_VERIFY(temporaryFiles().isEmpty());
    }

    void noCameraPageInTheWindow() {
        qunsetenv("FLICKBOOK_CAMERA");
        if (!Camera::availableCameras().isEmpty())
            QSKIP("this machine has a camera");
        Camera::setAuthorizationStatus(AuthorizationStatus::Authorized);
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnCaptureToGIF")));
        QVERIFY(testing::waitForSettledItem(window, "noCamera"));
        QVERIFY(testing::waitForPagesToSettle(window)); // keys wait for the slide too
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "camera-none-390"));
        QVERIFY(testing::resizeTo(window, {1280, 800}));
        QVERIFY(testing::saveScreenshot(window, "camera-none-1280"));
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(qobject_cast<home::HomeScreen*>(app_->navigation().topViewController()));
    }
};

int main(int argc, char* argv[]) {
    testing::PrivateHome home;
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    CameraTest test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "camera_test.moc"
