// The video picker and the other ways a video reaches the trim screen: the
// library (access, listing, durations, thumbnails), a tap, an unreadable
// video, the file named on the command line, a file dropped on the window,
// and the whole flow from launch to a stored GIF in the real window.

#include "app/app_delegate.h"
#include "app/app_window.h"
#include "app/file_opener.h"
#include "app_test_support.h"
#include "common/common_utils.h"
#include "gif/animation.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "library/gif_preview_screen.h"
#include "media_fixtures.h"
#include "photos/image_animation_screen.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "status_hud.h"
#include "video/select_video_screen.h"
#include "video/trim_video_screen.h"
#include "video/video_animation_screen.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace flickbook;
using platform::AuthorizationStatus;
using platform::PhotoLibrary;
using video::SelectVideoScreen;

namespace {

// The consent question answered by the test, as the user would.
class AnsweringPrompts : public platform::PrivacyPrompts {
public:
    void askForPhotoAccess(std::function<void(bool)> answer) override {
        ++asked;
        answer(allow);
    }
    void askForCameraAccess(std::function<void(bool)> answer) override {
        ++askedCamera;
        answer(allow);
    }
    void showPrivacyPage(platform::PrivacyService) override { ++privacyPages; }
    bool allow = true;
    int asked = 0;
    int askedCamera = 0;
    int privacyPages = 0;
};

// home, then the picker, with the trim screen registered behind it.
struct PickerStack {
    PickerStack() {
        storyboard.declareSegue("segue_trim", "TrimVideoScreen");
        storyboard.registerScene("segue_trim", QUrl(), [](QObject* parent) {
            return new video::TrimVideoScreen(parent);
        });
        navigation = std::make_unique<platform::NavigationController>(storyboard);
        navigation->setRootViewController(new home::HomeScreen(), QUrl());
        picker = new SelectVideoScreen();
        // Every change the grid makes is checked against the model rules.
        modelTester = std::make_unique<QAbstractItemModelTester>(
            picker->collectionviewSelectVideo(),
            QAbstractItemModelTester::FailureReportingMode::QtTest);
        navigation->pushViewController(picker, QUrl(), false);
    }
    platform::Storyboard storyboard;
    std::unique_ptr<platform::NavigationController> navigation;
    SelectVideoScreen* picker = nullptr;
    std::unique_ptr<QAbstractItemModelTester> modelTester;
};

} // namespace

class VideoPickerTest : public QObject {
    Q_OBJECT

public:
    explicit VideoPickerTest(testing::PrivateHome& home) : home_(home) {}

private:
    testing::PrivateHome& home_;
    QTemporaryDir clips_;
    AnsweringPrompts prompts_;
    std::unique_ptr<app::AppWindow> app_;

