// How fast the trim screen shows its strip of thumbnails, and how closely the
// picture follows a dragged handle.
//
//   trim_bench --media DIR [--runs N]
//
// DIR holds the real footage: bottle-detection.mp4 (40 s, 640 × 360) is used
// as it is, and a 30 s 1080p clip is made once from car-detection.mp4 with
// the ffmpeg command (scaled to 1920 × 1080, 30 fps, H.264 with a keyframe
// every 2 s) into a temporary folder.
//
// Strip: for each clip and window size, N runs each launch the real window
// offscreen with a private home, push the trim screen on the clip as the
// picker does, and time the push to the moment every thumbnail of the strip
// is shown: as many visible "trimmerThumbnail" Images as the trimmer's
// thumbnailCount, each with status Ready. Timestamps of the trimmer's
// signals on the way (length known, thumbnails asked for, first and last
// thumbnail made) say where that time goes.
//
// Drag: at phone size, once the strip is shown and the player stands on its
// first frame, the start handle is pressed and moved 4 px to the right 30
// times, 40 ms apart, with QTest's mouse events; after its release the end
// handle is moved to the left the same way, so each move goes back in the
// video, and then the start handle to the left, back towards 0 s. Which frame the player
// shows is read from the frame's own timestamp (QVideoFrame::startTime of
// the VideoOutput's sink the player has just drawn into, on each of its
// frameShown() signals); a frame answers a move when it is the frame an
// exact seek to the handle's new time shows (the frame that contains
// Player::exactSeekTarget of that time). A move's latency runs from the
// mouseMove call to the first frameShown() that answers it or a later move:
// seeks queue up behind the one in flight and a newer target replaces a
// waiting one, so the picture may skip a move and go straight to a later
// one. How many moves got their own frame is reported alongside. Frame
// timestamps are taken relative to the first frame's, which is where the
// player stands before the drag (GStreamer keeps a file's edit-list offset
// in them). TRIM_BENCH_TRACE=1 prints every move and frame to stderr.

#include "app/app_window.h"
#include "app/main_storyboard.h"
#include "app_bench_support.h"
#include "app_test_support.h"
#include "components/trimmer_view.h"
#include "platform/navigation_controller.h"
#include "platform/player.h"
#include "video/trim_video_screen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace flickbook;
using bench::spinUntil;
using components::TrimmerView;
using video::TrimVideoScreen;

namespace {

constexpr int kDragMoves = 30;
constexpr int kDragStepPixels = 4;
constexpr int kDragIntervalMs = 40;

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

// Runs the event loop for a while, as the window would between user actions.
void spinFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    spinUntil([&] { return clock.elapsed() >= milliseconds; }, milliseconds + 1000);
}

