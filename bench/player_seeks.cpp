// Measures the video player (platform::Player) on clips whose every frame
// shows its own number, at 320×240, 640×360 and 1920×1080:
//  - paused frame-exact seeks: how often the first frame shown is the one
//    asked for, and how long it takes to reach the output;
//  - the same seeks made straight on the QMediaPlayer at the frame's exact
//    start, to show why the player aims at the middle of a frame;
//  - frame-exact seeks while playing at rate 1;
//  - how fast video time advances against wall time at each playback rate.
// Prints one Markdown table per measurement.

#include "media_fixtures.h"
#include "platform/player.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QTimer>
#include <QVideoFrame>
#include <QVideoSink>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace flickbook;
using platform::Player;

namespace {

// 30 fps, the usual rate of phone video: two frames in three then start
// between two whole milliseconds, which QMediaPlayer positions are in.
constexpr int kFps = 30;
constexpr int kSeconds = 8;
constexpr int kFrames = kFps * kSeconds; // counter clips hold at most 256 numbers
constexpr int kSeeks = 40;
constexpr unsigned kSeed = 20240601;
// How long a seek may take to show a frame before it counts as showing none.
constexpr int kSeekTimeoutMs = 3000;
// Time left after a paused seek's first frame, so that any later frame of
// the same seek lands before the next seek starts.
constexpr int kSettleMs = 150;
constexpr int kPlayingSeekEveryMs = 300;
constexpr int kRateWallMs = 1500;

struct Clip {
    const char* name;
    int width, height;
    QString path;
};

// The frame number a picture of a counter clip shows; -1 when the frame
// cannot be turned into an image.
int counterShown(const QVideoFrame& frame) {
    const QImage picture = frame.toImage().convertToFormat(QImage::Format_RGBA8888);
    if (picture.isNull())
        return -1;
    image::RgbaImage rgba{std::uint32_t(picture.width()), std::uint32_t(picture.height()), {}};
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* line = picture.constScanLine(y);
        rgba.pixels.insert(rgba.pixels.end(), line, line + std::size_t(picture.width()) * 4);
    }
    return testsupport::readCounter(rgba);
}

// Runs the event loop until done() holds or the time is up; the loop sleeps
// between checks, so waiting takes no processor time from the decoder.
bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    poll.start();
    loop.exec();
    return done();
}

void waitFor(int milliseconds) {
    waitUntil([] { return false; }, milliseconds);
}

// A player drawing into a sink of its own, and the first frame shown after a
// moment chosen by the caller (arm()), with the time it reached the output.
// Only that frame is kept and read, so that reading pictures (costly at
// 1080p) does not slow playback down.
class Watched {
public:
    explicit Watched(const QString& file)
        : player_(QUrl::fromLocalFile(file)), media_(player_.findChild<QMediaPlayer*>()) {
        clock_.start();
        player_.setVideoOutput(&sink_);
        QObject::connect(&player_, &Player::frameShown, [this] {
            ++framesShown_;
            if (!armed_ || caught_)
                return;
            caught_ = true;
            caughtNs_ = clock_.nsecsElapsed();
            frame_ = sink_.videoFrame();
        });
    }

    Player& player() { return player_; }
    QMediaPlayer* media() const { return media_; }

    // Loaded, with the frame rate known and the first frame shown.
    bool loaded() {
        return waitUntil(
            [this] {
                return player_.frameRate() > 0 && player_.duration() > 0 && framesShown_ > 0;
            },
            10000);
    }

    // Starts watching for the next frame; gives the time it started.
    qint64 arm() {
        armed_ = true;
        caught_ = false;
        frame_ = {};
        return clock_.nsecsElapsed();
    }

    // Waits for the frame watched for: its counter and when it arrived, or
    // a counter of -1 when none came.
    struct Caught {
        int counter = -1;
        qint64 ns = 0;
    };
    Caught next(int timeoutMs = kSeekTimeoutMs) {
        const bool came = waitUntil([this] { return caught_; }, timeoutMs);
        armed_ = false;
        if (!came)
            return {};
        Caught result{counterShown(frame_), caughtNs_};
        frame_ = {};
        return result;
    }

private:
    Player player_;
    QVideoSink sink_;
    QMediaPlayer* media_;
    QElapsedTimer clock_;
    int framesShown_ = 0;
    bool armed_ = false;
    bool caught_ = false;
    qint64 caughtNs_ = 0;
    QVideoFrame frame_;
};

