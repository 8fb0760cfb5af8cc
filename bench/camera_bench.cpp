// How soon the camera's viewfinder comes up, how it keeps up while a clip is
// recorded, and how soon a stopped recording is on the trim screen.
//
//   camera_bench [--runs N] [--seconds S]
//
// The camera is FFmpeg's synthetic one (FLICKBOOK_CAMERA set to a 1280×720,
// 30 fps lavfi test pattern paced in real time) and camera access is granted
// beforehand, so no question comes between the click and the viewfinder.
// Each of the N runs launches the real window offscreen at 390×780 with a
// private home and goes through the window as a person would:
//
// Open: a click on the home screen's camera button ("btnCaptureToGIF"), to
// the first frame the camera delivers to the viewfinder once the camera
// page has given it its VideoOutput (Camera::frameShown). When the camera
// page is presented and when the camera reports itself opened say where
// that time goes.
//
// Viewfinder: 2 s with the viewfinder alone, then a click on the record
// button ("btnRecord") and S seconds (5 unless told) of recording. For each
// stretch, frames per second is the number of frameShown() signals divided
// by its wall time, and each frame's age is how long before it reached the
// GUI thread it was captured (Camera::lastFrameAge, read on frameShown()):
// the capture instant is the session's start on the steady clock plus the
// frame's own capture time.
//
// Stop: a second click on the record button, to the trim screen on top of
// the stack with its trimmer ready (the clip's length known), and to its
// player's first frameShown().
//
// The machine's load average is printed before and after, as other work may
// share the cores.

#include "app/app_window.h"
#include "app_bench_support.h"
#include "app_test_support.h"
#include "components/trimmer_view.h"
#include "platform/camera.h"
#include "platform/camera_picker.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "platform/player.h"
#include "video/trim_video_screen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QVideoSink>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace flickbook;
using bench::spinUntil;
using platform::Camera;
using platform::CameraPicker;
using video::TrimVideoScreen;

namespace {

const char* const kCamera = "lavfi:testsrc2=size=1280x720:rate=30,realtime";
constexpr double kSourceRate = 30.0;
constexpr double kAloneSeconds = 2.0;

double median(std::vector<double> values) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Nearest rank.
double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double maxOf(const std::vector<double>& values) {
    return values.empty() ? NAN : *std::max_element(values.begin(), values.end());
}

double minOf(const std::vector<double>& values) {
    return values.empty() ? NAN : *std::min_element(values.begin(), values.end());
}

// Runs the event loop for a while, as the window would between user actions.
void spinFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    spinUntil([&] { return clock.elapsed() >= milliseconds; }, milliseconds + 1000);
}