bool makeClip1080(const QString& source, const QString& out) {
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList arguments{"-v", "error", "-y", "-i", source};
    arguments += QStringLiteral("-t 30 -vf scale=1920:1080:flags=bicubic,fps=30 -c:v libx264 "
                                "-preset veryfast -crf 20 -pix_fmt yuv420p -force_key_frames "
                                "expr:gte(t,n_forced*2) -sc_threshold 0 -an")
                     .split(QLatin1Char(' '));
    arguments << out;
    ffmpeg.start("ffmpeg", arguments);
    return ffmpeg.waitForFinished(-1) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

// Every thumbnail the trimmer asks for is on screen: that many visible
// "trimmerThumbnail" Images (they are visible only once Ready), each Ready.
bool stripShown(QQuickWindow* window, const TrimmerView* trimmer) {
    const int count = trimmer->thumbnailCount();
    if (count <= 0)
        return false;
    const QList<QQuickItem*> thumbnails = testing::findItems(window, "trimmerThumbnail");
    if (thumbnails.size() != count)
        return false;
    return std::all_of(thumbnails.begin(), thumbnails.end(), [](QQuickItem* image) {
        return image->property("status").toInt() == 1; // Image.Ready
    });
}

// Seconds from the push, −1 for what did not happen.
struct StripRun {
    bool shownInTime = false;
    double shown = -1;
    int thumbnails = 0;
    double lengthKnown = -1;
    double firstAsked = -1;
    double lastAsked = -1;
    double firstThumbnail = -1;
    double lastThumbnail = -1;
    int setsAsked = 0; // thumbnailsChanged() signals: new sets of thumbnails
    double playerMade = -1;
    // The longest the GUI thread was away from the loop that watches the
    // strip (busy in one event), in seconds, and when that began.
    double longestStall = 0;
    double longestStallFrom = -1;
};

// Pushes the trim screen on the clip and waits until its strip is shown and
// stays so (a second set asked for when the strip's size settles would
// clear it for a moment; then the time is that of the last set).
StripRun openStrip(app::AppWindow& app, const QString& clip, TrimVideoScreen*& opened) {
    QQuickWindow* window = app.window();
    auto* screen = new TrimVideoScreen();
    screen->selectedvideoAsset = QUrl::fromLocalFile(clip);
    TrimmerView* trimmer = screen->trimmerView();
    StripRun run;
    QElapsedTimer clock;
    auto seconds = [&] { return double(clock.nsecsElapsed()) / 1e9; };
    QObject watch;
    QObject::connect(trimmer, &TrimmerView::assetLoaded, &watch,
                     [&] { run.lengthKnown = seconds(); });
    QObject::connect(trimmer, &TrimmerView::thumbnailsChanged, &watch, [&] {
        ++run.setsAsked;
        if (run.firstAsked < 0)
            run.firstAsked = seconds();
        run.lastAsked = seconds();
    });
    QObject::connect(trimmer, &TrimmerView::thumbnailReady, &watch, [&] {
        if (run.firstThumbnail < 0)
            run.firstThumbnail = seconds();
        run.lastThumbnail = seconds();
    });

    clock.start();
    app.navigation().pushViewController(screen, app::mainStoryboard().scene("segue_trim")->page,
                                        true);
    opened = screen;
    double lastLook = seconds();
    auto look = [&] {
        const double now = seconds();
        if (now - lastLook > run.longestStall) {
            run.longestStall = now - lastLook;
            run.longestStallFrom = lastLook;
        }
        lastLook = now;
        if (run.playerMade < 0 && screen->player())
            run.playerMade = now;
        return stripShown(window, trimmer);
    };
    run.shownInTime = spinUntil(look, 20000);
    run.shown = seconds();
    bool wasShown = run.shownInTime;
    const double watchUntil = seconds() + 1.5;
    spinUntil(
        [&] {
            const bool now = stripShown(window, trimmer);
            if (now && !wasShown)
                run.shown = seconds();
            wasShown = now;
            return seconds() > watchUntil;
        },
        10000);
    if (!wasShown) {
        run.shownInTime = spinUntil([&] { return stripShown(window, trimmer); }, 20000);
        run.shown = seconds();
    }
    run.thumbnails = trimmer->thumbnailCount();
    return run;
}

struct DragRun {
    std::vector<double> latenciesMs;
    // The same, of the first and of the last ten moves: an exact seek decodes
    // from the keyframe before its target, so it costs more the further the
    // handle is past one.
    std::vector<double> earlyMs, lateMs;
    int moves = 0;
    int ownFrame = 0;   // moves whose own frame was shown
    int unanswered = 0; // moves no frame caught up with
    double offset = 0;  // s, the first frame's timestamp
};

// What the VideoOutput the player draws into shows: its frame's start and
// length in seconds (start −1 when the media stack gave no timestamp).
struct FrameTime {
    double start = -1;
    double length = 0;
};

FrameTime frameTimeOf(const platform::Player* player) {
    QObject* output = player->videoOutput();
    auto* sink = qobject_cast<QVideoSink*>(output);
    if (!sink && output)
        sink = output->property("videoSink").value<QVideoSink*>();
    if (!sink)
        return {};
    const QVideoFrame frame = sink->videoFrame();
    if (frame.startTime() < 0)
        return {};
    FrameTime time{double(frame.startTime()) / 1e6, 0};
    if (frame.endTime() > frame.startTime())
        time.length = double(frame.endTime() - frame.startTime()) / 1e6;
    return time;
}

// Which handle a drag moves, and which way.
struct Drag {
    const char* handle;
    int direction; // +1 right (later), −1 left (earlier)
    bool end;      // the end handle, whose time the picture follows
};
constexpr Drag kStartRight{"trimmerStartHandle", +1, false};
constexpr Drag kEndLeft{"trimmerEndHandle", -1, true};
constexpr Drag kStartLeft{"trimmerStartHandle", -1, false};

// knownOffset: the first frame's timestamp, when an earlier drag has taken it.
DragRun dragHandle(QQuickWindow* window, TrimVideoScreen* screen, const Drag& drag,
                   double knownOffset = -1) {
    DragRun result;
    if (!spinUntil(
            [&] {
                return screen->player() && screen->player()->frameRate() > 0 &&
                       !std::isnan(screen->player()->duration());
            },
            10000))
        return result;
    platform::Player* player = screen->player();
    TrimmerView* trimmer = screen->trimmerView();
    spinFor(500); // the first frame is up and the page has slid in
    const double rate = player->frameRate();
    // The player stands on the first frame, at 0 s: its timestamp is the
    // stream's own offset (a file whose B-frames make it begin with an edit
    // list keeps that offset in GStreamer's timestamps), taken off the rest.
    const double offset = knownOffset >= 0 ? knownOffset : std::max(0.0, frameTimeOf(player).start);
    result.offset = offset;

    struct Shown {
        double at;
        FrameTime frame;
    };
    std::vector<Shown> shown;
    QElapsedTimer clock;
    clock.start();
    auto seconds = [&] { return double(clock.nsecsElapsed()) / 1e9; };
    QObject watch;
    QObject::connect(player, &platform::Player::frameShown, &watch, [&] {
        shown.push_back({seconds(), frameTimeOf(player)});
    });

    QQuickItem* handle = testing::findItem(window, drag.handle);
    if (!handle)
        return result;
    const QPoint from =
        handle->mapToScene(QPointF(handle->width() / 2, handle->height() / 2)).toPoint();
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    spinFor(kDragIntervalMs);
    std::vector<double> movedAt, handleAt;
    for (int move = 1; move <= kDragMoves; ++move) {
        const double at = seconds();
        QTest::mouseMove(window, from + QPoint(drag.direction * kDragStepPixels * move, 0),
                         kDragIntervalMs);
        movedAt.push_back(at);
        handleAt.push_back(drag.end ? trimmer->endSeconds() : trimmer->startSeconds());
        spinUntil([&] { return seconds() >= at + kDragIntervalMs / 1000.0; }, 5000);
    }
    spinFor(1500); // the last seeks land
    const double releasedAt = seconds();
    QTest::mouseRelease(window, Qt::LeftButton, {},
                        from + QPoint(drag.direction * kDragStepPixels * kDragMoves, 0));
    spinFor(300);

    // The frame an exact seek to the handle's time shows contains the
    // player's target for it.
    auto answers = [&](const FrameTime& frame, double handleTime) {
        if (frame.start < 0)
            return false;
        const double start = frame.start - offset;
        const double target = double(platform::Player::exactSeekTarget(handleTime, rate)) / 1000.0;
        const double length = frame.length > 0 ? frame.length : 1.0 / rate;
        return start <= target + 1e-4 && target < start + length - 1e-4;
    };
    if (qEnvironmentVariableIsSet("TRIM_BENCH_TRACE")) {
        std::fprintf(stderr, "first frame at %.3f s\n", offset);
        for (std::size_t i = 0; i < movedAt.size(); ++i)
            std::fprintf(stderr, "move %2zu at %.3f s: handle %.3f s\n", i + 1, movedAt[i],
                         handleAt[i]);
        for (const Shown& frame : shown)
            std::fprintf(stderr, "frame at %.3f s: %.3f s (%.3f s long)\n", frame.at,
                         frame.frame.start, frame.frame.length);
    }
    // A move that leaves the handle where it was (held at the shortest
    // selection) asks for no new frame, and is not counted.
    for (std::size_t i = 0; i < movedAt.size(); ++i) {
        if (i > 0 && handleAt[i] == handleAt[i - 1])
            continue;
        ++result.moves;
        bool own = false;
        double caughtUp = -1;
        for (const Shown& frame : shown) {
            if (frame.at < movedAt[i] || frame.at >= releasedAt)
                continue;
            if (answers(frame.frame, handleAt[i]))
                own = true;
            for (std::size_t j = i; caughtUp < 0 && j < movedAt.size(); ++j)
                if (frame.at >= movedAt[j] && answers(frame.frame, handleAt[j]))
                    caughtUp = frame.at;
        }
        if (own)
            ++result.ownFrame;
        if (caughtUp < 0)
            ++result.unanswered;
        else {
            const double latency = (caughtUp - movedAt[i]) * 1000.0;
            result.latenciesMs.push_back(latency);
            if (i < 10)
                result.earlyMs.push_back(latency);
            if (i + 10 >= movedAt.size())
                result.lateMs.push_back(latency);
        }
    }
    return result;
}

struct Clip {
    QString name;
    QString path;
};

struct Case {
    QString clip;
    QSize window;
    std::vector<StripRun> runs;
    DragRun drag;      // pooled over the runs, at phone size: the start handle to the right
    DragRun back;      // then the end handle to the left
    DragRun startBack; // then the start handle to the left, towards 0 s
};

} // namespace