// Nearest-rank percentile of a list of milliseconds; NaN when it is empty.
double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

struct SeekRow {
    int seeks = 0;
    int right = 0; // the frame asked for
    int early = 0; // the frame before it
    int other = 0; // any other frame
    int none = 0;  // nothing shown in time
    std::vector<double> latencies;
};

std::string percent(int part, int whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f %%", whole ? 100.0 * part / whole : 0.0);
    return text;
}

std::string milliseconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f ms", value);
    return text;
}

void printSeekTable(const char* title, const std::vector<std::string>& labels,
                    const std::vector<SeekRow>& rows, const char* rightLabel,
                    const char* earlyLabel) {
    std::printf("\n### %s\n\n", title);
    std::printf("| clip | seeks | %s | %s | other | no frame | latency median | latency p95 |\n",
                rightLabel, earlyLabel);
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SeekRow& r = rows[i];
        std::printf("| %s | %d | %s | %s | %s | %d | %s | %s |\n", labels[i].c_str(), r.seeks,
                    percent(r.right, r.seeks).c_str(), percent(r.early, r.seeks).c_str(),
                    percent(r.other, r.seeks).c_str(), r.none,
                    milliseconds(percentile(r.latencies, 50)).c_str(),
                    milliseconds(percentile(r.latencies, 95)).c_str());
    }
    std::fflush(stdout);
}

// Targets in [0, below), each different from the one before it and the
// first different from frame 0, which a new player stands on: a paused seek
// to the position already shown brings no new frame.
std::vector<int> randomFrames(int count, int below) {
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<int> pick(0, below - 1);
    std::vector<int> frames;
    int previous = 0;
    while (int(frames.size()) < count) {
        const int frame = pick(random);
        if (frame == previous)
            continue;
        frames.push_back(frame);
        previous = frame;
    }
    return frames;
}

// Paused seeks, one at a time: each waits for its first frame, then for the
// player to settle.
enum class Aim {
    Player,         // Player::seekToTimeExactly(k / fps)
    StartTruncated, // QMediaPlayer::setPosition(k × 1000 / fps), whole ms cut off
    StartRounded,   // the same rounded to the nearest ms
};
SeekRow pausedSeeks(Watched& w, Aim aim) {
    SeekRow row;
    for (int frame : randomFrames(kSeeks, kFrames)) {
        const qint64 start = w.arm();
        switch (aim) {
        case Aim::Player:
            w.player().seekToTimeExactly(double(frame) / kFps);
            break;
        case Aim::StartTruncated:
            w.media()->setPosition(qint64(frame) * 1000 / kFps);
            break;
        case Aim::StartRounded:
            w.media()->setPosition(qint64(std::llround(frame * 1000.0 / kFps)));
            break;
        }
        const Watched::Caught shown = w.next();
        ++row.seeks;
        if (shown.counter < 0) {
            ++row.none;
            continue;
        }
        row.latencies.push_back(double(shown.ns - start) / 1e6);
        if (shown.counter == frame)
            ++row.right;
        else if (shown.counter == frame - 1)
            ++row.early;
        else
            ++row.other;
        waitFor(kSettleMs);
    }
    return row;
}

// Seeks every 300 ms while playing at rate 1. Targets leave room before the
// end, so that playback never reaches it between two seeks.
SeekRow playingSeeks(Watched& w) {
    SeekRow row;
    const int room = int(std::ceil((kPlayingSeekEveryMs + 200) / 1000.0 * kFps));
    w.player().play();
    waitFor(kPlayingSeekEveryMs);
    for (int frame : randomFrames(kSeeks, kFrames - room)) {
        if (w.player().rate() == 0.0)
            w.player().play();
        const qint64 start = w.arm();
        w.player().seekToTimeExactly(double(frame) / kFps);
        const Watched::Caught shown = w.next();
        ++row.seeks;
        if (shown.counter < 0) {
            ++row.none;
            continue;
        }
        const double latency = double(shown.ns - start) / 1e6;
        row.latencies.push_back(latency);
        // Playing on, the frame shown may be a little past the target by the
        // time it reaches the output; two frames (67 ms at 30 fps) pass.
        if (shown.counter >= frame && shown.counter <= frame + 2)
            ++row.right;
        else if (shown.counter < frame)
            ++row.early;
        else
            ++row.other;
        waitFor(std::max(0, kPlayingSeekEveryMs - int(latency)));
    }
    w.player().pause();
    return row;
}

