// How long the live size estimate takes to follow the user's changes on the
// speed screen, for a video given on the command line:
//
//   estimate_bench VIDEO
//
// The screen's own choices object is driven as the screen drives it: the
// screen opens at 1x, the speed is moved to each of the others and back, then
// each long edge, then each budget. Each step reports the time from the
// change to the new estimate (the wait before estimating, that lets a slider
// be swept at the cost of one estimate, included) and the estimate shown.
// Last, it opens afresh, waits 4 s as someone reading the estimate would, and
// moves the speed to each other stop: the other speeds were measured in the
// meantime.

#include "app_bench_support.h"
#include "common/output_choices.h"
#include "core/heap_reuse.h"
#include "gif/animation.h"
#include "media/probe.h"
#include "render/gif_render.h"
#include "render/presets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <tuple>

using namespace flickbook;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char* argv[]) {
    reuseFreedPictureMemory();
    if (argc != 2) {
        std::fprintf(stderr, "usage: estimate_bench VIDEO\n");
        return 1;
    }
    QTemporaryDir home;
    bench::usePrivateHome(home);
    QGuiApplication app(argc, argv);

    const std::string video = argv[1];
    const auto info = media::probe(video);
    if (!info) {
        std::fprintf(stderr, "%s\n", info.error().message.c_str());
        return 1;
    }
    render::VideoRequest request;
    request.source = video;
    const std::vector<std::size_t> counts = render::videoFrameCounts(info->durationSeconds);

    auto current = std::make_unique<common::OutputChoices>();
    // An estimate has been shown since the last change.
    bool answered = false;
    const auto watch = [&] {
        QObject::connect(current.get(), &common::OutputChoices::estimateChanged, [&] {
            if (!current->estimating())
                answered = true;
        });
    };
    watch();
    int worstMs = 0;
    // Makes a change and waits for the estimate that follows it; the time
    // it took.
    const auto timed = [&](const char* what, const std::function<void()>& change) {
        QElapsedTimer clock;
        clock.start();
        answered = false;
        change();
        if (!bench::spinUntil([&] { return answered; }, 120'000)) {
            std::printf("%-14s no estimate\n", what);
            return 120'000;
        }
        const int ms = int(clock.elapsed());
        std::printf("%-14s %6d ms  %s\n", what, ms, qPrintable(current->estimate()));
        std::fflush(stdout);
        return ms;
    };
    const auto atSpeed = [&](const render::VideoSpeed& speed) {
        const std::size_t frames = render::videoFrameCount(info->durationSeconds, speed);
        request.frameCount = frames;
        request.delaySeconds = speed.delaySeconds;
        current->requestEstimate(common::OutputChoices::videoKey(frames),
                                 common::OutputChoices::videoSampler(request, counts), frames);
    };

    const render::VideoSpeed& normal = render::kVideoSpeeds[render::kDefaultVideoSpeed];
    std::printf("%s, %.1f s\n", video.c_str(), info->durationSeconds);
    timed("open at 1x", [&] { atSpeed(normal); });
    for (const render::VideoSpeed& speed : render::kVideoSpeeds) {
        if (&speed == &normal)
            continue;
        const std::string what = "speed " + std::string(speed.label);
        worstMs = std::max(worstMs, timed(what.c_str(), [&] { atSpeed(speed); }));
    }
    worstMs = std::max(worstMs, timed("speed 1x", [&] { atSpeed(normal); }));
    const QStringList edges = current->edgeNames();
    for (int i = 1; i <= int(edges.size()); ++i) {
        const int index = i % int(edges.size()); // back to Full last
        const std::string what = "edge " + edges[index].toStdString();
        worstMs = std::max(worstMs, timed(what.c_str(), [&] { current->setEdgeIndex(index); }));
    }
    const QStringList budgets = current->budgetNames();
    for (int i = 1; i <= int(budgets.size()); ++i) {
        const int index = i % int(budgets.size());
        const std::string what = "budget " + budgets[index].toStdString();
        worstMs = std::max(worstMs, timed(what.c_str(), [&] { current->setBudgetIndex(index); }));
    }
    // Opened afresh and left alone for a while, as someone reads the first
    // estimate: the other speeds are measured meanwhile.
    current = std::make_unique<common::OutputChoices>();
    answered = false;
    watch();
    timed("open again", [&] { atSpeed(normal); });
    bench::spinUntil([] { return false; }, 4000);
    int pausedMs = 0;
    for (const render::VideoSpeed& speed : render::kVideoSpeeds) {
        if (&speed == &normal)
            continue;
        const std::string what = "then " + std::string(speed.label);
        pausedMs = std::max(pausedMs, timed(what.c_str(), [&] { atSpeed(speed); }));
    }
    std::printf("slowest change: %d ms; after a pause: %d ms; peak memory %.0f MB\n", worstMs,
                pausedMs, bench::peakRssMb());

    // Create after the estimate: the GIF made with the plan shown, against
    // the render planning it afresh, against one encode at the size chosen,
    // in CPU seconds.
    timed("speed 1x", [&] { atSpeed(normal); });
    for (const int index : {3, 4}) { // 5 MB, 2 MB
        timed("budget", [&] { current->setBudgetIndex(index); });
        // Read before Create, as the screen's estimate is.
        bench::spinUntil([] { return false; }, 2000);
        current->stopMeasuringAhead();
        const auto make = [&](const render::OutputSize& output, const char* name) {
            render::VideoRequest made = request;
            made.destination = QDir(home.path()).filePath(name).toStdString();
            made.output = output;
            const double before = cpuSeconds();
            auto gif = render::videoToGif(made);
            const double cpu = cpuSeconds() - before;
            auto timing = gif ? gif::readTiming(*gif) : Result<gif::AnimationTiming>(gif.error());
            if (!timing) {
                std::fprintf(stderr, "%s\n", timing.error().message.c_str());
                std::exit(1);
            }
            const std::uint32_t edge = std::max(timing->screen.width, timing->screen.height);
            const auto bytes = std::filesystem::file_size(*gif);
            std::filesystem::remove(*gif);
            return std::tuple{cpu, edge, bytes};
        };
        const auto [planned, edge, bytes] = make(current->outputForRender(), "planned.gif");
        const auto [afresh, edgeAfresh, bytesAfresh] = make(current->outputSize(), "afresh.gif");
        const double once = std::get<0>(make({edge, std::nullopt, std::nullopt}, "once.gif"));
        std::printf(
            "create %s: with the plan %.2f s (%u px, %.2f MB), afresh %.2f s (%u px, %.2f MB), "
            "one encode %.2f s: x%.2f against x%.2f\n",
            qPrintable(current->budgetNames()[index]), planned, edge, double(bytes) / 1e6, afresh,
            edgeAfresh, double(bytesAfresh) / 1e6, once, planned / once, afresh / once);
    }
    return 0;
}