int main(int argc, char* argv[]) {
    QString media =
        qEnvironmentVariable("FLICKBOOK_TESTDATA", QStringLiteral(FLICKBOOK_TESTDATA)) + "/media";
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--media")
            media = QString::fromLocal8Bit(argv[i + 1]);
        else if (arg == "--runs")
            runs = QString::fromLocal8Bit(argv[i + 1]).toInt();
    }
    const QString bottle = media + "/bottle-detection.mp4";
    const QString car = media + "/car-detection.mp4";
    if (!QFileInfo::exists(bottle) || !QFileInfo::exists(car) || runs <= 0) {
        std::fprintf(stderr, "usage: trim_bench --media FOLDER-WITH-bottle-detection.mp4-AND-"
                             "car-detection.mp4 [--runs N]\n");
        return 1;
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::PrivateHome home;
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    QDir().mkpath(home.workFolder());

    QTemporaryDir clips;
    const QString hd = clips.filePath("car-1080p.mp4");
    if (!makeClip1080(car, hd)) {
        std::fprintf(stderr, "trim_bench: ffmpeg could not make the 1080p clip\n");
        return 1;
    }
    const std::vector<Clip> clipList = {{"640×360, 40 s", bottle}, {"1920×1080, 30 s", hd}};

    std::vector<Case> cases;
    bool complete = true;
    for (const QSize size : {QSize(390, 780), QSize(1280, 800)}) {
        for (const Clip& clip : clipList) {
            Case current{clip.name, size, {}, {}, {}, {}};
            for (int run = 0; run < runs; ++run) {
                auto app = testing::launchToHome(size);
                if (!app) {
                    std::fprintf(stderr, "trim_bench: the window did not reach home\n");
                    return 1;
                }
                spinFor(300);
                TrimVideoScreen* screen = nullptr;
                current.runs.push_back(openStrip(*app, clip.path, screen));
                complete = complete && current.runs.back().shownInTime;
                if (size == QSize(390, 780)) {
                    auto pool = [](DragRun& into, const DragRun& from) {
                        auto add = [](std::vector<double>& a, const std::vector<double>& b) {
                            a.insert(a.end(), b.begin(), b.end());
                        };
                        add(into.latenciesMs, from.latenciesMs);
                        add(into.earlyMs, from.earlyMs);
                        add(into.lateMs, from.lateMs);
                        into.moves += from.moves;
                        into.ownFrame += from.ownFrame;
                        into.unanswered += from.unanswered;
                        into.offset = from.offset;
                    };
                    const DragRun right = dragHandle(app->window(), screen, kStartRight);
                    pool(current.drag, right);
                    pool(current.back, dragHandle(app->window(), screen, kEndLeft, right.offset));
                    pool(current.startBack,
                         dragHandle(app->window(), screen, kStartLeft, right.offset));
                }
                app.reset();
                spinFor(200);
            }
            cases.push_back(std::move(current));
        }
    }

    std::printf("\n### Trim strip: push to every thumbnail shown (%d runs, Release, offscreen)\n\n",
                runs);
    std::printf("| Clip | Window | Thumbnails | Median (s) | Max (s) |\n");
    std::printf("|---|---|---:|---:|---:|\n");
    for (const Case& c : cases) {
        std::vector<double> shown;
        for (const StripRun& run : c.runs)
            shown.push_back(run.shown);
        std::printf("| %s | %d×%d | %d | %.3f | %.3f%s |\n", qPrintable(c.clip), c.window.width(),
                    c.window.height(), c.runs.front().thumbnails, median(shown), maxOf(shown),
                    std::all_of(c.runs.begin(), c.runs.end(),
                                [](const StripRun& run) { return run.shownInTime; })
                        ? ""
                        : " (timed out)");
    }

    std::printf("\n### Where the strip's time goes (median s from the push)\n\n");
    std::printf("| Clip | Window | Player made | Length known | Thumbnails asked (first, "
                "last set) | First thumbnail | Last thumbnail | All shown | Sets asked | Longest "
                "GUI stall (from) |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Case& c : cases) {
        auto column = [&](double StripRun::*field) {
            std::vector<double> values;
            for (const StripRun& run : c.runs)
                values.push_back(run.*field);
            return median(values);
        };
        std::vector<double> sets;
        for (const StripRun& run : c.runs)
            sets.push_back(run.setsAsked);
        std::printf("| %s | %d×%d | %.3f | %.3f | %.3f, %.3f | %.3f | %.3f | %.3f | %.0f | %.3f "
                    "(%.3f) |\n",
                    qPrintable(c.clip), c.window.width(), c.window.height(),
                    column(&StripRun::playerMade), column(&StripRun::lengthKnown),
                    column(&StripRun::firstAsked), column(&StripRun::lastAsked),
                    column(&StripRun::firstThumbnail), column(&StripRun::lastThumbnail),
                    column(&StripRun::shown), median(sets), column(&StripRun::longestStall),
                    column(&StripRun::longestStallFrom));
    }

    const std::pair<const char*, DragRun Case::*> drags[] = {
        {"Start handle dragged right", &Case::drag},
        {"End handle dragged left (back)", &Case::back},
        {"Start handle then dragged left (back, towards 0 s)", &Case::startBack},
    };
    for (const auto& [title, which] : drags) {
        std::printf("\n### %s at 390×780: mouse move to the frame at the handle's "
                    "time (%d moves of %d px, %d ms apart, × %d runs)\n\n",
                    title, kDragMoves, kDragStepPixels, kDragIntervalMs, runs);
        std::printf("| Clip | Moves | Own frame shown | Never caught up | Median (ms) | p95 (ms) | "
                    "Max (ms) | Median, moves 1–10 / 21–30 (ms) | First frame's timestamp (ms) "
                    "|\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const Case& c : cases) {
            const DragRun& d = c.*which;
            if (d.moves == 0)
                continue;
            std::printf("| %s | %d | %d | %d | %.0f | %.0f | %.0f | %.0f / %.0f | %.0f |\n",
                        qPrintable(c.clip), d.moves, d.ownFrame, d.unanswered,
                        median(d.latenciesMs), percentile(d.latenciesMs, 95), maxOf(d.latenciesMs),
                        median(d.earlyMs), median(d.lateMs), d.offset * 1000.0);
        }
    }
    return complete ? 0 : 1;
}
