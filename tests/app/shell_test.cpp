// The application shell without its window: the launch sequence, the
// navigation stack and its rules, the status HUD's timing, and the settings
// actions.

#include "app/app_delegate.h"
#include "app/main_storyboard.h"
#include "app_test_support.h"
#include "common/common_utils.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "home/navigation_rules.h"
#include "home/setting_screen.h"
#include "home/store_links.h"
#include "platform/dispatch.h"
#include "platform/navigation_bar_appearance.h"
#include "platform/navigation_controller.h"
#include "platform/share_sheet.h"
#include "platform/user_defaults.h"
#include "status_hud.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QUrlQuery>
#include <atomic>
#include <unistd.h>

using namespace flickbook;
using platform::NavigationController;
using platform::ViewController;

namespace {

// A screen that notes what happened to it, in order.
class JournalScreen : public ViewController {
public:
    explicit JournalScreen(QStringList* journal, QString name, QObject* parent = nullptr)
        : ViewController(parent), journal_(journal), name_(std::move(name)) {}
    void viewDidLoad() override { *journal_ << name_ + ".viewDidLoad"; }
    void viewWillAppear(bool) override { *journal_ << name_ + ".viewWillAppear"; }
    void prepareForSegue(const platform::StoryboardSegue& segue) override {
        *journal_ << name_ + ".prepare " + segue.identifier;
        prepared = segue.destination;
    }
    ViewController* prepared = nullptr;

private:
    QStringList* journal_;
    QString name_;
};

class FancyHomeScreen : public home::HomeScreen {
public:
    using HomeScreen::HomeScreen;
};

void writeFile(const QString& path, const QByteArray& bytes = "x") {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT

public:
    explicit ShellTest(testing::PrivateHome& home) : home_(home) {}

private slots:
    void init() { home_.wipe(); }

    void firstLaunchMakesTheWorkFolderAndRemembersIt() {
        app::AppDelegate delegate;
        QVERIFY(delegate.didFinishLaunching());
        QVERIFY(QFileInfo(home_.documents() + "/MyWork").isDir());
        QCOMPARE(platform::UserDefaults::standard().objectForKey("isFirstTime").toString(),
                 QString("isFirstTime"));
        platform::UserDefaults::reset();
        QCOMPARE(platform::UserDefaults::standard().objectForKey("isFirstTime").toString(),
                 QString("isFirstTime")); // on disk, not only in memory
    }

    void laterLaunchesNeverLookForTheFolder_data() {
        QTest::addColumn<QVariant>("marker");
        QTest::newRow("the usual string") << QVariant(QString("isFirstTime"));
        QTest::newRow("a number") << QVariant(1);
        QTest::newRow("false") << QVariant(false);
        QTest::newRow("an empty string") << QVariant(QString());
    }
    void laterLaunchesNeverLookForTheFolder() {
        QFETCH(QVariant, marker);
        platform::UserDefaults::standard().setObject(marker, "isFirstTime");
        platform::UserDefaults::standard().synchronize();
        platform::UserDefaults::reset();
        app::AppDelegate().didFinishLaunching();
        QVERIFY(!QFileInfo::exists(home_.documents() + "/MyWork"));
    }

    void aFolderThatCannotBeMadeIsOnlyAConsoleLine() {
        QDir().mkpath(home_.dataHome() + "/Flickbook");
        writeFile(home_.documents()); // a file where Documents should be
        QTest::ignoreMessage(
            QtInfoMsg, QRegularExpression("^Error creating images folder in documents dir: "));
        app::AppDelegate().didFinishLaunching();
        QVERIFY(platform::UserDefaults::standard().objectForKey("isFirstTime").isValid());
    }

    // Temporary files name the process that writes them: those of a process
    // that has ended go at launch, those of one still at work (here: this
    // one) stay, however old.
    void launchClearsOnlyTemporaryFilesOfEndedProcesses() {
        QProcess ended;
        ended.start("true", {});
        QVERIFY(ended.waitForStarted());
        const QString gone = QString::number(ended.processId());
        QVERIFY(ended.waitForFinished());
        const QString alive = QString::number(QCoreApplication::applicationPid());
        const QString tmp = home_.dataHome() + "/Flickbook/tmp";
        const QString work = home_.documents() + "/MyWork";
        QDir().mkpath(tmp);
        QDir().mkpath(work);
        writeFile(tmp + "/cut-" + gone + "-1700000000-1.mp4");
        writeFile(tmp + "/cut-" + alive + "-1700000000-2.mp4");
        writeFile(work + "/.Animation_1700000000.gif." + gone + "-a1b2c3.part");
        writeFile(work + "/Animation_1700000000.gif");
        app::AppDelegate().didFinishLaunching();
        QVERIFY(!QFileInfo::exists(tmp + "/cut-" + gone + "-1700000000-1.mp4"));
        QVERIFY(QFileInfo::exists(tmp + "/cut-" + alive + "-1700000000-2.mp4"));
        QVERIFY(!QFileInfo::exists(work + "/.Animation_1700000000.gif." + gone + "-a1b2c3.part"));
        QVERIFY(QFileInfo::exists(work + "/Animation_1700000000.gif"));
    }

    // Quitting lets background work end, then removes the process's own
    // cuts and renders; other processes' files and the GIFs stay.
    void quittingRemovesOnlyItsOwnTemporaryFiles() {
        const QString own = QString::number(QCoreApplication::applicationPid());
        const QString other = QString::number(::getppid()); // runs as long as we do
        const QString tmp = home_.dataHome() + "/Flickbook/tmp";
        const QString work = home_.documents() + "/MyWork";
        QDir().mkpath(tmp);
        QDir().mkpath(work);
        writeFile(tmp + "/cut-" + own + "-1700000000-1.mp4");
        writeFile(tmp + "/cut-" + other + "-1700000000-2.mp4");
        writeFile(work + "/Animation_1700000000.gif");
        std::atomic<bool> finished = false;
        platform::dispatch::background([&] {
            QThread::msleep(300);
            writeFile(tmp + "/render-" + own + "-late.gif");
            finished = true;
        });
        app::AppDelegate::applicationWillTerminate();
        QVERIFY(finished);
        QVERIFY(!QFileInfo::exists(tmp + "/cut-" + own + "-1700000000-1.mp4"));
        QVERIFY(!QFileInfo::exists(tmp + "/render-" + own + "-late.gif"));
        QVERIFY(QFileInfo::exists(tmp + "/cut-" + other + "-1700000000-2.mp4"));
        QVERIFY(QFileInfo::exists(work + "/Animation_1700000000.gif"));
    }

    void segueHandsOverInOrder() {
        QStringList journal;
        platform::Storyboard storyboard;
        storyboard.declareSegue("segue_next", "JournalScreen");
        storyboard.registerScene("segue_next", QUrl("qrc:/next.qml"), [&](QObject* parent) {
            journal << "make";
            return new JournalScreen(&journal, "next", parent);
        });
        NavigationController navigation(storyboard);
        auto* root = new JournalScreen(&journal, "root");
        navigation.setRootViewController(root, QUrl("qrc:/root.qml"));
        QSignalSpy pushed(&navigation, &NavigationController::pushed);
        root->performSegueWithIdentifier("segue_next");
        QCOMPARE(journal, QStringList({"root.viewDidLoad", "root.viewWillAppear", "make",
                                       "root.prepare segue_next", "next.viewDidLoad",
                                       "next.viewWillAppear"}));
        QCOMPARE(navigation.topViewController(), root->prepared);
        QCOMPARE(pushed.size(), 1);
        QCOMPARE(pushed[0][1].toUrl(), QUrl("qrc:/next.qml"));

        journal.clear();
        QVERIFY(navigation.popViewControllerAnimated(true));
        QCOMPARE(journal, QStringList({"root.viewWillAppear"}));
        QVERIFY(!navigation.popViewControllerAnimated(true)); // the root stays
        QCOMPARE(navigation.depth(), 1);
    }

    void homeActionsSetTheFlagsAndOpenTheirScreens_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("videoFromLibrary"); // -1: unchanged
        QTest::addColumn<QString>("destination");
        QTest::newRow("camera") << "btnCaptureToGIF" << 0 << "CaptureVideoScreen";
        QTest::newRow("video") << "btnVideoToGIF" << 1 << "SelectVideoScreen";
        QTest::newRow("photos") << "btnImagesToGIF" << -1 << "SelectImages";
        QTest::newRow("work") << "btnMyWork" << -1 << "HistoryScreen";
    }
    void homeActionsSetTheFlagsAndOpenTheirScreens() {
        QFETCH(QString, action);
        QFETCH(int, videoFromLibrary);
        QFETCH(QString, destination);
        const auto storyboard = app::mainStoryboard();
        NavigationController navigation(storyboard);
        auto* screen = new home::HomeScreen();
        navigation.setRootViewController(screen, QUrl());
        for (bool before : {false, true}) {
            home::videoFromLibrary = before;
            QVERIFY(QMetaObject::invokeMethod(screen, action.toUtf8().constData()));
            QCOMPARE(home::videoFromLibrary,
                     videoFromLibrary < 0 ? before : bool(videoFromLibrary));
            QCOMPARE(navigation.depth(), 2);
            const QString shown = navigation.topViewController()->metaObject()->className();
            QVERIFY2(shown.endsWith("::" + destination), qPrintable(shown));
            navigation.popViewControllerAnimated(false);
        }
    }