QString loadAverage() {
    QFile file("/proc/loadavg");
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// What the viewfinder showed over one stretch of time.
struct Stretch {
    int frames = 0;
    double wall = 0; // s
    std::vector<double> agesMs;
    double fps() const { return wall > 0 ? frames / wall : NAN; }
};

// Seconds from the click of each step, −1 for what did not happen.
struct Run {
    bool complete = false;
    const char* failedAt = nullptr;
    // From the camera button.
    double screenPushed = -1;
    double pagePresented = -1;
    double cameraOpened = -1;
    double firstFrame = -1;
    Stretch alone;
    Stretch recording;
    // From the stop click.
    double trimOnTop = -1;
    double trimmerReady = -1;
    double playerFirstFrame = -1;
    double clipLength = 0; // s, as the trimmer has it
};

// Counts the viewfinder's frames and their ages while `counting` is set.
class FrameCounter {
public:
    explicit FrameCounter(Camera* camera) {
        QObject::connect(camera, &Camera::frameShown, &watch_, [this, camera] {
            if (!into_)
                return;
            ++into_->frames;
            const double age = camera->lastFrameAge();
            if (!std::isnan(age))
                into_->agesMs.push_back(age * 1000.0);
        });
    }
    // Counts into the stretch for that long of wall time.
    void count(Stretch& stretch, double seconds) {
        QElapsedTimer clock;
        into_ = &stretch;
        clock.start();
        spinUntil([&] { return double(clock.nsecsElapsed()) / 1e9 >= seconds; },
                  int(seconds * 1000) + 2000);
        stretch.wall = double(clock.nsecsElapsed()) / 1e9;
        into_ = nullptr;
    }

private:
    QObject watch_;
    Stretch* into_ = nullptr;
};

bool playerHasFrame(const platform::Player* player) {
    QObject* output = player->videoOutput();
    auto* sink = qobject_cast<QVideoSink*>(output);
    if (!sink && output)
        sink = output->property("videoSink").value<QVideoSink*>();
    return sink && sink->videoFrame().isValid();
}

Run runOnce(app::AppWindow& app, double recordSeconds) {
    Run run;
    QQuickWindow* window = app.window();
    platform::NavigationController& navigation = app.navigation();
    QElapsedTimer clock;
    auto seconds = [&] { return double(clock.nsecsElapsed()) / 1e9; };
    QObject watch;

    // --- the camera button to the first viewfinder frame
    QQuickItem* cameraButton = testing::findItem(window, "btnCaptureToGIF");
    if (!cameraButton) {
        run.failedAt = "no camera button";
        return run;
    }
    // The camera page is presented (its QML page made) and the camera asked
    // to open at once; opened() and the frames come later through the event
    // loop, so connecting on presentation misses none of them.
    CameraPicker* picker = nullptr;
    QObject::connect(&navigation, &platform::NavigationController::pushed, &watch, [&] {
        if (run.screenPushed < 0)
            run.screenPushed = seconds();
    });
    QObject::connect(
        &navigation, &platform::NavigationController::presentedViewControllerChanged, &watch, [&] {
            auto* presented = qobject_cast<CameraPicker*>(navigation.presentedViewController());
            if (picker || !presented)
                return;
            picker = presented;
            run.pagePresented = seconds();
            Camera* camera = picker->camera();
            QObject::connect(camera, &Camera::opened, &watch, [&] {
                if (run.cameraOpened < 0)
                    run.cameraOpened = seconds();
            });
            QObject::connect(camera, &Camera::frameShown, &watch, [&, camera] {
                if (run.firstFrame < 0 && camera->videoOutput())
                    run.firstFrame = seconds();
            });
        });
    clock.start();
    testing::clickItem(window, cameraButton);
    const bool firstFrame = spinUntil([&] { return run.firstFrame >= 0; }, 15000);
    if (!firstFrame) {
        run.failedAt = "no viewfinder frame";
        return run;
    }

    // --- the viewfinder alone, then recording
    Camera* camera = picker->camera();
    if (!spinUntil(
            [&] {
                return picker->state() == CameraPicker::State::Ready && camera->framesShown() > 5;
            },
            10000) ||
        !testing::waitForPagesToSettle(window) ||
        !testing::waitForSettledItem(window, "btnRecord")) {
        run.failedAt = "camera page not ready";
        return run;
    }
    spinFor(300);
    FrameCounter counter(camera);
    counter.count(run.alone, kAloneSeconds);
    if (!testing::clickItem(window, testing::findItem(window, "btnRecord")) ||
        picker->state() != CameraPicker::State::Recording) {
        run.failedAt = "recording did not start";
        return run;
    }
    counter.count(run.recording, recordSeconds);

    // --- the stop click to the trim screen
    // The trim screen is pushed once the clip is complete; it sets up its
    // trimmer and player on a later turn of the event loop, so connecting
    // on the push misses neither.
    QPointer<TrimVideoScreen> trim;
    QPointer<platform::Player> player;
    QObject::connect(&navigation, &platform::NavigationController::pushed, &watch,
                     [&](platform::ViewController* screen) {
                         auto* pushed = qobject_cast<TrimVideoScreen*>(screen);
                         if (trim || !pushed)
                             return;
                         trim = pushed;
                         run.trimOnTop = seconds();
                         QObject::connect(trim->trimmerView(),
                                          &components::TrimmerView::assetLoaded, &watch, [&] {
                                              if (run.trimmerReady < 0 &&
                                                  trim->trimmerView()->isReady())
                                                  run.trimmerReady = seconds();
                                          });
                     });
    clock.restart();
    if (!testing::clickItem(window, testing::findItem(window, "btnRecord"))) {
        run.failedAt = "no stop button";
        return run;
    }
    const bool onTrim = spinUntil(
        [&] {
            if (!trim)
                return false;
            if (run.trimmerReady < 0 && trim->trimmerView()->isReady())
                run.trimmerReady = seconds();
            if (!player && trim->player()) {
                player = trim->player();
                QObject::connect(player, &platform::Player::frameShown, &watch, [&] {
                    if (run.playerFirstFrame < 0)
                        run.playerFirstFrame = seconds();
                });
                // A frame shown before the connection: when it was made.
                if (playerHasFrame(player))
                    run.playerFirstFrame = seconds();
            }
            return trim == navigation.topViewController() && run.trimmerReady >= 0 &&
                   run.playerFirstFrame >= 0;
        },
        15000);
    if (!onTrim) {
        run.failedAt = "trim screen not ready";
        return run;
    }
    run.clipLength = trim->trimmerView()->durationOrZero();
    run.complete = true;
    return run;
}

// "median | max" of one step over the runs, in seconds.
void printStep(const char* name, const std::vector<Run>& runs, double Run::*field) {
    std::vector<double> values;
    for (const Run& run : runs)
        if (run.*field >= 0)
            values.push_back(run.*field);
    std::printf("| %s | %.3f | %.3f |\n", name, median(values), maxOf(values));
}

void printStretch(const char* name, const std::vector<Run>& runs, Stretch Run::*field) {
    std::vector<double> fps, ages;
    int frames = 0;
    for (const Run& run : runs) {
        const Stretch& stretch = run.*field;
        fps.push_back(stretch.fps());
        frames += stretch.frames;
        ages.insert(ages.end(), stretch.agesMs.begin(), stretch.agesMs.end());
    }
    const auto over100 =
        std::count_if(ages.begin(), ages.end(), [](double age) { return age > 100.0; });
    std::printf("| %s | %d | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %lld |\n", name, frames,
                median(fps), minOf(fps), median(ages), percentile(ages, 95), maxOf(ages),
                minOf(ages), static_cast<long long>(over100));
}

} // namespace

