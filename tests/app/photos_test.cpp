// The photo flow: the library (access, listing, pictures), the picker, the
// frame-time screen, and the whole flow in the real window from launch.

#include "app/app_delegate.h"
#include "app/app_window.h"
#include "app_test_support.h"
#include "common/common_utils.h"
#include "common/output_choices.h"
#include "gif/animation.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "image/fit.h"
#include "library/gif_preview_screen.h"
#include "photos/image_animation_screen.h"
#include "photos/photo_grid_model.h"
#include "photos/select_images.h"
#include "platform/alert_controller.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "platform/user_defaults.h"
#include "platform/view_pictures.h"
#include "status_hud.h"
#include "store/gif_store.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cmath>
#include <memory>

using namespace flickbook;
using platform::AuthorizationStatus;
using platform::PhotoLibrary;

namespace {

QString realPhoto(const QString& name) {
    return QStringLiteral(FLICKBOOK_TESTDATA) + "/photos/" + name;
}

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

// Mean colour of an image, for telling photos apart.
QColor meanColour(const QImage& image) {
    const QImage small = image.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    double r = 0, g = 0, b = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QColor c = small.pixelColor(x, y);
            r += c.red();
            g += c.green();
            b += c.blue();
        }
    return QColor(int(r / 256), int(g / 256), int(b / 256));
}

double distance(const QColor& a, const QColor& b) {
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

} // namespace

class PhotosTest : public QObject {
    Q_OBJECT

public:
    explicit PhotosTest(testing::PrivateHome& home) : home_(home) {}

private:
    testing::PrivateHome& home_;
    std::unique_ptr<app::AppWindow> app_;

    // Real photographs in the Pictures folder, with file times that order the
    // ones without EXIF dates; returns the paths in the library's order.
    QStringList placePhotos() {
        struct Placed {
            const char* name;
            const char* folder;
            int year; // file time for photos without an EXIF date
        };
        const Placed photos[] = {
            {"Aqua.jpg", "", 2010}, {"Storm.jpg", "trips", 0},    {"Blinds.jpg", "trips/2008", 0},
            {"Dune.jpg", "", 0},    {"Garden.jpg", "home", 2001},
        };
        bool placed = true;
        for (const Placed& p : photos) {
            const QString folder = home_.pictures() + "/" + p.folder;
            placed = QDir().mkpath(folder) && placed;
            const QString target = folder + "/" + p.name;
            placed = testing::copyWritable(realPhoto(p.name), target) && placed;
            QFile file(target);
            placed = file.open(QIODevice::ReadWrite) && placed;
            if (p.year)
                placed = file.setFileTime(QDateTime(QDate(p.year, 6, 1), QTime(12, 0)),
                                          QFileDevice::FileModificationTime) &&
                         placed;
        }
        // Left out: hidden files and folders, and files that are not images.
        placed = QDir().mkpath(home_.pictures() + "/.cache") && placed;
        placed = testing::copyWritable(realPhoto("LadyBird.jpg"),
                                       home_.pictures() + "/.cache/LadyBird.jpg") &&
                 placed;
        placed =
            testing::copyWritable(realPhoto("TwoWings.jpg"), home_.pictures() + "/.TwoWings.jpg") &&
            placed;
        if (!placed)
            QTest::qFail("the photos could not be placed", __FILE__, __LINE__);
        QFile notes(home_.pictures() + "/notes.txt");
        notes.open(QIODevice::WriteOnly);
        notes.write("not a photo");
        return {home_.pictures() + "/Aqua.jpg", home_.pictures() + "/trips/Storm.jpg",
                home_.pictures() + "/trips/2008/Blinds.jpg", home_.pictures() + "/Dune.jpg",
                home_.pictures() + "/home/Garden.jpg"};
    }

    struct Stack {
        std::unique_ptr<platform::Storyboard> storyboard;
        std::unique_ptr<platform::NavigationController> navigation;
    };
    Stack makeStack() {
        Stack stack;
        stack.storyboard = std::make_unique<platform::Storyboard>();
        stack.storyboard->declareSegue("segue_imageAnimation", "ImageAnimationScreen");
        stack.storyboard->registerScene("segue_imageAnimation", QUrl(), [](QObject* parent) {
            return new photos::ImageAnimationScreen(parent);
        });
        stack.storyboard->declareSegue("segue_previewGIF", "GIFPreviewScreen");
        stack.storyboard->registerScene("segue_previewGIF", QUrl(), [](QObject* parent) {
            return new library::GIFPreviewScreen(parent);
        });
        stack.navigation = std::make_unique<platform::NavigationController>(*stack.storyboard);
        stack.navigation->setRootViewController(new home::HomeScreen(), QUrl());
        return stack;
    }

private slots:
    void init() {
        QCoreApplication::processEvents();
        components::StatusHUD::dismiss();
        home_.wipe();
        home::openedFromHistory = false;
    }
    void cleanup() {
        PhotoLibrary::shared().setPrivacyPrompts(nullptr);
        components::StatusHUD::dismiss();
        app_.reset();
    }