    void homeReachesSettingsAndBackLeavesIt() {
        const auto storyboard = app::mainStoryboard();
        NavigationController navigation(storyboard);
        auto* homeScreen = new home::HomeScreen();
        navigation.setRootViewController(homeScreen, QUrl());
        homeScreen->btnSetting();
        auto* settings = qobject_cast<home::SettingScreen*>(navigation.topViewController());
        QVERIFY(settings);
        QVERIFY(settings->navigationItem()->leftBarButtonItem());
        settings->navigationItem()->leftBarButtonItem()->trigger();
        QCOMPARE(navigation.topViewController(), homeScreen);
    }

    void homeRulePopsToTheFirstHomeScreenOfAnyKind() {
        const auto storyboard = app::mainStoryboard();
        {
            NavigationController navigation(storyboard);
            navigation.setRootViewController(new ViewController(), QUrl());
            auto* firstHome = new FancyHomeScreen();
            navigation.pushViewController(firstHome, QUrl(), false);
            navigation.pushViewController(new ViewController(), QUrl(), false);
            navigation.pushViewController(new home::HomeScreen(), QUrl(), false);
            navigation.pushViewController(new ViewController(), QUrl(), false);
            QSignalSpy popped(&navigation, &NavigationController::popped);
            home::returnToHomeScreen(&navigation);
            QCOMPARE(navigation.topViewController(), firstHome);
            QCOMPARE(popped.size(), 1);
            QCOMPARE(popped[0][0].toInt(), 2);
            QCOMPARE(popped[0][1].toBool(), true);
        }
        {
            NavigationController navigation(storyboard);
            navigation.setRootViewController(new ViewController(), QUrl());
            navigation.pushViewController(new ViewController(), QUrl(), false);
            home::returnToHomeScreen(&navigation); // no home screen: nothing happens
            QCOMPARE(navigation.depth(), 2);
        }
        home::returnToHomeScreen(nullptr);
    }

