// How fast the video picker shows its first screenful with a full Videos
// folder, and what scrolling through 500 videos costs in memory.
//
//   video_picker_bench --media DIR [--runs N]
//
// Short real clips are made once with the ffmpeg command into a temporary
// folder: 3 s cuts of bottle-detection.mp4 and car-detection.mp4 at
// different times (so their thumbnails differ), and book.mkv as it is. The
// private Videos folder is filled with hard links to them, in turn (copies
// where a link cannot be made): 20 videos, then 500. Photo library access
// is granted.
//
// For each count, N runs each launch the real window offscreen at 390 × 780
// with the private home, tap Video to GIF on the home screen and time that
// to the first screenful: every "videoImage" inside the grid's viewport
// Ready and no "videoPlaceholder" there. The time until every cell the grid
// has made (those in its cache buffer beyond the viewport too) is Ready is
// reported beside it. With 500 videos each run then scrolls the grid to its
// end a screen at a time, waiting for the thumbnails at every step, and
// reads the peak and current resident memory (VmHWM, VmRSS) from
// /proc/self/status; the peak is reset (clear_refs) before each run so it
// is that run's own.

#include "app/app_window.h"
#include "app_bench_support.h"
#include "app_test_support.h"
#include "home/home_screen.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace flickbook;
using bench::spinUntil;

namespace {

double median(std::vector<double> values) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double maxOf(const std::vector<double>& values) {
    return values.empty() ? NAN : *std::max_element(values.begin(), values.end());
}

void spinFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    spinUntil([&] { return clock.elapsed() >= milliseconds; }, milliseconds + 1000);
}

// A line of /proc/self/status ("VmHWM:  123456 kB"), in MB.
double statusMb(const char* key) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return NAN;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return NAN;
}