    QString clip(const QString& name) const { return clips_.filePath(name); }
    void putVideo(const QString& from, const QString& relative) {
        const QString to = home_.videos() + "/" + relative;
        QDir().mkpath(QFileInfo(to).absolutePath());
        QVERIFY(testing::copyWritable(from, to));
    }
    static QString realMedia(const QString& name) {
        return QStringLiteral(FLICKBOOK_TESTDATA) + "/media/" + name;
    }

private slots:
    void initTestCase() {
        const std::pair<const char*, double> lengths[] = {
            {"short.mp4", 0.4}, {"hour-less-a-second.mp4", 3599}, {"hour.mp4", 3600}};
        for (const auto& [name, seconds] : lengths) {
            testsupport::ClipParameters spec;
            spec.seconds = seconds;
            spec.fps = seconds > 60 ? 1 : 25;
            spec.width = 32;
            spec.height = 24;
            spec.keyframeInterval = 250;
            QVERIFY(testsupport::makeCounterClip(clip(name).toStdString(), spec));
        }
        testsupport::ClipParameters plain;
        QVERIFY(testsupport::makeCounterClip(clip("plain.mp4").toStdString(), plain));
        QFile broken(clip("broken.mp4"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(20000, 'v'));
    }
    void init() {
        QCoreApplication::processEvents();
        components::StatusHUD::dismiss();
        home_.wipe();
        QDir().mkpath(home_.videos());
        QDir().mkpath(home_.workFolder());
        prompts_ = AnsweringPrompts();
        PhotoLibrary::shared().setPrivacyPrompts(&prompts_);
        home::openedFromHistory = false;
        home::videoFromLibrary = true;
    }
    void cleanup() {
        components::StatusHUD::dismiss();
        app_.reset();
        PhotoLibrary::shared().setPrivacyPrompts(nullptr);
    }

    // Asked once on first use; allowed lists the videos, refused shows the
    // alert whose one action opens the privacy page; any other answer only
    // writes a console line.
    void accessDecidesWhatTheScreenShows_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("allow");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("first use, allowed")
            << int(AuthorizationStatus::NotDetermined) << true << 1 << "listed";
        QTest::newRow("first use, refused")
            << int(AuthorizationStatus::NotDetermined) << false << 1 << "alert";
        QTest::newRow("refused before") << int(AuthorizationStatus::Denied) << true << 0 << "alert";
        QTest::newRow("allowed before")
            << int(AuthorizationStatus::Authorized) << false << 0 << "listed";
        QTest::newRow("restricted")
            << int(AuthorizationStatus::Restricted) << true << 0 << "console";
    }
    void accessDecidesWhatTheScreenShows() {
        QFETCH(int, stored);
        QFETCH(bool, allow);
        QFETCH(int, asked);
        QFETCH(QString, outcome);
        putVideo(clip("plain.mp4"), "plain.mp4");
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus(stored));
        prompts_.allow = allow;
        testing::ConsoleCapture console;
        PickerStack stack;
        if (outcome == "listed") {
            QTRY_COMPARE(int(stack.picker->videoList.size()), 1);
            QVERIFY(stack.picker->lblMsg()->isHidden());
        } else if (outcome == "alert") {
            QTRY_VERIFY(stack.navigation->presentedAlert());
            platform::AlertController* alert = stack.navigation->presentedAlert();
            QCOMPARE(alert->title(), QString("You doen't give photo library access permission!"));
            QCOMPARE(alert->message(),
                     QString("Go to setting menu and give permission to continue."));
            QCOMPARE(alert->actionTitles(), QStringList({"Setting"}));
            alert->chooseAction(0);
            QCOMPARE(prompts_.privacyPages, 1);
            QVERIFY(stack.picker->videoList.empty());
        } else {
            QTRY_VERIFY(console.lines().contains("Not Determine"));
            QTest::qWait(100);
            QVERIFY(!stack.navigation->presentedAlert());
            QVERIFY(stack.picker->videoList.empty());
        }
        QCOMPARE(prompts_.asked, asked);
    }

    // Videos anywhere below the folder, hidden ones too, newest first;
    // durations read in the background and shown as the picker's texts.
    void theLibraryListsEveryVideoWithItsDuration() {
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus::Authorized);
        putVideo(clip("short.mp4"), "short.mp4");
        putVideo(clip("hour-less-a-second.mp4"), "Trips/2025/long.MOV");
        putVideo(clip("hour.mp4"), ".hidden/hour.mkv");
        putVideo(clip("plain.mp4"), ".secret.mp4");
        putVideo(clip("plain.mp4"), "notes.txt");
        const QDateTime now = QDateTime::currentDateTime();
        const QStringList byAge{"short.mp4", "Trips/2025/long.MOV", ".hidden/hour.mkv",
                                ".secret.mp4"};
        for (int i = 0; i < byAge.size(); ++i) {
            QFile file(home_.videos() + "/" + byAge[i]);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(now.addSecs(-60 * i), QFileDevice::FileModificationTime));
        }
        PickerStack stack;
        QTRY_COMPARE(int(stack.picker->videoList.size()), 4);
        QStringList listed;
        for (const auto& video : stack.picker->videoList)
            listed << video.path.mid(home_.videos().size() + 1);
        QCOMPARE(listed, byAge);
        auto* grid = stack.picker->collectionviewSelectVideo();
        QTRY_VERIFY_WITH_TIMEOUT(grid->duration(3).has_value(), 10000);
        const QStringList expected{"00:00", "59:59", "01:00:00", "00:04"};
        for (int row = 0; row < 4; ++row)
            QCOMPARE(grid->data(grid->index(row), video::VideoGridModel::TimeRole).toString(),
                     expected[row]);
        QCOMPARE(stack.picker->cellSide(336), 150.0);
        QCOMPARE(stack.picker->columnsForWidth(336), 2);
    }

    void anEmptyLibraryShowsTheMessage() {
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus::Authorized);
        PickerStack stack;
        QTRY_VERIFY(!stack.picker->lblMsg()->isHidden());
        QVERIFY(stack.picker->videoList.empty());
    }

    // A tap hands the same file to the trim screen; a file that is no
    // video gets the alert and the picker stays.
    void aTapOpensTheTrimScreenOrSaysPickAnother() {
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus::Authorized);
        putVideo(clip("broken.mp4"), "a-broken.mp4");
        putVideo(clip("plain.mp4"), "b-plain.mp4");
        QFile broken(home_.videos() + "/a-broken.mp4");
        QVERIFY(broken.open(QIODevice::ReadWrite));
        QVERIFY(broken.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                   QFileDevice::FileModificationTime));
        PickerStack stack;
        QTRY_COMPARE(int(stack.picker->videoList.size()), 2);
        stack.picker->collectionViewDidSelectItem(0);
        QTRY_VERIFY(stack.navigation->presentedAlert());
        QCOMPARE(stack.navigation->presentedAlert()->title(), QString("Alert"));
        QCOMPARE(stack.navigation->presentedAlert()->message(),
                 QString("Please select another video."));
        QCOMPARE(stack.navigation->presentedAlert()->actionTitles(), QStringList({"OK"}));
        stack.navigation->presentedAlert()->chooseAction(0);
        QCOMPARE(stack.navigation->topViewController(), stack.picker);

        stack.picker->collectionViewDidSelectItem(1);
        QTRY_VERIFY(qobject_cast<video::TrimVideoScreen*>(stack.navigation->topViewController()));
        auto* trim = qobject_cast<video::TrimVideoScreen*>(stack.navigation->topViewController());
        const QUrl chosen = QUrl::fromLocalFile(home_.videos() + "/b-plain.mp4");
        QCOMPARE(stack.picker->selectedvideoAsset, std::optional<QUrl>(chosen));
        QCOMPARE(trim->selectedvideoAsset, std::optional<QUrl>(chosen));
        // Back from a library video returns here.
        QTRY_VERIFY(trim->player());
        trim->btnBack();
        QCOMPARE(stack.navigation->topViewController(), stack.picker);
        stack.picker->btnBack();
        QCOMPARE(stack.navigation->depth(), 1);
        // The library's files are never removed by the flow.
        QTest::qWait(600);
        QVERIFY(QFile::exists(chosen.toLocalFile()));
    }

    void aFileFromTheFileChooserOpensTheTrimScreen() {
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus::Authorized);
        PickerStack stack;
        QSignalSpy asked(stack.picker, &SelectVideoScreen::fileChooserRequested);
        stack.picker->btnOpenFile();
        QCOMPARE(asked.size(), 1);
        stack.picker->openFile(QUrl::fromLocalFile(clip("plain.mp4")));
        QTRY_VERIFY(qobject_cast<video::TrimVideoScreen*>(stack.navigation->topViewController()));
    }

    // From launch in the real window: the video button, consent, a tap,
    // Trim, the speed screen, Create, the preview; the stored GIF has five
    // frames of 0.2 s per whole second of the stretch (the first 10 s).
    void videoToGifFromLaunch() {
        putVideo(realMedia("bottle-detection.mp4"), "Camera/bottles.mp4");
        putVideo(realMedia("book.mkv"), "book.mkv");
        QFile older(home_.videos() + "/book.mkv");
        QVERIFY(older.open(QIODevice::ReadWrite));
        QVERIFY(older.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                  QFileDevice::FileModificationTime));
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnVideoToGIF")));
        QVERIFY(home::videoFromLibrary);
        QVERIFY(testing::waitForSettledItem(window, "alertView")); // the consent question
        QVERIFY(testing::clickItem(window, testing::findItem(window, "alertAction_1"))); // Allow
        QTRY_COMPARE(testing::findItems(window, "videoImage").size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(testing::findItems(window, "videoPlaceholder").isEmpty(), 5000);
        QTRY_COMPARE(testing::findItems(window, "lblTime").size(), 2);
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "select-video-390"));
        QVERIFY(testing::resizeTo(window, {1280, 800}));
        QVERIFY(testing::saveScreenshot(window, "select-video-1280"));
        QVERIFY(testing::resizeTo(window, {390, 780}));
        QTest::qWait(300); // the grid rebuilds its cells over a few frames after shrinking

        QVERIFY(testing::clickItem(window, testing::findItems(window, "videoImage").first()));
        QTRY_VERIFY2_WITH_TIMEOUT(
            qobject_cast<video::TrimVideoScreen*>(navigation.topViewController()),
            qPrintable(QString("%1 on top, alert %2, picker rows %3")
                           .arg(navigation.topViewController()->metaObject()->className())
                           .arg(navigation.presentedAlert() ? navigation.presentedAlert()->message()
                                                            : QString("none"))
                           .arg(navigation.topViewController()->property("busy").toString())),
            5000);
        auto* trim = qobject_cast<video::TrimVideoScreen*>(navigation.topViewController());
        QTRY_VERIFY(trim->trimmerView()->isReady());
        QCOMPARE(trim->selectedvideoAsset->fileName(), QString("bottles.mp4"));
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
        QCOMPARE(int(decoded->frames.size()), 10 * 5);
        QCOMPARE(int(decoded->frames.front().info.control->delayCs), 20);
    }

    // flickbook FILE: the video opens in the trim screen once home is shown,
    // and a picture in the frame-time screen.
    void filesNamedOnTheCommandLineOpen() {
        const QList<QUrl> files = app::FileOpener::filesFromArguments({"plain.mp4"}, clips_.path());
        QCOMPARE(files, QList<QUrl>({QUrl::fromLocalFile(clip("plain.mp4"))}));
        app::AppDelegate().didFinishLaunching();
        app_ = std::make_unique<app::AppWindow>();
        QVERIFY(app_->load());
        app_->opener().openWhenHomeIsShown(files);
        auto& navigation = app_->navigation();
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<video::TrimVideoScreen*>(navigation.topViewController()), 5000);
        auto* trim = qobject_cast<video::TrimVideoScreen*>(navigation.topViewController());
        QCOMPARE(trim->selectedvideoAsset, std::optional<QUrl>(files.first()));
        QVERIFY(qobject_cast<home::HomeScreen*>(navigation.viewControllers().at(1)));
        QVERIFY(home::videoFromLibrary); // Back returns to home, one step
    }

    // Dropped on the window: a video opens the trim screen, photos the
    // frame-time screen in the order given, anything else the alert.
    void filesDroppedOnTheWindowOpen() {
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        auto drop = [&](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            const QPoint at(200, 400);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QGuiApplication::sendEvent(window, &enter);
            QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QGuiApplication::sendEvent(window, &move);
            QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QGuiApplication::sendEvent(window, &dropped);
        };
        QSignalSpy handled(&app_->opener(), &app::FileOpener::handled);
        drop({QUrl::fromLocalFile(clip("broken.mp4"))});
        QVERIFY(handled.wait(5000));
        QVERIFY(navigation.presentedAlert());
        QCOMPARE(navigation.presentedAlert()->message(), QString("Please select another video."));
        navigation.presentedAlert()->chooseAction(0);

        const QString photos = QStringLiteral(FLICKBOOK_TESTDATA) + "/photos/";
        drop({QUrl::fromLocalFile(photos + "Storm.jpg"), QUrl::fromLocalFile(photos + "Aqua.jpg")});
        QVERIFY(handled.wait(10000));
        auto* frames = qobject_cast<photos::ImageAnimationScreen*>(navigation.topViewController());
        QVERIFY(frames);
        QCOMPARE(frames->arrOfSelectedImages.size(), 2);
        QCOMPARE(frames->arrOfSelectedImages[0].size(), QImage(photos + "Storm.jpg").size());
        QVERIFY(testing::waitForPagesToSettle(window));
        frames->btnBack();
        QVERIFY(testing::waitForPagesToSettle(window));

        drop({QUrl::fromLocalFile(clip("plain.mp4"))});
        QVERIFY(handled.wait(5000));
        QVERIFY(qobject_cast<video::TrimVideoScreen*>(navigation.topViewController()));
    }
};

int main(int argc, char* argv[]) {
    testing::PrivateHome home;
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    VideoPickerTest test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "video_picker_test.moc"
