// The work list: decoding a stored GIF for playback, the history grid and
// the preview, first as screens, then in the real window from launch.

#include "app/app_delegate.h"
#include "app/app_window.h"
#include "app_test_support.h"
#include "gif/animation.h"
#include "gif_builder.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "library/animated_gif.h"
#include "library/gif_preview_screen.h"
#include "library/history_screen.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "platform/save_as.h"
#include "status_hud.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace flickbook;
using library::GIFPreviewScreen;
using library::HistoryScreen;

namespace {

// A GIF of 8×8 frames in distinct colours with the given delays.
QByteArray gifWithDelays(const std::vector<int>& delaysCs) {
    testsupport::GifBuilder builder(8, 8, testsupport::rampPalette(3));
    builder.loop(0);
    for (std::size_t i = 0; i < delaysCs.size(); ++i) {
        testsupport::FrameDescription spec;
        spec.width = spec.height = 8;
        spec.indices.assign(64, std::uint8_t(i % 8));
        spec.delayCs = delaysCs[i];
        builder.image(spec);
    }
    const auto bytes = builder.finish();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString testdata(const QString& name) {
    return QStringLiteral(FLICKBOOK_TESTDATA) + "/media/" + name;
}

} // namespace

class LibraryTest : public QObject {
    Q_OBJECT

public:
    explicit LibraryTest(testing::PrivateHome& home) : home_(home) {}

private:
    testing::PrivateHome& home_;
    std::unique_ptr<app::AppWindow> app_;

    QString storeGif(const QString& name, const QByteArray& bytes) {
        const QString path = home_.workFolder() + "/" + name;
        writeFile(path, bytes);
        return path;
    }

    // A history screen on a stack above a home screen, listed.
    struct HistoryStack {
        std::unique_ptr<platform::Storyboard> storyboard;
        std::unique_ptr<platform::NavigationController> navigation;
        HistoryScreen* history = nullptr;
    };
    HistoryStack openHistory();

private slots:
    void init() {
        QCoreApplication::processEvents(); // notices posted by the previous test
        components::StatusHUD::dismiss();
        home_.wipe();
        home::openedFromHistory = false;
    }
    void cleanup() {
        components::StatusHUD::dismiss();
        app_.reset();
    }

    void framesStandInTheListForTheirDelays_data() {
        QTest::addColumn<std::vector<int>>("delays");
        QTest::addColumn<QList<int>>("entries"); // frame colour index per entry
        QTest::addColumn<double>("duration");
        QTest::newRow("10 20 10") << std::vector<int>{10, 20, 10} << QList<int>{0, 1, 1, 2} << 0.4;
        QTest::newRow("one frame") << std::vector<int>{5} << QList<int>{0} << 0.05;
        QList<int> long107(7, 0);
        long107 += QList<int>(100, 1);
        QTest::newRow("7 and 100") << std::vector<int>{7, 100} << long107 << 1.07;
    }
    void framesStandInTheListForTheirDelays() {
        QFETCH(std::vector<int>, delays);
        QFETCH(QList<int>, entries);
        QFETCH(double, duration);
        auto image = library::animatedImageWithAnimatedGIFData(gifWithDelays(delays));
        QVERIFY(image);
        QCOMPARE(image->entryCount(), quint64(entries.size()));
        QCOMPARE(image->duration, duration);
        const auto palette = testsupport::rampPalette(3);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const QColor pixel = image->images[image->pictureAt(quint64(i))].pixelColor(3, 3);
            const int c = entries[i];
            QCOMPARE(pixel, QColor(palette[c * 3], palette[c * 3 + 1], palette[c * 3 + 2]));
        }
        // Each frame is held once, however many entries show it.
        QVERIFY(image->images.size() <= qsizetype(delays.size()));
    }