// Sets VmHWM back to the current resident size.
bool resetPeakRss() {
    QFile refs("/proc/self/clear_refs");
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

bool cut(const QString& source, double from, const QString& out) {
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    ffmpeg.start("ffmpeg", {"-v", "error", "-y", "-ss", QString::number(from), "-i", source, "-t",
                            "3", "-c:v", "libx264", "-preset", "veryfast", "-crf", "23", "-pix_fmt",
                            "yuv420p", "-an", out});
    return ffmpeg.waitForFinished(-1) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

struct Cells {
    int onScreen = 0;      // cells inside the grid's viewport
    int readyOnScreen = 0; // of them, with their thumbnail Ready
    int placeholders = 0;  // placeholders shown inside the viewport
    int made = 0;          // cells the grid has made, cache buffer included
    int readyMade = 0;
};

Cells cells(QQuickWindow* window) {
    Cells found;
    QQuickItem* grid = testing::findItem(window, "collectionviewSelectVideo");
    if (!grid)
        return found;
    const QRectF viewport(0, 0, grid->width(), grid->height());
    auto inside = [&](QQuickItem* item) {
        return viewport.intersects(
            item->mapRectToItem(grid, QRectF(0, 0, item->width(), item->height())));
    };
    for (QQuickItem* image : testing::findItems(window, "videoImage")) {
        const bool ready = image->property("status").toInt() == 1; // Image.Ready
        ++found.made;
        found.readyMade += ready;
        if (inside(image)) {
            ++found.onScreen;
            found.readyOnScreen += ready;
        }
    }
    for (QQuickItem* placeholder : testing::findItems(window, "videoPlaceholder"))
        found.placeholders += inside(placeholder);
    return found;
}

bool firstScreenful(const Cells& now) {
    return now.onScreen > 0 && now.readyOnScreen == now.onScreen && now.placeholders == 0;
}

struct Run {
    bool inTime = false;
    double screenful = -1; // s from the tap
    int cellsOnScreen = 0;
    double allMade = -1; // s from the tap, every cell made Ready
    int cellsMade = 0;
    // With scrolling:
    int steps = 0;
    int stepsTimedOut = 0;
    double scrolling = -1; // s
    double rssBefore = NAN, peakRss = NAN, rssAfter = NAN;
    bool peakReset = false; // else VmHWM is the process's peak since it started
};

Run openPicker(bool scroll) {
    Run run;
    auto app = testing::launchToHome({390, 780});
    if (!app)
        return run;
    QQuickWindow* window = app->window();
    spinFor(300);
    platform::PhotoLibrary::shared().setAuthorizationStatus(
        platform::AuthorizationStatus::Authorized);
    auto* homeScreen = qobject_cast<home::HomeScreen*>(app->navigation().topViewController());
    if (!homeScreen)
        return run;
    run.peakReset = resetPeakRss();
    run.rssBefore = statusMb("VmRSS");

    QElapsedTimer clock;
    clock.start();
    auto seconds = [&] { return double(clock.nsecsElapsed()) / 1e9; };
    homeScreen->btnVideoToGIF(); // what the Video to GIF button does
    run.inTime = spinUntil(
        [&] {
            const Cells now = cells(window);
            run.cellsOnScreen = now.onScreen;
            if (run.screenful < 0 && firstScreenful(now))
                run.screenful = seconds();
            if (run.allMade < 0 && now.made > 0 && now.readyMade == now.made) {
                run.allMade = seconds();
                run.cellsMade = now.made;
            }
            return run.screenful >= 0 && run.allMade >= 0;
        },
        30000);

    if (scroll && run.inTime) {
        QQuickItem* grid = testing::findItem(window, "collectionviewSelectVideo");
        spinFor(400); // the page has slid in
        clock.restart();
        const double step = grid->height();
        for (double y = grid->property("contentY").toDouble();;) {
            const double end = grid->property("contentHeight").toDouble() - grid->height() +
                               grid->property("originY").toDouble() +
                               grid->property("bottomMargin").toDouble();
            if (y >= end)
                break;
            y = std::min(y + step, end);
            grid->setProperty("contentY", y);
            ++run.steps;
            if (!spinUntil([&] { return firstScreenful(cells(window)); }, 10000))
                ++run.stepsTimedOut;
        }
        run.scrolling = seconds();
        spinFor(300);
        run.peakRss = statusMb("VmHWM");
        run.rssAfter = statusMb("VmRSS");
    }
    app.reset();
    spinFor(300);
    return run;
}

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
    const QString book = media + "/book.mkv";
    const QString bottle = media + "/bottle-detection.mp4";
    const QString car = media + "/car-detection.mp4";
    if (!QFileInfo::exists(book) || !QFileInfo::exists(bottle) || !QFileInfo::exists(car) ||
        runs <= 0) {
        std::fprintf(stderr, "usage: video_picker_bench --media FOLDER-WITH-book.mkv,-bottle-"
                             "detection.mp4-AND-car-detection.mp4 [--runs N]\n");
        return 1;
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::PrivateHome home;
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    QDir().mkpath(home.workFolder());
    QDir().mkpath(home.videos());

    // The clips, in the Videos folder's file system so that they can be linked.
    const QString clipFolder = QDir::cleanPath(home.videos() + "/../clips");
    QDir().mkpath(clipFolder);
    QStringList clips{book};
    for (const double from : {0.0, 8.0, 16.0, 24.0, 32.0}) {
        clips << clipFolder + QString("/bottle-%1.mp4").arg(from);
        if (!cut(bottle, from, clips.last()))
            return 1;
    }
    for (const double from : {0.0, 6.0, 12.0, 18.0, 24.0}) {
        clips << clipFolder + QString("/car-%1.mp4").arg(from);
        if (!cut(car, from, clips.last()))
            return 1;
    }

    int filled = 0;
    auto fillTo = [&](int count) {
        for (; filled < count; ++filled) {
            const QString& source = clips[filled % clips.size()];
            const QString name = home.videos() + QString("/clip-%1.%2")
                                                     .arg(filled, 4, 10, QChar('0'))
                                                     .arg(QFileInfo(source).suffix());
            if (::link(qPrintable(source), qPrintable(name)) != 0 && !QFile::copy(source, name))
                return false;
        }
        return true;
    };

    struct Count {
        int videos;
        std::vector<Run> runs;
    };
    std::vector<Count> counts;
    bool complete = true;
    for (const int videos : {20, 500}) {
        if (!fillTo(videos)) {
            std::fprintf(stderr, "video_picker_bench: cannot fill the Videos folder\n");
            return 1;
        }
        Count current{videos, {}};
        for (int run = 0; run < runs; ++run) {
            current.runs.push_back(openPicker(videos == 500));
            complete =
                complete && current.runs.back().inTime && current.runs.back().stepsTimedOut == 0;
        }
        counts.push_back(std::move(current));
    }

    std::printf("\n### Video picker: Video to GIF tapped to the first screenful, 390×780 (%d runs, "
                "Release, offscreen)\n\n",
                runs);
    std::printf("| Videos | Cells on screen | Median (s) | Max (s) | Every made cell (incl. cache "
                "buffer), median (s) |\n");
    std::printf("|---:|---:|---:|---:|---:|\n");
    for (const Count& count : counts) {
        std::vector<double> screenful, made;
        for (const Run& run : count.runs) {
            screenful.push_back(run.screenful);
            made.push_back(run.allMade);
        }
        const bool inTime = std::all_of(count.runs.begin(), count.runs.end(),
                                        [](const Run& run) { return run.inTime; });
        std::printf("| %d | %d | %.3f | %.3f%s | %.3f (%d cells) |\n", count.videos,
                    count.runs.front().cellsOnScreen, median(screenful), maxOf(screenful),
                    inTime ? "" : " (timed out)", median(made), count.runs.front().cellsMade);
    }

    std::printf("\n### Video picker with 500 videos: scrolled to the end a screen at a time\n\n");
    std::printf("| Run | Steps | Scrolling (s) | RSS before the tap (MB) | Peak RSS, VmHWM (MB) | "
                "RSS after, VmRSS (MB) |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    for (const Count& count : counts) {
        if (count.videos != 500)
            continue;
        for (std::size_t i = 0; i < count.runs.size(); ++i) {
            const Run& run = count.runs[i];
            std::printf("| %zu | %d%s | %.2f | %.0f | %.0f%s | %.0f |\n", i + 1, run.steps,
                        run.stepsTimedOut ? " (some timed out)" : "", run.scrolling, run.rssBefore,
                        run.peakRss, run.peakReset ? "" : " (since start)", run.rssAfter);
        }
    }
    return complete ? 0 : 1;
}