int main(int argc, char* argv[]) {
    int runs = 3;
    double recordSeconds = 5.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--runs")
            runs = QString::fromLocal8Bit(argv[i + 1]).toInt();
        else if (arg == "--seconds")
            recordSeconds = QString::fromLocal8Bit(argv[i + 1]).toDouble();
    }
    if (runs <= 0 || recordSeconds <= 0) {
        std::fprintf(stderr, "usage: camera_bench [--runs N] [--seconds S]\n");
        return 1;
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("FLICKBOOK_CAMERA", kCamera);
    testing::PrivateHome home;
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    QDir().mkpath(home.workFolder());
    Camera::setAuthorizationStatus(platform::AuthorizationStatus::Authorized);

    const QString loadBefore = loadAverage();
    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) {
        auto app = testing::launchToHome({390, 780});
        if (!app) {
            std::fprintf(stderr, "camera_bench: the window did not reach home\n");
            return 1;
        }
        spinFor(300);
        results.push_back(runOnce(*app, recordSeconds));
        if (!results.back().complete)
            std::fprintf(stderr, "camera_bench: run %d stopped: %s\n", i + 1,
                         results.back().failedAt);
        app.reset();
        spinFor(200);
    }
    const QString loadAfter = loadAverage();
    const bool complete =
        std::all_of(results.begin(), results.end(), [](const Run& run) { return run.complete; });

    std::printf("\nCamera: %s; %d runs, Release, offscreen 390×780; load average (1, 5, 15 min) "
                "%s before, %s after.\n",
                kCamera, runs, qPrintable(loadBefore), qPrintable(loadAfter));

    std::printf("\n### Camera button to the first viewfinder frame (s from the click)\n\n");
    std::printf("| Step | Median (s) | Max (s) |\n|---|---:|---:|\n");
    printStep("Camera screen pushed", results, &Run::screenPushed);
    printStep("Camera page presented (its QML page made)", results, &Run::pagePresented);
    printStep("Camera opened (opened() on the GUI thread)", results, &Run::cameraOpened);
    printStep("**First frame in the viewfinder**", results, &Run::firstFrame);

    std::printf("\n### Viewfinder at 1280×720, %.0f fps source: frames delivered and their age "
                "when they reach the GUI thread (%.0f s alone, %.0f s recording, × %d runs; "
                "ages pooled)\n\n",
                kSourceRate, kAloneSeconds, recordSeconds, runs);
    std::printf("| Stretch | Frames | Frames/s median | Frames/s lowest | Age median (ms) | "
                "Age p95 (ms) | Age max (ms) | Age min (ms) | Older than 100 ms |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    printStretch("Viewfinder alone", results, &Run::alone);
    printStretch("**Recording**", results, &Run::recording);
    std::printf("\n| Run | Recording: frames | Wall (s) | Frames/s | Age median (ms) | Age p95 "
                "(ms) | Age max (ms) |\n|---:|---:|---:|---:|---:|---:|---:|\n");
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Stretch& stretch = results[i].recording;
        std::printf("| %zu | %d | %.3f | %.1f | %.1f | %.1f | %.1f |\n", i + 1, stretch.frames,
                    stretch.wall, stretch.fps(), median(stretch.agesMs),
                    percentile(stretch.agesMs, 95), maxOf(stretch.agesMs));
    }

    std::vector<double> lengths;
    for (const Run& run : results)
        lengths.push_back(run.clipLength);
    std::printf("\n### Stop click to the clip on the trim screen (s from the click; clips of "
                "%.2f s median)\n\n",
                median(lengths));
    std::printf("| Step | Median (s) | Max (s) |\n|---|---:|---:|\n");
    printStep("Trim screen pushed (its page made)", results, &Run::trimOnTop);
    printStep("**Trimmer ready** (clip's length known)", results, &Run::trimmerReady);
    printStep("**Player's first frame**", results, &Run::playerFirstFrame);
    return complete ? 0 : 1;
}