    void libraryListsPhotosNewestFirstWithoutHiddenOnes() {
        const QStringList expected = placePhotos();
        const auto photos = PhotoLibrary::shared().fetchPhotos();
        QStringList listed;
        for (const auto& photo : photos)
            listed << photo.path;
        QCOMPARE(listed, expected);
        QCOMPARE(photos[1].creationDate, QDateTime(QDate(2008, 4, 20), QTime(19, 12, 6)));
    }

    void picturesComeUprightAndFitted() {
        QDir().mkpath(home_.pictures());
        // A landscape photo stored sideways with an orientation tag (6: turn right).
        QImage landscape(QImage(realPhoto("Dune.jpg")));
        QImage stored = landscape.transformed(QTransform().rotate(-90));
        const QString sideways = home_.pictures() + "/sideways.jpg";
        QVERIFY(stored.save(sideways, "JPEG", 90));
        QByteArray jpeg;
        {
            QFile f(sideways);
            QVERIFY(f.open(QIODevice::ReadOnly));
            jpeg = f.readAll();
        }
        // An APP1 segment with orientation 6, right after SOI.
        const QByteArray app1 = QByteArray::fromHex("FFE10022457869660000"
                                                    "4D4D002A00000008"
                                                    "0001"
                                                    "011200030000000100060000"
                                                    "00000000");
        jpeg.insert(2, app1);
        {
            QFile f(sideways);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(jpeg);
        }
        const platform::PhotoAsset asset{sideways, {}};
        const QImage full = PhotoLibrary::requestFullSizeImage(asset);
        QCOMPARE(full.size(), landscape.size());
        const QImage thumb = common::thumbnailForAsset(asset, 500, 500);
        QCOMPARE(thumb.width(), 500);
        QVERIFY(thumb.height() < 500);
        QVERIFY(distance(meanColour(thumb), meanColour(landscape)) < 12);

        const platform::PhotoAsset broken{home_.pictures() + "/broken.jpg", {}};
        QFile junk(broken.path);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a jpeg");
        junk.close();
        QVERIFY(PhotoLibrary::requestFullSizeImage(broken).isNull());
        QVERIFY(!common::thumbnailForAsset(broken, 500, 500).isNull()); // the placeholder
    }

    void accessIsAskedOnceAndRemembered() {
        AnsweringPrompts prompts;
        PhotoLibrary& library = PhotoLibrary::shared();
        library.setPrivacyPrompts(&prompts);
        QCOMPARE(library.authorizationStatus(), AuthorizationStatus::NotDetermined);
        std::atomic<int> answer{-1};
        library.requestAuthorization([&](AuthorizationStatus s) { answer = int(s); });
        QTRY_COMPARE(answer.load(), int(AuthorizationStatus::Authorized));
        answer = -1;
        prompts.allow = false;
        library.requestAuthorization([&](AuthorizationStatus s) { answer = int(s); });
        QTRY_COMPARE(answer.load(), int(AuthorizationStatus::Authorized));
        QCOMPARE(prompts.asked, 1);
    }

