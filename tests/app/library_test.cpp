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
#include "library/first_frame_provider.h"
#include "library/gif_preview_screen.h"
#include "library/history_screen.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "platform/save_as.h"
#include "platform/view_pictures.h"
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
#include <cmath>
#include <memory>
#include <span>

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

QByteArray bytesOf(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// A GIF of `frames` frames of 10 cs on a width × height canvas: the whole
// canvas in the first, then a 64 × 48 block in a new colour each frame,
// moving across it and left in place, as screen recordings are made.
QByteArray movingBlockGif(int width, int height, int frames) {
    testsupport::GifBuilder builder(std::uint16_t(width), std::uint16_t(height),
                                    testsupport::rampPalette(8));
    builder.loop(0);
    testsupport::FrameDescription whole;
    whole.width = std::uint16_t(width);
    whole.height = std::uint16_t(height);
    whole.indices.assign(std::size_t(width) * std::size_t(height), 0);
    whole.delayCs = 10;
    builder.image(whole);
    const int across = std::max(1, (width - 64) / 16), down = std::max(1, (height - 48) / 16);
    for (int i = 1; i < frames; ++i) {
        testsupport::FrameDescription block;
        block.left = std::uint16_t((i % across) * 16);
        block.top = std::uint16_t((i / across % down) * 16);
        block.width = 64;
        block.height = 48;
        block.indices.assign(64 * 48, std::uint8_t(1 + i % 255));
        block.delayCs = 10;
        block.disposal = 1;
        builder.image(block);
    }
    return bytesOf(builder.finish());
}

// A file of a few hundred bytes that declares a frame far larger than any
// screen: the whole canvas, or one image on a small canvas.
QByteArray hugeFrameGif(std::uint16_t canvasSide, std::uint16_t imageSide) {
    auto bytes =
        testsupport::GifBuilder(canvasSide, canvasSide, testsupport::rampPalette(1)).finish(false);
    const std::uint8_t image[] = {0x2C,
                                  0,
                                  0,
                                  0,
                                  0,
                                  std::uint8_t(imageSide & 0xFF),
                                  std::uint8_t(imageSide >> 8),
                                  std::uint8_t(imageSide & 0xFF),
                                  std::uint8_t(imageSide >> 8),
                                  0,
                                  2,
                                  2,
                                  0x44,
                                  0x01,
                                  0,
                                  0x3B};
    bytes.insert(bytes.end(), std::begin(image), std::end(image));
    return bytesOf(bytes);
}

// The most memory this process has held so far, from the kernel's books.
qint64 peakResidentBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

quint64 heldBytes(const platform::AnimatedImage& image) {
    quint64 held = 0;
    for (const QImage& picture : image.images)
        held += platform::heldBytes(picture);
    return held;
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
    // Launches at phone width and opens the work list, which holds the one
    // GIF stored; null when any step fails.
    HistoryScreen* launchToWorkListOfOne() {
        app_ = testing::launchToHome({390, 780});
        if (!app_)
            return nullptr;
        auto& navigation = app_->navigation();
        navigation.topViewController()->performSegueWithIdentifier("segue_history");
        auto* history = qobject_cast<HistoryScreen*>(navigation.topViewController());
        if (!history || !QTest::qWaitFor([&] { return history->arrOfFile.size() == 1; }, 5000) ||
            !testing::waitForPagesToSettle(app_->window()))
            return nullptr;
        return history;
    }

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

    // As a page lets go of a closing preview, its bindings may write the
    // view's size once more while Qt tears the screen down; that news must
    // not reach the screen's slots (under the sanitizers it was a report).
    void aClosingPreviewHearsNothingFromItsView() {
        auto* screen = new library::GIFPreviewScreen;
        platform::AnimatedImageView* view = screen->ivPlayGIF();
        QObject::connect(screen, &QObject::destroyed, view,
                         [view] { view->setPixelSize(QSize(321, 123)); });
        QSignalSpy sizes(view, &platform::AnimatedImageView::pixelSizeChanged);
        delete screen;
        QCOMPARE(sizes.count(), 1);
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

    // A file declaring a frame no desktop shows is refused by the preview
    // and by the grid's first frames before the memory is taken, with the
    // reason; the preview says so where the GIF would play.
    void aHugeDeclaredFrameIsRefusedInLittleMemory_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("canvas of 12000 a side") << hugeFrameGif(12000, 12000);
        QTest::newRow("image of 16384 a side") << hugeFrameGif(64, 16384);
    }
    void aHugeDeclaredFrameIsRefusedInLittleMemory() {
        QFETCH(QByteArray, bytes);
        QVERIFY(bytes.size() < 1000);
        const QString path = storeGif("Animation_1700000300.gif", bytes);
        const qint64 peakBefore = peakResidentBytes();

        auto decoded = library::decodeForPlayback(path);
        QVERIFY(!decoded);
        QCOMPARE(decoded.error().code, std::string("gif.too_large"));
        QVERIFY2(decoded.error().message.find("256 MiB") != std::string::npos,
                 decoded.error().message.c_str());

        library::FirstFrameProvider provider;
        QSize size(-1, -1);
        const QImage first = provider.requestImage(
            QString::fromLatin1(QUrl::toPercentEncoding(path)), &size, QSize(200, 200));
        QVERIFY(first.isNull());
        QCOMPARE(size, QSize(0, 0));

        GIFPreviewScreen preview;
        preview.gifURL = QUrl::fromLocalFile(path);
        testing::ConsoleCapture console;
        preview.loadGIF();
        QTRY_VERIFY(!preview.problem().isEmpty());
        QVERIFY(!preview.isLoading());
        QVERIFY(preview.ivPlayGIF()->image().isEmpty());
        QVERIFY2(preview.problem().startsWith("“Animation_1700000300.gif” can't be played.") &&
                     preview.problem().contains("memory limit of 256 MiB"),
                 qPrintable(preview.problem()));
        QCOMPARE(console.lines().size(), 1);

        // The default limit of the engine (1 GiB) would have let these
        // through at 576 MB and 256 MB.
        QVERIFY2(peakResidentBytes() - peakBefore < (64 << 20),
                 qPrintable(QString::number(peakResidentBytes() - peakBefore)));
    }

    // Pictures are made at the size the view draws them; a GIF's frame that
    // fits is kept pixel for pixel, in one byte a pixel.
    void previewPicturesFitTheViewAndStayCompact() {
        const QByteArray bytes = movingBlockGif(640, 480, 12);
        const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        auto reference = gif::decodeAnimation(std::span(raw, std::size_t(bytes.size())));
        QVERIFY(reference);

        library::PlaybackLimits whole;
        whole.box = QSize(800, 600);
        auto kept = library::decodeForPlayback(bytes, whole);
        QVERIFY(kept);
        QCOMPARE(kept->images.size(), 12);
        for (qsizetype i = 0; i < 12; ++i) {
            const QImage& picture = kept->images[i];
            QCOMPARE(picture.format(), QImage::Format_Indexed8);
            const QImage expected(reference->frames[std::size_t(i)].rgba.data(), 640, 480,
                                  QImage::Format_RGBA8888);
            QCOMPARE(picture.convertToFormat(QImage::Format_RGBA8888), expected);
        }

        library::PlaybackLimits phone;
        phone.box = QSize(334, 400);
        auto fitted = library::decodeForPlayback(bytes, phone);
        QVERIFY(fitted);
        QCOMPARE(fitted->images.size(), 12);
        for (const QImage& picture : fitted->images) {
            QCOMPARE(picture.size(), QSize(334, 250));
            QVERIFY(picture.format() == QImage::Format_Indexed8 ||
                    picture.format() == QImage::Format_RGB888);
        }
        // The first frame is one colour, whatever its size.
        const auto palette = testsupport::rampPalette(8);
        QCOMPARE(fitted->images[0].pixelColor(100, 100),
                 QColor(palette[0], palette[1], palette[2]));
        QCOMPARE(fitted->entryCount(), kept->entryCount());
        QCOMPARE(fitted->duration, 1.2);
    }

    // However many frames a GIF has, the pictures held stay within their
    // budget: they are made smaller instead, and every frame still plays.
    void aLongGifIsHeldWithinItsBudget() {
        const QByteArray bytes = movingBlockGif(640, 480, 300);
        library::PlaybackLimits limits;
        limits.box = QSize(640, 480);
        limits.pictureBytes = 8 << 20; // 300 frames of 640 × 480 take 92 MB at one byte a pixel
        auto image = library::decodeForPlayback(bytes, limits);
        QVERIFY(image);
        QCOMPARE(image->images.size(), 300);
        QCOMPARE(image->entryCount(), quint64(300));
        QVERIFY(heldBytes(*image) <= limits.pictureBytes);
        const QSize size = image->images[0].size();
        QVERIFY(size.width() < 640 && size.width() >= 50);
        for (const QImage& picture : image->images)
            QCOMPARE(picture.size(), size);

        limits.pictureBytes = 300 * 200; // not even thumbnails
        auto refused = library::decodeForPlayback(bytes, limits);
        QVERIFY(!refused);
        QCOMPARE(refused.error().code, std::string("preview.too_many_frames"));
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

    // A file dropped on a preview opened from the list starts a flow on top
    // of it; a GIF made there is opened as made, and going back to the
    // first preview still finds its Back.
    void aPreviewFromHistoryKeepsItsBackUnderAnotherFlow() {
        storeGif("Animation_1700000300.gif", gifWithDelays({10}));
        auto stack = openHistory();
        QTRY_COMPARE(stack.history->arrOfFile.size(), 1);
        stack.history->collectionViewDidSelectItem(0);
        auto* fromHistory = qobject_cast<GIFPreviewScreen*>(stack.navigation->topViewController());
        QVERIFY(fromHistory);
        QVERIFY(fromHistory->openedFromHistory());

        stack.navigation->pushViewController(new platform::ViewController(), QUrl(), false);
        home::openedFromHistory = false; // what a render sets
        auto* made = new GIFPreviewScreen();
        made->gifURL = fromHistory->gifURL;
        stack.navigation->pushViewController(made, QUrl(), false);
        QVERIFY(!made->openedFromHistory());
        QVERIFY(!made->navigationItem()->leftBarButtonItem()->isEnabled());

        stack.navigation->popViewControllerAnimated(false);
        stack.navigation->popViewControllerAnimated(false);
        QCOMPARE(stack.navigation->topViewController(), fromHistory);
        QVERIFY(fromHistory->navigationItem()->leftBarButtonItem()->isEnabled());
        fromHistory->btnBack();
        QCOMPARE(stack.navigation->topViewController(), stack.history);
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
        QVERIFY(preview.isLoading());
        QTRY_VERIFY(!preview.problem().isEmpty());
        QVERIFY(!preview.isLoading());
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

    // A GIF of a thousand frames is decoded on the background queue: the
    // window keeps drawing (the spinner turns) until it plays, and what it
    // holds is pictures the size of the view, not of the GIF.
    void aLongGifDecodesWhileTheWindowKeepsDrawing() {
        storeGif("Animation_1700000100.gif", movingBlockGif(640, 480, 1000));
        HistoryScreen* history = launchToWorkListOfOne();
        QVERIFY(history);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();

        int drawnWhileLoading = 0;
        GIFPreviewScreen* preview = nullptr;
        connect(window, &QQuickWindow::frameSwapped, this, [&] {
            if (preview && preview->isLoading())
                ++drawnWhileLoading;
        });
        history->collectionViewDidSelectItem(0);
        preview = qobject_cast<GIFPreviewScreen*>(navigation.topViewController());
        QVERIFY(preview);
        QTRY_VERIFY(preview->isLoading());
        QVERIFY(testing::waitForPagesToSettle(window));
        // A thousand frames take a while to decode: the spinner is still up
        // on any machine this runs on.
        if (preview->isLoading()) {
            QVERIFY(testing::findItem(window, "gifLoading")->isVisible());
            QVERIFY(testing::waitForFrame(window));
            QVERIFY(testing::saveScreenshot(window, "preview-loading-390"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(preview->ivPlayGIF()->isAnimating(), 60000);
        QVERIFY(!preview->isLoading());
        QVERIFY(preview->problem().isEmpty());
        QVERIFY2(drawnWhileLoading >= 3, qPrintable(QString::number(drawnWhileLoading)));

        const platform::AnimatedImage& image = preview->ivPlayGIF()->image();
        QCOMPARE(image.images.size(), 1000);
        QCOMPARE(image.entryCount(), quint64(1000));
        // The view's area in device pixels, as the page reports it.
        QQuickItem* picture = testing::findItem(window, "ivPlayGIF");
        QVERIFY(picture);
        const QQuickItem* view = picture->parentItem();
        const qreal ratio = window->effectiveDevicePixelRatio();
        const QSize pixels(int(std::ceil(view->width() * ratio)),
                           int(std::ceil(view->height() * ratio)));
        QCOMPARE(preview->ivPlayGIF()->pixelSize(), pixels);
        for (const QImage& held : image.images)
            QVERIFY(held.width() <= pixels.width() && held.height() <= pixels.height());
        QCOMPARE(image.images[0].size(), platform::fittedSize(QSize(640, 480), pixels));
        QVERIFY(heldBytes(image) <= platform::kPreviewPictureBytes);
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "preview-long-390"));
    }

    // Pictures made for a phone-sized view are made again, larger, once the
    // window has grown and held still; the GIF keeps playing throughout.
    void aPreviewMakesItsPicturesAgainWhenTheWindowGrows() {
        storeGif("Animation_1700000100.gif", movingBlockGif(640, 480, 12));
        HistoryScreen* history = launchToWorkListOfOne();
        QVERIFY(history);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        history->collectionViewDidSelectItem(0);
        auto* preview = qobject_cast<GIFPreviewScreen*>(navigation.topViewController());
        QVERIFY(preview);
        QTRY_VERIFY_WITH_TIMEOUT(preview->ivPlayGIF()->isAnimating(), 20000);
        const QSize small = preview->ivPlayGIF()->image().images[0].size();
        QVERIFY2(small.width() < 640, qPrintable(QString::number(small.width())));

        QVERIFY(testing::resizeTo(window, {1280, 900}));
        const QSize pixels = preview->ivPlayGIF()->pixelSize();
        const QSize wanted = platform::fittedSize(QSize(640, 480), pixels);
        QVERIFY(wanted.width() > small.width() * 5 / 4);
        QTRY_COMPARE_WITH_TIMEOUT(preview->ivPlayGIF()->image().images[0].size(), wanted, 20000);
        QVERIFY(preview->ivPlayGIF()->isAnimating());
        QCOMPARE(preview->ivPlayGIF()->image().images.size(), 12);
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