    void poppedScreensGoAwayAfterTheTransition() {
        const auto storyboard = app::mainStoryboard();
        NavigationController navigation(storyboard);
        navigation.setRootViewController(new ViewController(), QUrl());
        QPointer<ViewController> top = new ViewController();
        navigation.pushViewController(top, QUrl(), true);
        navigation.popViewControllerAnimated(true);
        QVERIFY(top); // still drawn while it slides away
        QTRY_VERIFY(!top);
    }

    void hudNoticesHideThemselvesNoSoonerThanTheMinimum() {
        using components::StatusHUD;
        auto& hud = StatusHUD::shared();
        StatusHUD::setMinimumDismissTimeInterval(0.4);
        for (const QString& text : {QString(), QString("GIF successfully deleted.")})
            QVERIFY(hud.displayDuration(text) >= 0.4);

        StatusHUD::showWithStatus("Creating GIF...");
        QVERIFY(hud.isVisible());
        QCOMPARE(hud.kind(), int(StatusHUD::Activity));
        QTest::qWait(700);
        QVERIFY(hud.isVisible()); // activity stays until dismissed

        QElapsedTimer clock;
        clock.start();
        StatusHUD::showErrorWithStatus("Something Went Wrong. Try Again Later.");
        QCOMPARE(hud.kind(), int(StatusHUD::Failure));
        QCOMPARE(hud.status(), QString("Something Went Wrong. Try Again Later."));
        QTRY_VERIFY_WITH_TIMEOUT(!hud.isVisible(), 5000);
        QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));

        StatusHUD::show();
        QVERIFY(hud.status().isEmpty());
        StatusHUD::dismiss();
        QVERIFY(!hud.isVisible());
        QSignalSpy changes(&hud, &StatusHUD::stateChanged);
        StatusHUD::dismiss(); // nothing showing: nothing happens
        QCOMPARE(changes.size(), 0);
        StatusHUD::setMinimumDismissTimeInterval(3.0);
    }

    void hudTakesCallsFromAnyThread() {
        using components::StatusHUD;
        auto& hud = StatusHUD::shared();
        std::unique_ptr<QThread> worker(QThread::create(
            [] { StatusHUD::showSuccessWithStatus("GIF Successfully Saved To Photo Library."); }));
        worker->start();
        worker->wait();
        QTRY_VERIFY(hud.isVisible());
        QCOMPARE(hud.thread(), QCoreApplication::instance()->thread());
        QCOMPARE(hud.kind(), int(StatusHUD::Success));
        StatusHUD::dismiss();
    }

    void rateRecordsShowRateEvenWhenTheStoreWillNotOpen() {
        testing::RecordingDesktop desktop;
        desktop.canOpen = false;
        home::SettingScreen settings;
        for (int tap = 0; tap < 2; ++tap) {
            settings.btnRateApp();
            platform::UserDefaults::reset(); // read back from disk
            QCOMPARE(platform::UserDefaults::standard().objectForKey("showRate").toString(),
                     QString("true"));
        }
        QCOMPARE(desktop.opened.size(), 2);
        // Nothing opened: the link is on the clipboard, and the user is told.
        QCOMPARE(QGuiApplication::clipboard()->text(), desktop.opened[0].toString());
        QCOMPARE(components::StatusHUD::shared().kind(), int(components::StatusHUD::Information));
        QVERIFY(components::StatusHUD::shared().status().contains("clipboard"));
        const QUrl review = desktop.opened[0];
        QVERIFY(review.toString().startsWith(home::kStoreLink));
        QCOMPARE(review.query(), QString("mt=8&action=write-review"));

        settings.btnMoreApps();
        QCOMPARE(desktop.opened.last(), QUrl(home::kDeveloperLink));
        QCOMPARE(desktop.opened.last().scheme(), QString("https"));
    }

    void shareIsASheetOnPhonesAndAnAnchoredPopoverOnWideWindows_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("popover");
        QTest::newRow("phone") << 375.0 << false;
        QTest::newRow("tablet") << 768.0 << true;
        QTest::newRow("desktop") << 1280.0 << true;
    }
    void shareIsASheetOnPhonesAndAnAnchoredPopoverOnWideWindows() {
        QFETCH(double, width);
        QFETCH(bool, popover);
        const auto storyboard = app::mainStoryboard();
        NavigationController navigation(storyboard);
        navigation.setRootViewController(new home::HomeScreen(), QUrl());
        navigation.performSegue("segue_setting", navigation.topViewController());
        auto* settings = qobject_cast<home::SettingScreen*>(navigation.topViewController());
        settings->setViewSize(QSizeF(width, 700));
        settings->btnShareApp();
        platform::ShareSheet* sheet = navigation.presentedShareSheet();
        QVERIFY(sheet);
        // A line of text, then the store page as a link.
        QCOMPARE(sheet->activityItems().size(), 2);
        QVERIFY(!sheet->activityItems()[0].toString().isEmpty());
        QCOMPARE(sheet->activityItems()[1], QVariant(QUrl(home::kStoreLink)));
        QCOMPARE(sheet->popoverPresentationController() != nullptr, popover);
        if (popover) {
            QCOMPARE(sheet->popoverPresentationController()->sourceRect(),
                     QRectF(0, 0, width, 300));
            QCOMPARE(sheet->popoverPresentationController()->sourceView(), settings);
        }
        QCOMPARE(sheet->actions(), QStringList({"copy", "email"}));
    }

    void shareSheetActionsReachTheDesktop() {
        testing::RecordingDesktop desktop;
        platform::ShareSheet text(
            {QString("Download this awesome Flickbook App."), QUrl(home::kStoreLink)}, nullptr);
        QSignalSpy finished(&text, &platform::ShareSheet::finished);
        QVERIFY(text.perform("copy"));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "Download this awesome Flickbook App.\n" + home::kStoreLink);
        QVERIFY(text.perform("email"));
        QCOMPARE(desktop.opened.last().scheme(), QString("mailto"));
        QVERIFY(QUrlQuery(desktop.opened.last())
                    .queryItemValue("body", QUrl::FullyDecoded)
                    .endsWith(home::kStoreLink));
        QVERIFY(!text.perform("showInFolder"));
        QCOMPARE(finished.size(), 2);

        QDir().mkpath(home_.documents() + "/MyWork");
        const QString gif = home_.documents() + "/MyWork/Animation_1700000000.gif";
        writeFile(gif, "GIF89a-not-really");
        platform::ShareSheet file({QUrl::fromLocalFile(gif)}, nullptr);
        QCOMPARE(file.actions(),
                 QStringList({"copy", "saveAs", "openWith", "showInFolder", "email"}));
        QCOMPARE(file.summary(), QString("Animation_1700000000.gif"));
        QVERIFY(file.perform("email"));
        QCOMPARE(desktop.started.last(), QStringList({"xdg-email", "--attach", gif}));
        QVERIFY(file.perform("showInFolder"));
        QCOMPARE(desktop.opened.last(), QUrl::fromLocalFile(home_.documents() + "/MyWork"));
        QVERIFY(file.perform("copy"));
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(),
                 QList<QUrl>({QUrl::fromLocalFile(gif)}));

        QSignalSpy saveAs(&file, &platform::ShareSheet::saveAsRequested);
        QVERIFY(file.perform("saveAs"));
        QCOMPARE(saveAs.size(), 1);
        QCOMPARE(saveAs.first().first().toUrl(), QUrl::fromLocalFile(gif));

        desktop.canOpen = false;
        QVERIFY(!file.perform("openWith"));
        QVERIFY(file.lastError().contains("Animation_1700000000.gif"));
    }

private:
    testing::PrivateHome& home_;
};

int main(int argc, char* argv[]) {
    testing::PrivateHome home;
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    ShellTest test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"