    void refusedAccessShowsTheAlertWithSetting_data() {
        QTest::addColumn<int>("status");
        QTest::newRow("denied") << int(AuthorizationStatus::Denied);
        QTest::newRow("restricted") << int(AuthorizationStatus::Restricted);
    }
    void refusedAccessShowsTheAlertWithSetting() {
        QFETCH(int, status);
        placePhotos();
        AnsweringPrompts prompts;
        PhotoLibrary::shared().setPrivacyPrompts(&prompts);
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus(status));
        auto stack = makeStack();
        auto* picker = new photos::SelectImages();
        stack.navigation->pushViewController(picker, QUrl(), false);
        QTRY_VERIFY(stack.navigation->presentedAlert());
        auto* alert = stack.navigation->presentedAlert();
        QCOMPARE(alert->title(), QString("Can not access Photos!"));
        QCOMPARE(alert->message(),
                 QString("You have not given permission for access Photos. \nGoto settings and "
                         "give permission to access Photos."));
        QCOMPARE(alert->actionTitles(), QStringList({"Cancel", "Setting"}));
        alert->chooseAction(1);
        QCOMPARE(prompts.privacyPages, 1);
        QCOMPARE(picker->collectionviewSelectImages()->rowCount(), 0);
        QVERIFY(!picker->navigationItem()->rightBarButtonItem()->isEnabled());
    }

    void choosingFollowsTheTapOrder() {
        placePhotos();
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus::Authorized);
        auto stack = makeStack();
        auto* picker = new photos::SelectImages();
        QAbstractItemModelTester modelTester(
            picker->collectionviewSelectImages(),
            QAbstractItemModelTester::FailureReportingMode::QtTest);
        stack.navigation->pushViewController(picker, QUrl(), false);
        auto* done = picker->navigationItem()->rightBarButtonItem();
        QVERIFY(!done->isEnabled());
        QTRY_COMPARE(picker->collectionviewSelectImages()->rowCount(), 5);
        QVERIFY(picker->lblMsg()->isHidden());
        QCOMPARE(picker->cellSide(336), 150.0);
        auto* grid = picker->collectionviewSelectImages();
        auto mark = [&](int row) {
            return grid->data(grid->index(row), photos::PhotoGridModel::SelectMarkRole).toUrl();
        };

        picker->collectionViewDidSelectItem(3);
        QVERIFY(done->isEnabled());
        QCOMPARE(mark(3), common::imageNamed("select"));
        QCOMPARE(mark(0), common::imageNamed("unselect"));
        picker->collectionViewDidSelectItem(3);
        QVERIFY(!done->isEnabled());       // the last one tapped away
        for (int row : {3, 0, 2, 0, 4, 0}) // 0 in, out, and in again at the end
            picker->collectionViewDidSelectItem(row);
        QStringList order;
        for (const auto& photo : picker->arrOfSelectedAsset)
            order << QFileInfo(photo.path).fileName();
        QCOMPARE(order, QStringList({"Dune.jpg", "Blinds.jpg", "Garden.jpg", "Aqua.jpg"}));
        // Each chosen photo shows its place in that order; taking one away
        // moves the later ones up.
        auto place = [&](int row) {
            return grid->data(grid->index(row), photos::PhotoGridModel::OrderRole).toInt();
        };
        QCOMPARE(QList<int>({place(3), place(2), place(4), place(0), place(1)}),
                 QList<int>({1, 2, 3, 4, 0}));
        QSignalSpy renumbered(grid, &QAbstractItemModel::dataChanged);
        picker->collectionViewDidSelectItem(2);
        QCOMPARE(QList<int>({place(3), place(2), place(4), place(0)}), QList<int>({1, 0, 2, 3}));
        QVERIFY(!renumbered.isEmpty());
        picker->collectionViewDidSelectItem(2);
        QCOMPARE(place(2), 4);
        order.clear();
        for (const auto& photo : picker->arrOfSelectedAsset)
            order << QFileInfo(photo.path).fileName();
        QCOMPARE(order, QStringList({"Dune.jpg", "Garden.jpg", "Aqua.jpg", "Blinds.jpg"}));

        picker->btnDone();
        QVERIFY(components::StatusHUD::shared().isVisible());
        QTRY_VERIFY(
            qobject_cast<photos::ImageAnimationScreen*>(stack.navigation->topViewController()));
        QVERIFY(!components::StatusHUD::shared().isVisible());
        auto* animation =
            qobject_cast<photos::ImageAnimationScreen*>(stack.navigation->topViewController());
        QCOMPARE(animation->arrOfSelectedImages.size(), 4);
        // Each at the largest size a GIF shows it: 2560 × 1600 photos come
        // down to 1920 × 1200, smaller ones stay as they are.
        const char* names[] = {"Dune.jpg", "Garden.jpg", "Aqua.jpg", "Blinds.jpg"};
        const QSize frame(int(image::kMaxCanvasLongEdge), int(image::kMaxCanvasLongEdge));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(animation->arrOfSelectedImages[i].size(),
                     platform::fittedSize(QImageReader(realPhoto(names[i])).size(), frame));
    }

    // As the page lets go of a closing picker its grid may be read once
    // more, after the choices it numbers are gone (a use after free under
    // the sanitizers before).
    void aClosingPickersGridReadsNothingChosen() {
        auto* screen = new photos::SelectImages;
        photos::PhotoGridModel* grid = screen->collectionviewSelectImages();
        const platform::PhotoAsset photo{realPhoto("Storm.jpg"), {}};
        grid->reloadData({photo});
        screen->arrOfSelectedAsset = {photo};
        QCOMPARE(grid->data(grid->index(0), photos::PhotoGridModel::OrderRole).toInt(), 1);
        QVariant order;
        QObject::connect(screen, &QObject::destroyed, grid, [&] {
            order = grid->data(grid->index(0), photos::PhotoGridModel::OrderRole);
        });
        delete screen;
        QCOMPARE(order.toInt(), 0);
    }

    void anEmptyLibraryShowsTheMessage() {
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus::Authorized);
        auto stack = makeStack();
        auto* picker = new photos::SelectImages();
        stack.navigation->pushViewController(picker, QUrl(), false);
        QTRY_VERIFY(!picker->lblMsg()->isHidden());
        QCOMPARE(picker->collectionviewSelectImages()->rowCount(), 0);
        QVERIFY(!picker->navigationItem()->rightBarButtonItem()->isEnabled());
    }

    void aPhotoThatWillNotLoadIsNamedAndTheChoiceKept() {
        placePhotos();
        QFile junk(home_.pictures() + "/broken.jpg");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a jpeg");
        QVERIFY(junk.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0)),
                                 QFileDevice::FileModificationTime));
        junk.close();
        PhotoLibrary::shared().setAuthorizationStatus(AuthorizationStatus::Authorized);
        auto stack = makeStack();
        auto* picker = new photos::SelectImages();
        stack.navigation->pushViewController(picker, QUrl(), false);
        QTRY_COMPARE(picker->collectionviewSelectImages()->rowCount(), 6);
        picker->collectionViewDidSelectItem(1);
        picker->collectionViewDidSelectItem(0); // broken.jpg, the newest
        picker->btnDone();
        QTRY_VERIFY(stack.navigation->presentedAlert());
        QVERIFY(stack.navigation->presentedAlert()->message().contains("broken.jpg"));
        QVERIFY(!components::StatusHUD::shared().isVisible());
        QCOMPARE(stack.navigation->topViewController(), picker);
        QCOMPARE(picker->arrOfSelectedAsset.size(), std::size_t(2));
    }

    void frameTimesFollowTheSlider_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("label");
        QTest::addColumn<double>("seconds");
        QTest::newRow("1") << 1 << "0.2s" << 0.2;
        QTest::newRow("4") << 4 << "0.5s" << 0.5;
        QTest::newRow("9") << 9 << "1s" << 1.0;
        QTest::newRow("11") << 11 << "1.75s" << 1.75;
        QTest::newRow("12") << 12 << "2s" << 2.0;
    }
    void frameTimesFollowTheSlider() {
        QFETCH(int, position);
        QFETCH(QString, label);
        QFETCH(double, seconds);
        photos::ImageAnimationScreen screen;
        screen.arrOfSelectedImages = {QImage(40, 30, QImage::Format_RGB32),
                                      QImage(40, 30, QImage::Format_RGB32),
                                      QImage(40, 30, QImage::Format_RGB32)};
        screen.viewDidLoad();
        QVERIFY(screen.labelDescrit()->names.isEmpty()); // set up 0.1 s later
        QTRY_VERIFY(screen.imageView()->isAnimating());
        auto* labels = screen.labelDescrit();
        QCOMPARE(labels->names.size(), 12);
        QCOMPARE(labels->value, 8);
        QCOMPARE(labels->upFontSize, 13.0);
        QCOMPARE(labels->downFontSize, 10.0);
        QCOMPARE(screen.sliderDiscrite()->value(), 9.0);
        QCOMPARE(screen.sliderDiscrite()->thumbImage, common::imageNamed("point"));
        QCOMPARE(screen.imageView()->image().duration, 3.0);

        screen.sliderDiscrite()->userMoved(position - 0.3); // snaps to the stop
        QCOMPARE(screen.sliderDiscrite()->value(), double(position));
        QCOMPARE(labels->value, position - 1);
        QCOMPARE(labels->names[position - 1], label);
        QCOMPARE(screen.animationTime, seconds);
        QCOMPARE(screen.imageView()->image().duration, double(3.0f * float(seconds)));
        QCOMPARE(screen.imageView()->currentEntry(), 0); // restarted from the first photo
    }

    void outputChoicesAreRememberedAndChangeNothingByDefault() {
        {
            common::OutputChoices choices;
            QCOMPARE(choices.edgeNames(), QStringList({"Full", "1080", "720", "480", "320"}));
            QCOMPARE(choices.budgetNames(),
                     QStringList({"None", "25 MB", "10 MB", "5 MB", "2 MB"}));
            QCOMPARE(choices.outputSize().maxLongEdge, 1920u);
            QVERIFY(!choices.outputSize().maxBytes);
            QCOMPARE(choices.loop(), render::Loop::forward);
            QSignalSpy changed(&choices, &common::OutputChoices::choicesChanged);
            choices.setEdgeIndex(2);
            choices.setBudgetIndex(3);
            choices.setLoopIndex(1);
            choices.setLoopIndex(1);   // no change, no signal
            choices.setBudgetIndex(9); // out of range: ignored
            QCOMPARE(changed.count(), 3);
        }
        platform::UserDefaults::reset(); // as after a restart
        common::OutputChoices again;
        QCOMPARE(again.outputSize().maxLongEdge, 720u);
        QCOMPARE(again.outputSize().maxBytes, std::optional<std::uint64_t>(5'000'000));
        QCOMPARE(again.loop(), render::Loop::bounce);
        QCOMPARE(platform::UserDefaults::standard().objectForKey("flickbookLoop").toString(),
                 QString("bounce"));
    }

    // Samples made together (a video's speeds) are each kept under their own
    // key: asking for another of them makes nothing new, and a sampler that
    // does not give the sample asked for says so. Once the one asked for is
    // answered, the others are measured with the same choices ahead of time.
    void samplesMadeTogetherAreKeptUnderTheirOwnKeys() {
        common::OutputChoices choices;
        auto calls = std::make_shared<std::atomic<int>>(0);
        // Frames made for each key's measures.
        auto made = std::make_shared<std::array<std::atomic<int>, 2>>();
        const auto sampler = [calls, made]() -> Result<common::OutputChoices::KeyedSamples> {
            ++*calls;
            common::OutputChoices::KeyedSamples keyed;
            for (int k = 0; k < 2; ++k) {
                const render::FrameSample::FrameMaker remake =
                    [made, k](std::size_t i, std::uint32_t longEdge) -> Result<image::RgbaImage> {
                    ++(*made)[std::size_t(k)];
                    const std::uint32_t width = std::min(longEdge, 64u), height = width * 3 / 4;
                    return image::RgbaImage{
                        width, height,
                        std::vector<std::uint8_t>(std::size_t(width) * height * 4,
                                                  std::uint8_t(40 + 160 * i))};
                };
                keyed.push_back({k == 0 ? "a" : "b",
                                 render::FrameSample(
                                     std::vector<image::RgbaImage>(2, image::RgbaImage{64, 48, {}}),
                                     {false, true}, {64, 48}, {}, remake),
                                 2});
            }
            return keyed;
        };
        QSignalSpy answered(&choices, &common::OutputChoices::estimateChanged);
        const auto estimateFor = [&](const QString& key) {
            answered.clear();
            choices.requestEstimate(key, sampler, 2);
            return QTest::qWaitFor([&] { return !answered.isEmpty() && !choices.estimating(); },
                                   10000);
        };
        QVERIFY(estimateFor("a"));
        QVERIFY2(choices.estimate().startsWith("about "), qPrintable(choices.estimate()));
        QCOMPARE((*made)[0].load(), 2);
        QTRY_COMPARE((*made)[1].load(), 2); // measured ahead
        QVERIFY(estimateFor("b"));
        QVERIFY2(choices.estimate().startsWith("about "), qPrintable(choices.estimate()));
        QCOMPARE((*made)[1].load(), 2); // nothing made again
        QCOMPARE(calls->load(), 1);
        QVERIFY(estimateFor("c"));
        QCOMPARE(choices.estimate(), QString("No estimate: the frames were not sampled."));
        QCOMPARE(calls->load(), 2);
    }

    // Create hands the render a plan made for the choices as they are (the
    // render's own, made on the estimate's sample once it is shown): not
    // after a change, nor while a newer estimate is on its way, nor without
    // a budget.
    void createTakesAPlanForTheChoicesAsTheyAre() {
        common::OutputChoices choices;
        // Six frames of noise, whose GIF as asked takes about 3 MB.
        const auto sampler = []() -> Result<common::OutputChoices::KeyedSamples> {
            std::vector<image::RgbaImage> noise;
            std::uint32_t seed = 12345;
            for (int f = 0; f < 6; ++f) {
                image::RgbaImage frame{960, 540, std::vector<std::uint8_t>(960 * 540 * 4, 255)};
                for (std::size_t i = 0; i < frame.pixels.size(); i += 4)
                    for (std::size_t c = 0; c < 3; ++c) {
                        seed = seed * 1664525u + 1013904223u;
                        frame.pixels[i + c] = std::uint8_t(seed >> 24);
                    }
                noise.push_back(std::move(frame));
            }
            common::OutputChoices::KeyedSamples keyed;
            keyed.push_back({"a",
                             render::FrameSample(std::move(noise),
                                                 {false, true, true, true, true, true}, {960, 540}),
                             6});
            return keyed;
        };
        QSignalSpy answered(&choices, &common::OutputChoices::estimateChanged);
        // Noise is the encoder's slowest picture: the first answer, a search
        // over sizes of it, takes about 25 s in a sanitized debug build.
        constexpr int kPatience = 90000;
        const auto answeredNow = [&] {
            return QTest::qWaitFor([&] { return !answered.isEmpty() && !choices.estimating(); },
                                   kPatience);
        };
        choices.setBudgetIndex(4); // 2 MB
        choices.requestEstimate("a", sampler, 6);
        QVERIFY(answeredNow());
        QTRY_VERIFY_WITH_TIMEOUT(choices.outputForRender().planned &&
                                     !choices.outputForRender().planned->fromSlope,
                                 kPatience);
        const auto planned = *choices.outputForRender().planned;
        QVERIFY2(planned.longEdge < 960, qPrintable(QString::number(planned.longEdge)));
        QCOMPARE(planned.largestEdge, 960u);
        QVERIFY(planned.bytes <= 2'000'000);

        answered.clear();
        choices.setEdgeIndex(4); // 320: not this plan's choices
        QVERIFY(!choices.outputForRender().planned);
        QVERIFY(answeredNow());
        QTRY_VERIFY_WITH_TIMEOUT(choices.outputForRender().planned, kPatience);
        QCOMPARE(choices.outputForRender().planned->largestEdge, 320u);

        answered.clear();
        choices.setBudgetIndex(0); // none: nothing to plan
        QVERIFY(answeredNow());
        QVERIFY(!choices.outputForRender().planned);
        choices.setEdgeIndex(0);
    }

    // Measuring ahead stops when the screen asks (as Create does) and starts
    // again with the next request.
    void measuringAheadStopsWhenAskedAndResumes() {
        common::OutputChoices choices;
        auto made = std::make_shared<std::atomic<int>>(0); // frames made for "b"
        const auto sampler = [made]() -> Result<common::OutputChoices::KeyedSamples> {
            common::OutputChoices::KeyedSamples keyed;
            std::vector<image::RgbaImage> plain;
            for (std::uint8_t shade : {40, 200})
                plain.push_back(
                    image::RgbaImage{64, 48, std::vector<std::uint8_t>(64 * 48 * 4, shade)});
            keyed.push_back(
                {"a", render::FrameSample(std::move(plain), {false, true}, {64, 48}), 2});
            // A slow one: 24 frames of 30 ms each.
            const render::FrameSample::FrameMaker slow =
                [made](std::size_t i, std::uint32_t longEdge) -> Result<image::RgbaImage> {
                ++*made;
                QThread::msleep(30);
                const std::uint32_t width = std::min(longEdge, 64u), height = width * 3 / 4;
                return image::RgbaImage{width, height,
                                        std::vector<std::uint8_t>(std::size_t(width) * height * 4,
                                                                  std::uint8_t(i * 10))};
            };
            keyed.push_back({"b",
                             render::FrameSample(
                                 std::vector<image::RgbaImage>(24, image::RgbaImage{64, 48, {}}),
                                 std::vector<bool>(24, true), {64, 48}, {}, slow),
                             24});
            return keyed;
        };
        QSignalSpy answered(&choices, &common::OutputChoices::estimateChanged);
        choices.requestEstimate("a", sampler, 2);
        QVERIFY(
            QTest::qWaitFor([&] { return !answered.isEmpty() && !choices.estimating(); }, 10000));
        choices.stopMeasuringAhead();
        QTest::qWait(1000); // longer than all of b's frames take
        QVERIFY2(made->load() < 12, qPrintable(QString::number(made->load())));

        const int before = made->load();
        answered.clear();
        choices.setEdgeIndex(3); // 480: a request with other choices
        QVERIFY(
            QTest::qWaitFor([&] { return !answered.isEmpty() && !choices.estimating(); }, 10000));
        QTRY_VERIFY_WITH_TIMEOUT(made->load() >= before + 24, 10000);
        choices.setEdgeIndex(0);
    }

    // The size, the limit and bounce change the estimate, the preview and
    // the GIF; the estimate is near what the GIF weighs.
    void sizeAndBounceReachTheEstimateThePreviewAndTheGif() {
        QDir().mkpath(home_.workFolder());
        auto stack = makeStack();
        auto* screen = new photos::ImageAnimationScreen();
        screen->arrOfSelectedImages = {QImage(realPhoto("Storm.jpg")),
                                       QImage(realPhoto("Dune.jpg")),
                                       QImage(realPhoto("Aqua.jpg"))};
        stack.navigation->pushViewController(screen, QUrl(), false);
        common::OutputChoices* output = screen->output();
        QTRY_VERIFY_WITH_TIMEOUT(output->estimate().startsWith("about "), 10000);
        QVERIFY(!output->estimating());
        QVERIFY2(output->estimate().endsWith("· 1920×1280"), qPrintable(output->estimate()));
        QCOMPARE(screen->imageView()->image().images.size(), 3);

        output->setEdgeIndex(3); // 480
        output->setLoopIndex(1); // bounce: 1 2 3 2
        QCOMPARE(screen->imageView()->image().images.size(), 4);
        QCOMPARE(screen->imageView()->image().duration, 4.0);
        QTRY_VERIFY_WITH_TIMEOUT(output->estimate().endsWith("· 480×320") && !output->estimating(),
                                 10000);
        const double estimated = testing::estimatedBytes(output->estimate());

        screen->btnCreateGIF();
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController()), 20000);
        const QString path = screen->gifURL.toLocalFile();
        auto gif = gif::decodeAnimation(path.toStdString());
        QVERIFY(gif);
        QCOMPARE(gif->frames.size(), std::size_t(4));
        QCOMPARE(gif->screen.width, 480u);
        const double made = double(QFileInfo(path).size());
        QVERIFY2(std::abs(estimated / made - 1) < 0.15,
                 qPrintable(QString("estimated %1, made %2").arg(estimated).arg(made)));
    }

    // A limit even the smallest GIF cannot keep is said before rendering,
    // with the nearest limit that it does keep.
    void aLimitTooSmallOffersOneThatFits() {
        QDir().mkpath(home_.workFolder());
        auto stack = makeStack();
        auto* screen = new photos::ImageAnimationScreen();
        screen->arrOfSelectedImages = {QImage(realPhoto("Storm.jpg"))};
        stack.navigation->pushViewController(screen, QUrl(), false);
        common::OutputChoices* output = screen->output();
        QTRY_VERIFY(output->estimate().startsWith("about ")); // the screen's own
        output->setBudgetIndex(4);                            // 2 MB
        // Noise at the smallest size, 600 frames: about 17 MB.
        output->requestEstimate(
            "noise",
            [] {
                std::vector<image::RgbaImage> frames;
                std::uint32_t seed = 7;
                for (int f = 0; f < 3; ++f) {
                    image::RgbaImage frame{160, 120, std::vector<std::uint8_t>(160 * 120 * 4, 255)};
                    for (std::size_t i = 0; i < frame.pixels.size(); ++i)
                        if (i % 4 != 3)
                            frame.pixels[i] =
                                std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
                    frames.push_back(std::move(frame));
                }
                common::OutputChoices::KeyedSamples keyed;
                keyed.push_back({"noise", render::FrameSample(std::move(frames),
                                                              {false, true, true}, {160, 120})});
                return Result<common::OutputChoices::KeyedSamples>(std::move(keyed));
            },
            600);
        QTRY_VERIFY2_WITH_TIMEOUT(output->overBudget(), qPrintable(output->estimate()), 10000);
        QVERIFY2(output->estimate().startsWith("too big for 2 MB"), qPrintable(output->estimate()));
        QVERIFY2(output->nearestBudgetIndexThatFits() == 1,
                 qPrintable(output->estimate())); // 25 MB

        bool created = false;
        QVERIFY(output->askForABudgetThatFits(screen, [&] { created = true; }));
        platform::AlertController* alert = stack.navigation->presentedAlert();
        QVERIFY(alert);
        QCOMPARE(alert->title(), QString("Too big for 2 MB"));
        QCOMPARE(alert->actionTitles(), QStringList({"Use 25 MB", "Cancel"}));
        alert->chooseAction(0);
        QTRY_VERIFY(created);
        QCOMPARE(output->budgetIndex(), 1);
        QVERIFY(!output->overBudget());
        QVERIFY(!output->askForABudgetThatFits(screen, [] {}));
    }

    void destinationDropsTheFraction() {
        const QUrl url = photos::ImageAnimationScreen::destinationFor(1700000000.7);
        QCOMPARE(url.toLocalFile(), home_.workFolder() + "/Animation_1700000000.gif");
    }

    void createRendersIntoTheWorkFolderAndOpensThePreview() {
        QDir().mkpath(home_.workFolder());
        auto stack = makeStack();
        auto* screen = new photos::ImageAnimationScreen();
        screen->arrOfSelectedImages = {QImage(realPhoto("Storm.jpg")),
                                       QImage(realPhoto("Dune.jpg"))};
        home::openedFromHistory = true;
        stack.navigation->pushViewController(screen, QUrl(), false);
        QVERIFY(!screen->navigationItem()->rightBarButtonItem()->hasTintColor());
        QTRY_VERIFY(screen->imageView()->isAnimating());
        screen->sliderDiscrite()->userMoved(1);
        const qint64 before = qint64(store::nowEpochSeconds());
        screen->btnCreateGIF();
        QCOMPARE(components::StatusHUD::shared().status(), QString("Creating GIF..."));
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController()), 20000);
        const qint64 after = qint64(store::nowEpochSeconds());
        QVERIFY(!home::openedFromHistory);
        QVERIFY(!components::StatusHUD::shared().isVisible());
        QVERIFY(!screen->imageView()->isAnimating());
        auto* preview =
            qobject_cast<library::GIFPreviewScreen*>(stack.navigation->topViewController());
        QCOMPARE(preview->gifURL, screen->gifURL);
        const QString name = screen->gifURL.fileName();
        QVERIFY(name.startsWith("Animation_") && name.endsWith(".gif"));
        const qint64 stamp = name.mid(10, name.size() - 14).toLongLong();
        QVERIFY(stamp >= before && stamp <= after);
        QCOMPARE(QFileInfo(screen->gifURL.toLocalFile()).absolutePath(), home_.workFolder());
        auto gif = gif::decodeAnimation(screen->gifURL.toLocalFile().toStdString());
        QVERIFY(gif);
        QCOMPARE(gif->frames.size(), std::size_t(2));
        QCOMPARE(gif->frames[0].delayCs, 20);
        QCOMPARE(gif->loopCount, std::optional<std::uint16_t>(0));
    }

    void aFailedRenderSaysSoAndStays() {
        // No work folder: the encoder cannot place the file.
        auto stack = makeStack();
        auto* screen = new photos::ImageAnimationScreen();
        screen->arrOfSelectedImages = {QImage(realPhoto("Storm.jpg")),
                                       QImage(realPhoto("Dune.jpg"))};
        stack.navigation->pushViewController(screen, QUrl(), false);
        QCOMPARE(screen->navigationItem()->rightBarButtonItem()->tintColor(),
                 common::accentColor());
        QTRY_VERIFY(screen->imageView()->isAnimating());
        screen->btnCreateGIF();
        auto& hud = components::StatusHUD::shared();
        QTRY_VERIFY_WITH_TIMEOUT(hud.kind() == components::StatusHUD::Failure, 20000);
        QCOMPARE(hud.status(), QString("Something Went Wrong. Try Again Later.\n"
                                       "The work folder is missing."));
        QCOMPARE(stack.navigation->topViewController(), screen);
        QVERIFY(screen->gifURL.isEmpty());
        QVERIFY(screen->imageView()->isAnimating());
    }

    // From launch: consent, three photos tapped out of grid order, 0.5 s,
    // Create, and the preview of a GIF whose frames are those photos in
    // that order, 50 cs each.
    void photosToGifFromLaunch() {
        placePhotos();
        QDir().mkpath(home_.workFolder());
        app_ = testing::launchToHome({390, 780});
        QVERIFY(app_);
        QQuickWindow* window = app_->window();
        auto& navigation = app_->navigation();
        QVERIFY(testing::clickItem(window, testing::findItem(window, "btnImagesToGIF")));
        auto* picker = qobject_cast<photos::SelectImages*>(navigation.topViewController());
        QVERIFY(picker);
        QVERIFY(testing::waitForSettledItem(window, "alertView")); // the consent question
        QVERIFY(testing::saveScreenshot(window, "photo-consent-390"));
        QVERIFY(testing::clickItem(window, testing::findItem(window, "alertAction_1"))); // Allow
        QTRY_COMPARE(testing::findItems(window, "photoImage").size(), 5);
        QTRY_VERIFY_WITH_TIMEOUT(testing::findItems(window, "photoPlaceholder").isEmpty(), 5000);

        // Grid order: Aqua, Storm, Blinds, Dune, Garden. Tap Dune, Aqua, Blinds.
        QTRY_VERIFY(!testing::findItem(window, "alertView")); // the consent dialog has faded out
        const auto cells = testing::findItems(window, "photoImage");
        for (int row : {3, 0, 2})
            QVERIFY(testing::clickItem(window, cells[row]));
        QCOMPARE(picker->selectedCount(), 3);
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "photo-picker-390"));
        const auto badges = testing::findItems(window, "photoOrder");
        QCOMPARE(badges.size(), 3);
        // Tap-order badges in the accent colour, inside their white rims.
        QCOMPARE(testing::colourAt(window, badges[0], {7, badges[0]->height() / 2}),
                 common::accentColor());
        for (int width : {320, 620, 1280}) {
            QVERIFY(testing::resizeTo(window, {width, 780}));
            QVERIFY(testing::saveScreenshot(window, QString("photo-picker-%1").arg(width)));
        }
        QVERIFY(testing::resizeTo(window, {390, 780}));
        QVERIFY(testing::clickItem(window, testing::findItem(window, "rightBarButton"))); // Done
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<photos::ImageAnimationScreen*>(navigation.topViewController()), 10000);
        auto* frameTime =
            qobject_cast<photos::ImageAnimationScreen*>(navigation.topViewController());
        QTRY_VERIFY(frameTime->imageView()->isAnimating());
        QVERIFY(testing::waitForPagesToSettle(window));

        // 0.5 s is the fourth stop of the slider.
        QQuickItem* slider = testing::findItem(window, "sliderDiscrite");
        QVERIFY(slider);
        const double inset = 16;
        const QPointF stop = slider->mapToScene(
            QPointF(inset + 3.0 / 11.0 * (slider->width() - 2 * inset), slider->height() / 2));
        QTest::mouseClick(window, Qt::LeftButton, {}, stop.toPoint());
        QCOMPARE(frameTime->animationTime, 0.5);
        QTRY_VERIFY_WITH_TIMEOUT(frameTime->output()->estimate().startsWith("about "), 10000);
        // Bounce, chosen in the window: the preview goes 1 2 3 2.
        QVERIFY(testing::clickItem(window, testing::findItem(window, "segment_Bounce")));
        QCOMPARE(frameTime->imageView()->image().images.size(), 4);
        QVERIFY(testing::clickItem(window, testing::findItem(window, "segment_Forward")));
        QVERIFY(testing::waitForFrame(window));
        QVERIFY(testing::saveScreenshot(window, "frame-time-390"));
        // The twelve labels never run into each other, down to 320 px.
        for (int width : {390, 320, 620, 1280}) {
            QVERIFY(testing::resizeTo(window, {width, 780}));
            QVERIFY2(testing::laidOutApart(window, "camelLabel_"),
                     qPrintable(QString::number(width)));
            QVERIFY(testing::findItem(window, "camelLabel_3")); // the chosen one shows
            QVERIFY(testing::saveScreenshot(window, QString("frame-time-%1").arg(width)));
        }
        QVERIFY(testing::resizeTo(window, {390, 780}));

        QVERIFY(testing::clickItem(window, testing::findItem(window, "rightBarButton"))); // Create
        QTRY_VERIFY_WITH_TIMEOUT(
            qobject_cast<library::GIFPreviewScreen*>(navigation.topViewController()), 20000);
        auto* preview = qobject_cast<library::GIFPreviewScreen*>(navigation.topViewController());
        const auto stored = store::GifStore::standard().list();
        QVERIFY(stored);
        QCOMPARE(stored->size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(stored->front().string()), preview->gifURL.toLocalFile());
        auto gif = gif::decodeAnimation(stored->front());
        QVERIFY(gif);
        QCOMPARE(gif->frames.size(), std::size_t(3));
        const char* tapped[] = {"Dune.jpg", "Aqua.jpg", "Blinds.jpg"};
        const char* all[] = {"Aqua.jpg", "Storm.jpg", "Blinds.jpg", "Dune.jpg", "Garden.jpg"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(gif->frames[std::size_t(i)].delayCs, 50);
            const auto& frame = gif->frames[std::size_t(i)];
            const QImage picture(frame.rgba.data(), int(frame.canvasWidth), int(frame.canvasHeight),
                                 QImage::Format_RGBA8888);
            // The frame is closest to the photo tapped at its place.
            QString nearest;
            double best = 1e9;
            for (const char* name : all) {
                const double d = distance(meanColour(picture), meanColour(QImage(realPhoto(name))));
                if (d < best) {
                    best = d;
                    nearest = name;
                }
            }
            QCOMPARE(nearest, QString(tapped[i]));
        }
        QTRY_VERIFY(preview->ivPlayGIF()->isAnimating());
        QVERIFY(!preview->navigationItem()->leftBarButtonItem()->isEnabled());
        QVERIFY(testing::waitForPagesToSettle(window));
        QVERIFY(testing::saveScreenshot(window, "photo-preview-390"));
    }
};

int main(int argc, char* argv[]) {
    testing::PrivateHome home;
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    PhotosTest test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "photos_test.moc"