    // 30,000 frames of the longest delay and one of 1 cs make a list of almost
    // two billion entries; the preview holds the frames once and plays it.
    void aTimingBombPlaysInLittleMemory() {
        std::vector<int> delays(30000, 65535);
        delays.push_back(1);
        auto image = library::animatedImageWithAnimatedGIFData(gifWithDelays(delays));
        QVERIFY(image);
        QCOMPARE(image->entryCount(), quint64(30000) * 65535 + 1);
        QCOMPARE(image->images.size(), qsizetype(30001));
        QCOMPARE(image->pictureAt(65534), qsizetype(0));
        QCOMPARE(image->pictureAt(65535), qsizetype(1));
        QCOMPARE(image->pictureAt(image->entryCount() - 1), qsizetype(30000));
        platform::AnimatedImageView view;
        view.setImage(*image);
        QVERIFY(view.isAnimating());
        // Entries pass every centisecond while the first frame stays up for
        // its 655 s.
        QTRY_VERIFY(view.currentEntry() > 5);
        QVERIFY(view.frameSource().toString().endsWith("/0"));
    }

    void badFilesGiveNoAnimation() {
        writeFile(home_.dataHome() + "/not.gif", "this is not a GIF at all");
        QVERIFY(!library::animatedImageWithAnimatedGIFURL(
            QUrl::fromLocalFile(home_.dataHome() + "/not.gif")));
        QVERIFY(!library::animatedImageWithAnimatedGIFURL(
            QUrl::fromLocalFile(home_.dataHome() + "/missing.gif")));
        const QByteArray whole = gifWithDelays({10, 10, 10});
        writeFile(home_.dataHome() + "/cut.gif", whole.left(whole.size() - 20));
        auto partial = library::animatedImageWithAnimatedGIFURL(
            QUrl::fromLocalFile(home_.dataHome() + "/cut.gif"));
        QVERIFY(partial); // the frames before the damage still play
        QVERIFY(partial->images.size() < 3);
    }