// Video seconds advanced per wall second at a rate, from the first frame
// shown after playback starts to the first one after 1.5 s of wall time. The
// player is a new one, standing on frame 0.
double measuredRate(Watched& w, double rate) {
    w.arm();
    w.player().playImmediatelyAtRate(rate);
    const Watched::Caught first = w.next();
    waitFor(kRateWallMs);
    w.arm();
    const Watched::Caught last = w.next();
    w.player().pause();
    if (first.counter < 0 || last.counter < 0 || last.ns <= first.ns)
        return std::nan("");
    const double video = double(last.counter - first.counter) / kFps;
    return video / (double(last.ns - first.ns) / 1e9);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    std::vector<Clip> clips{
        {"320×240", 320, 240, {}}, {"640×360", 640, 360, {}}, {"1920×1080", 1920, 1080, {}}};
    for (Clip& clip : clips) {
        testsupport::ClipParameters spec;
        spec.seconds = kSeconds;
        spec.fps = kFps;
        spec.keyframeInterval = 50;
        spec.bFrames = 2;
        spec.width = clip.width;
        spec.height = clip.height;
        clip.path =
            folder.filePath(QStringLiteral("counter-%1x%2.mp4").arg(clip.width).arg(clip.height));
        if (!testsupport::makeCounterClip(clip.path.toStdString(), spec)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(clip.path));
            return 1;
        }
    }
    std::printf("Counter clips: H.264, %d fps, %d s (%d frames), keyframe every 50 frames, "
                "2 B-frames; %d seeks per clip, seed %u.\n",
                kFps, kSeconds, kFrames, kSeeks, kSeed);
    std::fflush(stdout);

    const std::vector<double> rates{0.5, 0.75, 1.0, 1.5, 2.0};
    std::vector<SeekRow> exact, raw, playing;
    std::vector<std::string> names, rawNames;
    std::vector<std::vector<double>> measured;
    for (const Clip& clip : clips) {
        // A fresh player per measurement, so that one cannot leave the media
        // stack in a state that the next one inherits.
        auto open = [&]() -> std::unique_ptr<Watched> {
            auto w = std::make_unique<Watched>(clip.path);
            if (!w->loaded() || !w->media()) {
                std::fprintf(stderr, "%s did not load\n", qPrintable(clip.path));
                return nullptr;
            }
            return w;
        };
        auto w = open();
        if (!w)
            return 1;
        exact.push_back(pausedSeeks(*w, Aim::Player));
        w = open();
        if (!w)
            return 1;
        raw.push_back(pausedSeeks(*w, Aim::StartTruncated));
        w = open();
        if (!w)
            return 1;
        raw.push_back(pausedSeeks(*w, Aim::StartRounded));
        names.push_back(clip.name);
        rawNames.push_back(std::string(clip.name) + ", ms cut off");
        rawNames.push_back(std::string(clip.name) + ", nearest ms");
        w = open();
        if (!w)
            return 1;
        playing.push_back(playingSeeks(*w));
        std::vector<double> row;
        for (double rate : rates) {
            w = open();
            if (!w)
                return 1;
            row.push_back(measuredRate(*w, rate));
        }
        measured.push_back(row);
    }

    printSeekTable("Paused: Player::seekToTimeExactly(k / fps) (aimed at the middle of frame k)",
                   names, exact, "frame k", "frame k − 1");
    printSeekTable("Paused: QMediaPlayer::setPosition(k × 1000 / fps) (the start of frame k)",
                   rawNames, raw, "frame k", "frame k − 1");
    printSeekTable("Playing at 1×: Player::seekToTimeExactly(k / fps) every 300 ms", names, playing,
                   "frame k … k + 2", "before k");

    std::printf("\n### Playback rate: video seconds advanced per wall second (over %.1f s)\n\n",
                kRateWallMs / 1000.0);
    std::printf("| clip |");
    for (double rate : rates)
        std::printf(" %g× |", rate);
    std::printf("\n|---|");
    for (std::size_t i = 0; i < rates.size(); ++i)
        std::printf("---|");
    std::printf("\n");
    for (std::size_t i = 0; i < clips.size(); ++i) {
        std::printf("| %s |", clips[i].name);
        for (double value : measured[i])
            std::printf(" %.2f |", value);
        std::printf("\n");
    }
    return 0;
}