    void theViewPlaysEachEntryForItsShareLooping() {
        platform::AnimatedImageView view;
        auto image = library::animatedImageWithAnimatedGIFData(gifWithDelays({10, 20, 10}));
        QList<int> shown;
        QList<qint64> at;
        QElapsedTimer clock;
        connect(&view, &platform::AnimatedImageView::entryChanged, this, [&] {
            shown << int(view.currentEntry());
            at << clock.elapsed();
        });
        clock.start();
        view.setImage(*image);
        QVERIFY(view.isAnimating());
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 6, 3000);
        QCOMPARE(shown.mid(0, 6), QList<int>({0, 1, 2, 3, 0, 1}));
        // Entry k shows from k × 0.1 s on: never early, and not far late (a
        // busy test machine may hold the event loop up for a moment).
        for (int k = 1; k < 6; ++k) {
            QVERIFY2(at[k] >= k * 100 - 2, qPrintable(QString::number(at[k])));
            QVERIFY2(at[k] < k * 100 + 250, qPrintable(QString::number(at[k])));
        }
        view.setImage({});
        QVERIFY(!view.isAnimating());
        QVERIFY(view.frameSource().isEmpty());
    }

    void historyListsStoredGifsNewestFirstAfterATenthOfASecond() {
        storeGif("Animation_1700000100.gif", gifWithDelays({10}));
        storeGif("Animation_1700000300.gif", gifWithDelays({10}));
        storeGif("Animation_1700000200.gif", gifWithDelays({10}));
        storeGif(".Animation_1700000400.gif", gifWithDelays({10})); // hidden
        storeGif("notes.txt", "not a GIF");
        QDir().mkpath(home_.workFolder() + "/folder.gif");
        auto stack = openHistory();
        QCOMPARE(stack.history->arrOfFile.size(), 0); // not listed yet
        QTRY_COMPARE(stack.history->collectionviewHistory()->rowCount(), 3);
        QStringList names;
        for (const QUrl& url : stack.history->arrOfFile)
            names << url.fileName();
        QCOMPARE(names, QStringList({"Animation_1700000300.gif", "Animation_1700000200.gif",
                                     "Animation_1700000100.gif"}));
        QVERIFY(stack.history->lblMsg()->isHidden());
    }

    void anEmptyOrMissingStoreShowsTheMessage() {
        auto stack = openHistory(); // no work folder at all
        QTRY_VERIFY(!stack.history->lblMsg()->isHidden());
        QCOMPARE(stack.history->collectionviewHistory()->rowCount(), 0);
    }

    void cellsAreSquaresOfTheGridRule_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("side");
        QTest::newRow("375 phone") << 375.0 << 2 << 169.5;
        QTest::newRow("390 phone") << 390.0 << 2 << 177.0;
        QTest::newRow("1280 desktop") << 1280.0 << 6 << (1280.0 - 7 * 12.0) / 6;
    }
    void cellsAreSquaresOfTheGridRule() {
        QFETCH(double, width);
        QFETCH(int, columns);
        QFETCH(double, side);
        HistoryScreen history;
        QCOMPARE(history.columnsForWidth(width), columns);
        QCOMPARE(history.cellSide(width), side);
    }

    void deletingAsksThenRemovesAndRenumbers() {
        const QString newest = storeGif("Animation_1700000300.gif", gifWithDelays({10}));
        storeGif("Animation_1700000200.gif", gifWithDelays({10}));
        storeGif("Animation_1700000100.gif", gifWithDelays({10}));
        auto stack = openHistory();
        QAbstractItemModelTester modelTester(
            stack.history->collectionviewHistory(),
            QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTRY_COMPARE(stack.history->arrOfFile.size(), 3);
        auto& navigation = *stack.navigation;

        stack.history->deleteMusic(0);
        platform::AlertController* alert = navigation.presentedAlert();
        QVERIFY(alert);
        QCOMPARE(alert->title(), QString("Are you sure!"));
        QCOMPARE(alert->message(), QString("You want to delete this GIF?"));
        QCOMPARE(alert->actionTitles(), QStringList({"Yes", "No"}));
        alert->chooseAction(1); // No
        QVERIFY(QFileInfo::exists(newest));
        QCOMPARE(stack.history->arrOfFile.size(), 3);

        stack.history->deleteMusic(0);
        navigation.presentedAlert()->chooseAction(0); // Yes
        QVERIFY(!QFileInfo::exists(newest));
        auto* grid = stack.history->collectionviewHistory();
        QCOMPARE(grid->rowCount(), 2);
        for (int row = 0; row < 2; ++row)
            QCOMPARE(grid->data(grid->index(row), library::HistoryGridModel::TagRole).toInt(), row);
        QCOMPARE(grid->data(grid->index(0), library::HistoryGridModel::TitleRole).toString(),
                 QString("Animation_1700000200.gif"));
        QVERIFY(!components::StatusHUD::shared().isVisible()); // one main-queue turn later
        QTRY_VERIFY(components::StatusHUD::shared().isVisible());
        QCOMPARE(components::StatusHUD::shared().status(), QString("GIF successfully deleted."));
        QCOMPARE(components::StatusHUD::shared().kind(), int(components::StatusHUD::Success));
    }

    void deletingTheLastGifShowsTheMessage() {
        storeGif("Animation_1700000300.gif", gifWithDelays({10}));
        auto stack = openHistory();
        QTRY_COMPARE(stack.history->arrOfFile.size(), 1);
        stack.history->deleteMusic(0);
        stack.navigation->presentedAlert()->chooseAction(0);
        QCOMPARE(stack.history->arrOfFile.size(), 0);
        QVERIFY(!stack.history->lblMsg()->isHidden());
    }

    void aGifDeletedBehindTheAppsBackFailsQuietly() {
        const QString gone = storeGif("Animation_1700000300.gif", gifWithDelays({10}));
        storeGif("Animation_1700000200.gif", gifWithDelays({10}));
        auto stack = openHistory();
        QTRY_COMPARE(stack.history->arrOfFile.size(), 2);
        QVERIFY(QFile::remove(gone));
        testing::ConsoleCapture console;
        stack.history->deleteMusic(0);
        stack.navigation->presentedAlert()->chooseAction(0);
        QCOMPARE(stack.history->arrOfFile.size(), 2);
        QCOMPARE(console.lines().size(), 1);
        QVERIFY(console.lines()[0].contains("Animation_1700000300.gif"));
        QCoreApplication::processEvents(); // what the listing queued
        QVERIFY(!components::StatusHUD::shared().isVisible());
    }

    void tappingACellOpensItsPreviewFromHistory() {
        storeGif("Animation_1700000300.gif", gifWithDelays({10}));
        const QString older = storeGif("Animation_1700000200.gif", gifWithDelays({10, 10}));
        auto stack = openHistory();
        QTRY_COMPARE(stack.history->arrOfFile.size(), 2);
        stack.history->collectionViewDidSelectItem(1);
        QVERIFY(home::openedFromHistory);
        auto* preview = qobject_cast<GIFPreviewScreen*>(stack.navigation->topViewController());
        QVERIFY(preview);
        QCOMPARE(preview->gifURL, QUrl::fromLocalFile(older));
        QVERIFY(preview->navigationItem()->leftBarButtonItem()->isEnabled());
        QTRY_VERIFY(preview->ivPlayGIF()->isAnimating());
        preview->btnBack();
        QCOMPARE(stack.navigation->topViewController(), stack.history);
        QCOMPARE(stack.history->arrOfFile.size(), 2); // not listed again
    }

    void sharingAGifHandsOverItsFile() {
        const QString gif = storeGif("Animation_1700000300.gif", gifWithDelays({10}));
        auto stack = openHistory();
        QTRY_COMPARE(stack.history->arrOfFile.size(), 1);
        stack.history->setViewSize(QSizeF(1024, 700));
        stack.history->share(0);
        auto* sheet = stack.navigation->presentedShareSheet();
        QVERIFY(sheet);
        QCOMPARE(sheet->activityItems(), QVariantList({QUrl::fromLocalFile(gif)}));
        QCOMPARE(sheet->popoverPresentationController()->sourceRect(), QRectF(0, 0, 1024, 300));
    }

    void previewAfterARenderHasOnlyHome() {
        const QString gif = storeGif("Animation_1700000300.gif", gifWithDelays({10, 10}));
        platform::Storyboard storyboard;
        platform::NavigationController navigation(storyboard);
        navigation.setRootViewController(new platform::ViewController(), QUrl());
        auto* firstHome = new home::HomeScreen();
        navigation.pushViewController(firstHome, QUrl(), false);
        navigation.pushViewController(new home::HomeScreen(), QUrl(), false);
        navigation.pushViewController(new platform::ViewController(), QUrl(), false); // renderer
        auto* preview = new GIFPreviewScreen();
        preview->gifURL = QUrl::fromLocalFile(gif);
        home::openedFromHistory = false;
        navigation.pushViewController(preview, QUrl(), true);
        auto* back = preview->navigationItem()->leftBarButtonItem();
        QVERIFY(!back->isEnabled());
        QCOMPARE(back->tintColor().alpha(), 0);
        QTRY_VERIFY(preview->ivPlayGIF()->isAnimating());
        back->trigger(); // disabled: nothing happens
        QCOMPARE(navigation.topViewController(), preview);
        preview->btnHome();
        QVERIFY(!preview->ivPlayGIF()->isAnimating());
        QCOMPARE(navigation.topViewController(), firstHome); // the lower of two homes
    }

    void savingCopiesIntoPicturesNeverOverwriting() {
        const QByteArray bytes = gifWithDelays({10, 20});
        const QString gif = storeGif("Animation_1700000300.gif", bytes);
        GIFPreviewScreen preview;
        preview.gifURL = QUrl::fromLocalFile(gif);
        auto& hud = components::StatusHUD::shared();
        for (int tap = 0; tap < 2; ++tap) {
            QSignalSpy shown(&hud, &components::StatusHUD::stateChanged);
            preview.btnSave();
            QTRY_VERIFY(hud.isVisible() && hud.kind() == components::StatusHUD::Success);
            QCOMPARE(hud.status(), QString("GIF Successfully Saved To Photo Library."));
            components::StatusHUD::dismiss();
        }
        const QString album = home_.pictures() + "/Flickbook";
        QCOMPARE(QDir(album).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"Animation_1700000300 (2).gif", "Animation_1700000300.gif"}));
        QCOMPARE(readFile(album + "/Animation_1700000300.gif"), bytes);
        QCOMPARE(readFile(album + "/Animation_1700000300 (2).gif"), bytes);
        QCOMPARE(readFile(gif), bytes); // the stored GIF is untouched
    }

    void aFailedSaveSaysTryLater() {
        GIFPreviewScreen preview;
        preview.gifURL = QUrl::fromLocalFile(home_.workFolder() + "/Animation_1.gif");
        testing::ConsoleCapture console;
        preview.btnSave();
        auto& hud = components::StatusHUD::shared();
        QTRY_VERIFY(hud.isVisible());
        QCOMPARE(hud.kind(), int(components::StatusHUD::Failure));
        QVERIFY(hud.status().startsWith("Please try After Sometimes.\n"));
        QCOMPARE(console.lines().size(), 1);
        QVERIFY(console.lines()[0].contains("Animation_1.gif"));
    }

    // A broken GIF says it cannot be played, with its name; it can still be
    // shared, but it is not put among the user's pictures.
    void aBrokenGifSaysSoAndIsNotSaved() {
        const QString broken = storeGif("Animation_1700000300.gif", "GIF89a garbage");
        GIFPreviewScreen preview;
        preview.gifURL = QUrl::fromLocalFile(broken);
        preview.loadGIF();
        QVERIFY(preview.ivPlayGIF()->image().isEmpty());
        QVERIFY(preview.problem().contains("“Animation_1700000300.gif” can't be played"));
        preview.btnSave();
        auto& hud = components::StatusHUD::shared();
        QTRY_VERIFY(hud.isVisible());
        QCOMPARE(hud.kind(), int(components::StatusHUD::Failure));
        QCOMPARE(hud.status(),
                 QString("Please try After Sometimes.\n"
                         "“Animation_1700000300.gif” is not a GIF that can be read."));
        QVERIFY(!QDir(platform::PhotoLibrary::flickbookAlbum()).exists() ||
                QDir(platform::PhotoLibrary::flickbookAlbum()).isEmpty());
    }

    // From launch: the work button, the grid with pictures, a tap, the GIF
    // playing at its own timing, Back to the grid as it was, then Home.
    void workListFromLaunch() {
        QDir().mkpath(home_.workFolder());
        QVERIFY(testing::copyWritable(testdata("classroom.gif"),
                                      home_.workFolder() + "/Animation_1700000100.gif"));
        QVERIFY(testing::copyWritable(testdata("people-detection.gif"),
                                      home_.workFolder() + "/Animation_1700000200.gif"));
        storeGif("Animation_1700000300.gif", gifWithDelays({10, 20, 10}));
        storeGif("Animation_1700000050.gif", "truncated GIF89a");

        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnMyWork")));
        auto* history = qobject_cast<HistoryScreen*>(navigation.topViewController());
        QVERIFY(history);
        QTRY_COMPARE(testing::findItems(window, "lblTitle").size(), 4);
        // Three real GIFs get their first frames; the broken one keeps the placeholder.
        QTRY_COMPARE_WITH_TIMEOUT(testing::findItems(window, "cellPlaceholder").size(), 1, 5000);
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "history-390"));

        // The people-detection GIF, second row.
        const auto cells = testing::findItems(window, "cellImage");
        QVERIFY(testing::clickItem(window, cells[1]));
        auto* preview = qobject_cast<GIFPreviewScreen*>(navigation.topViewController());
        QVERIFY(preview);
        QCOMPARE(preview->gifURL.fileName(), QString("Animation_1700000200.gif"));
        QTRY_VERIFY(preview->ivPlayGIF()->isAnimating());
        QVERIFY(testing::waitForPagesToSettle(window));

        auto decoded = gif::decodeAnimation(testdata("people-detection.gif").toStdString());
        QVERIFY(decoded);
        const double entrySeconds = decoded->frameList.stepCs / 100.0;
        QCOMPARE(preview->ivPlayGIF()->image().entryCount(), decoded->frameList.length());
        // Over a second (shorter than one loop) the view moves on by as many
        // entries as the file's timing says.
        const auto length = qsizetype(decoded->frameList.length());
        QElapsedTimer clock;
        clock.start();
        const qint64 first = preview->ivPlayGIF()->currentEntry();
        QTest::qWait(1000); // a second of playing, timed by the clock above
        const qint64 last = preview->ivPlayGIF()->currentEntry();
        const double played = clock.elapsed() / 1000.0;
        const int advanced = int((last - first + length) % length);
        // Playing frames instead of list entries would be off by a factor of
        // eight here. The wide margin absorbs a busy or instrumented machine,
        // where the view catches up on ticks it missed before the second began.
        const double pace = advanced / (played / entrySeconds);
        QVERIFY2(pace > 0.5 && pace < 2.0,
                 qPrintable(QString("%1 entries in %2 s").arg(advanced).arg(played)));
        QVERIFY(testing::findItem(window, "ivPlayGIF"));
        QVERIFY(testing::saveScreenshot(window, "preview-390"));

        QVERIFY(testing::clickItem(window, testing::findItem(window, "leftBarButton")));
        QCOMPARE(navigation.topViewController(), history);
        QVERIFY(testing::waitForPagesToSettle(window));
        QCOMPARE(testing::findItems(window, "lblTitle").size(), 4);
        QVERIFY(testing::clickItem(window, testing::findItem(window, "leftBarButton")));
        QVERIFY(qobject_cast<home::HomeScreen*>(navigation.topViewController()));
    }

    // A GIF's share popover in a wide window, opened from a cell and closed
    // every way there is, over and over, then the delete alert the same way.
    void sharePopoverAndAlertSurviveRepeatedUse() {
        testing::RecordingDesktop desktop;
        QDir().mkpath(home_.workFolder());
        QVERIFY(testing::copyWritable(testdata("classroom.gif"),
                                      home_.workFolder() + "/Animation_1700000100.gif"));
        app_ = testing::launchToHome({1280, 800});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        navigation.topViewController()->performSegueWithIdentifier("segue_history");
        QTRY_VERIFY(testing::findItem(window, "btnShare"));
        QVERIFY(testing::waitForPagesToSettle(window));
        const QStringList ways{
            "outside",     "escape",      "share_copy", "share_openWith", "share_showInFolder",
            "share_email", "share_cancel"};
        for (int round = 0; round < 4 * ways.size(); ++round) {
            const QString way = ways[round % ways.size()];
            QVERIFY(testing::clickItem(window, testing::findItem(window, "btnShare")));
            QVERIFY2(testing::waitForSettledItem(window, "shareSheet"), qPrintable(way));
            if (way == "outside")
                QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(1200, 760));
            else if (way == "escape")
                QTest::keyClick(window, Qt::Key_Escape);
            else
                QVERIFY2(testing::clickItem(window, testing::findItem(window, way)),
                         qPrintable(way));
            QTRY_VERIFY2(!navigation.presentedShareSheet(), qPrintable(way));
            QTRY_VERIFY(!testing::findItem(window, "shareSheet"));
        }
        QCOMPARE(desktop.opened.size(), 8);  // open with and show in folder, 4 times each
        QCOMPARE(desktop.started.size(), 4); // email
        for (int round = 0; round < 20; ++round) {
            QVERIFY(testing::clickItem(window, testing::findItem(window, "btnDelete")));
            QVERIFY(testing::waitForSettledItem(window, "alertView"));
            QVERIFY(testing::clickItem(window, testing::findItem(window, "alertAction_1"))); // No
            QTRY_VERIFY(!testing::findItem(window, "alertView"));
        }
        QVERIFY(QFile::exists(home_.workFolder() + "/Animation_1700000100.gif"));
    }

    // Save As from a GIF's share sheet: Flickbook's dialog (this machine has
    // no desktop file chooser) starts in Pictures, Return saves under the
    // typed name, a taken name asks before it is replaced.
    void saveAsWritesACopyAndAsksBeforeReplacing() {
        QDir().mkpath(home_.workFolder());
        const QString gif = home_.workFolder() + "/Animation_1700000100.gif";
        QVERIFY(testing::copyWritable(testdata("classroom.gif"), gif));
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        navigation.topViewController()->performSegueWithIdentifier("segue_history");
        QTRY_VERIFY(testing::findItem(window, "btnShare"));
        QVERIFY(testing::waitForPagesToSettle(window));
        QFile original(gif);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();

        auto saveAs = [&](const QString& typed, bool submit = true) -> QQuickItem* {
            if (!testing::clickItem(window, testing::findItem(window, "btnShare")))
                return nullptr;
            if (!testing::waitForSettledItem(window, "shareSheet"))
                return nullptr;
            testing::clickItem(window, testing::findItem(window, "share_saveAs"));
            QQuickItem* dialog = testing::waitForSettledItem(window, "saveAsDialog");
            if (!dialog || !QTest::qWaitFor([&] {
                    return window->activeFocusItem() &&
                           window->activeFocusItem()->objectName() == "saveAsName";
                }))
                return nullptr;
            QTest::keySequence(window, QKeySequence::SelectAll);
            for (const QChar c : typed)
                QTest::keyClick(window, c.toLatin1());
            if (submit)
                QTest::keyClick(window, Qt::Key_Return);
            return dialog;
        };
        QVERIFY(saveAs("party"));
        QTRY_VERIFY(!testing::findItem(window, "saveAsDialog"));
        const QString saved = home_.pictures() + "/party.gif";
        QFile copy(saved);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), bytes);
        copy.close();
        QCOMPARE(components::StatusHUD::shared().status(), QString("Saved as party.gif"));
        components::StatusHUD::dismiss();
        QTRY_VERIFY(!testing::findItem(window, "statusHud"));

        // The same name again: the dialog stays and asks; Return replaces.
        QVERIFY(QFile::resize(saved, 3));
        QVERIFY(saveAs("party"));
        QTRY_VERIFY(testing::findItem(window, "saveAsError"));
        QVERIFY(testing::findItem(window, "saveAsError")
                    ->property("text")
                    .toString()
                    .contains("Replace"));
        QCOMPARE(QFileInfo(saved).size(), 3); // not yet
        QVERIFY(testing::saveScreenshot(window, "save-as-replace-390"));
        QTest::keyClick(window, Qt::Key_Return);
        QTRY_VERIFY(!testing::findItem(window, "saveAsDialog"));
        QCOMPARE(QFileInfo(saved).size(), bytes.size());
        components::StatusHUD::dismiss();
        QTRY_VERIFY(!testing::findItem(window, "statusHud"));

        // Escape cancels and saves nothing; the next dialog starts in the
        // folder used last.
        QVERIFY(saveAs("never", false));
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!testing::findItem(window, "saveAsDialog"));
        QVERIFY(!QFile::exists(home_.pictures() + "/never.gif"));
        platform::SaveAs request(QUrl::fromLocalFile(gif));
        QCOMPARE(request.folderPath(), home_.pictures());
        writeFile(home_.dataHome() + "/plain-file", "x"); // no folder can be made below a file
        request.setFolder(QUrl::fromLocalFile(home_.dataHome() + "/plain-file/folder"));
        QVERIFY(!request.save("x"));
        QVERIFY(!request.error().isEmpty());
    }

    void screenshotsOfTheEmptyAndFullGridOnADesktop() {
        app_ = testing::launchToHome({1280, 800});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        navigation.topViewController()->performSegueWithIdentifier("segue_history");
        QTRY_VERIFY(testing::findItem(window, "lblMsg"));
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::saveScreenshot(window, "history-empty-1280"));
        navigation.popViewControllerAnimated(false);

        const auto photos = QDir(testdata("")).entryList({"*.gif"});
        for (int i = 0; i < 14; ++i)
            QVERIFY(testing::copyWritable(
                testdata(photos[i % photos.size()]),
                home_.workFolder() +
                    QString("/Animation_17000001%1.gif").arg(i, 2, 10, QChar('0'))));
        navigation.topViewController()->performSegueWithIdentifier("segue_history");
        QTRY_VERIFY_WITH_TIMEOUT(testing::findItems(window, "cellImage").size() >= 12 &&
                                     testing::findItems(window, "cellPlaceholder").isEmpty(),
                                 5000);
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "history-1280"));
        auto* history = qobject_cast<HistoryScreen*>(navigation.topViewController());
        history->collectionViewDidSelectItem(0);
        QTRY_VERIFY(testing::findItem(window, "ivPlayGIF"));
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::saveScreenshot(window, "preview-1280"));
    }
};

LibraryTest::HistoryStack LibraryTest::openHistory() {
    HistoryStack stack;
    stack.storyboard = std::make_unique<platform::Storyboard>();
    stack.storyboard->declareSegue("segue_previewGIF", "GIFPreviewScreen");
    stack.storyboard->registerScene("segue_previewGIF", QUrl(),
                                    [](QObject* parent) { return new GIFPreviewScreen(parent); });
    stack.navigation = std::make_unique<platform::NavigationController>(*stack.storyboard);
    stack.navigation->setRootViewController(new home::HomeScreen(), QUrl());
    stack.history = new HistoryScreen();
    stack.navigation->pushViewController(stack.history, QUrl(), false);
    return stack;
}

int main(int argc, char* argv[]) {
    testing::PrivateHome home;
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    LibraryTest test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "library_test.moc"
