// Probing and thumbnails on generated counter clips (so the exact frame can be
// checked) and on the real footage.

#include "media/frame_reader.h"
#include "media/frame_scrubber.h"
#include "media/probe.h"
#include "media/thumbnails.h"
#include "media_fixtures.h"
#include "test_paths.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;
using namespace flickbook;
using namespace flickbook::testsupport;

namespace {

class Clips : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        ClipParameters plain; // 4 s, 25 fps, a keyframe every 2 s
        ASSERT_TRUE(makeCounterClip(path("counter.mp4"), plain));
        ClipParameters withAudio;
        withAudio.audio = true;
        ASSERT_TRUE(makeCounterClip(path("audio.mp4"), withAudio));
        ASSERT_TRUE(remuxWithRotation(path("audio.mp4"), path("rotated.mp4"), 90));
        ClipParameters front;
        front.faststart = true;
        ASSERT_TRUE(makeCounterClip(path("front.mp4"), front));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static fs::path path(const std::string& name) { return dir_->path() / name; }
    static TempDir* dir_;
};
TempDir* Clips::dir_ = nullptr;

TEST_F(Clips, ProbeReportsSizeRotationRateAndAudio) {
    auto plain = media::probe(path("counter.mp4"));
    ASSERT_TRUE(plain) << plain.error().message;
    EXPECT_NEAR(plain->durationSeconds, 4.0, 0.05);
    EXPECT_EQ(plain->width, 160);
    EXPECT_EQ(plain->height, 120);
    EXPECT_EQ(plain->rotation, 0);
    EXPECT_DOUBLE_EQ(plain->frameRate, 25.0);
    EXPECT_FALSE(plain->hasAudio);

    auto rotated = media::probe(path("rotated.mp4"));
    ASSERT_TRUE(rotated) << rotated.error().message;
    EXPECT_EQ(rotated->rotation, 90);
    EXPECT_EQ(rotated->width, 120);
    EXPECT_EQ(rotated->height, 160);
    EXPECT_TRUE(rotated->hasAudio);
}

TEST_F(Clips, ProbeRefusesWhatIsNotUsableVideo) {
    const auto bytes = readBytes(path("front.mp4"));
    // The index is whole but the data stops before the first frame's end.
    const std::string mdat = "mdat";
    const auto data = std::search(bytes.begin(), bytes.end(), mdat.begin(), mdat.end());
    ASSERT_NE(data, bytes.end());
    writeBytes(path("cut-before-a-frame.mp4"), {bytes.begin(), data + 64});
    writeBytes(path("no-index.mp4"), {bytes.end() - long(bytes.size() / 2), bytes.end()});
    writeBytes(path("text.mp4"), {'h', 'e', 'l', 'l', 'o'});
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=d=1 " +
                           path("sound.m4a").string())
                              .c_str()),
              0);
    const std::pair<const char*, const char*> cases[] = {
        {"missing.mp4", "media.not_found"},   {"text.mp4", "media.unreadable"},
        {"no-index.mp4", "media.unreadable"}, {"cut-before-a-frame.mp4", "media.truncated"},
        {"sound.m4a", "media.no_video"},
    };
    for (const auto& [name, code] : cases) {
        auto info = media::probe(path(name));
        ASSERT_FALSE(info) << name;
        EXPECT_EQ(info.error().code, code) << name << ": " << info.error().message;
    }
}

// A file cut short is what decodes of it: the probe says where that stops.
TEST_F(Clips, ProbeSaysWhereAFileCutShortStopsDecoding) {
    const auto bytes = readBytes(path("front.mp4"));
    writeBytes(path("cut-short.mp4"), {bytes.begin(), bytes.begin() + long(bytes.size() * 2 / 3)});
    auto info = media::probe(path("cut-short.mp4"));
    ASSERT_TRUE(info) << info.error().message;
    EXPECT_NEAR(info->durationSeconds, 4.0, 0.05); // as the index says
    ASSERT_TRUE(info->decodesUntil);
    EXPECT_GT(*info->decodesUntil, 1.0);
    EXPECT_LT(*info->decodesUntil, 3.5);
    // On a frame's end: 25 fps.
    EXPECT_NEAR(std::remainder(*info->decodesUntil, 0.04), 0.0, 1e-6);
    EXPECT_EQ(info->width, 160);

    auto whole = media::probe(path("front.mp4"));
    ASSERT_TRUE(whole);
    EXPECT_FALSE(whole->decodesUntil);
}

TEST_F(Clips, ThumbnailShowsTheFrameAtTheTime) {
    // 25 fps: frame n is shown from n × 0.04 s; 2.0 s is a keyframe, the others are not.
    const std::pair<double, int> cases[] = {{0, 0},    {0.04, 1},  {1.0, 25},  {1.98, 49},
                                            {2.0, 50}, {2.52, 63}, {3.96, 99}, {60.0, 99}};
    for (const auto& [t, frame] : cases) {
        auto picture = media::thumbnailAt(path("counter.mp4"), t, 100, 100);
        ASSERT_TRUE(picture) << picture.error().message;
        EXPECT_EQ(readCounter(*picture), frame) << "at " << t << " s";
    }
}

TEST_F(Clips, ThumbnailsFitTheBoxUprightWithTheirAspect) {
    auto wide = media::thumbnailAt(path("counter.mp4"), 1.0, 100, 100);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->width, 100u);
    EXPECT_EQ(wide->height, 75u);
    auto small = media::thumbnailAt(path("counter.mp4"), 1.0, 1000, 1000);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width, 160u); // never enlarged

    auto upright = media::thumbnailAt(path("rotated.mp4"), 1.0, 100, 100);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->width, 75u);
    EXPECT_EQ(upright->height, 100u);
    EXPECT_EQ(readCounter(*upright, 90), 25);
}

TEST_F(Clips, StripHoldsEvenlySpacedFramesInOnePass) {
    auto strip = media::thumbnailStrip(path("counter.mp4"), 10, 64, 64);
    ASSERT_TRUE(strip) << strip.error().message;
    ASSERT_EQ(strip->size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(readCounter((*strip)[std::size_t(i)]), i * 10) << "thumbnail " << i;

    auto rotated = media::thumbnailStrip(path("rotated.mp4"), 4, 64, 64);
    ASSERT_TRUE(rotated);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(readCounter((*rotated)[std::size_t(i)], 90), i * 25);
}

// A stretch of the video, handed over frame by frame, and stopped early
// when the receiver has had enough.
TEST_F(Clips, StripOfAStretchDeliversEachThumbnailAsItIsMade) {
    std::vector<int> shown;
    auto made = media::thumbnailStrip(path("counter.mp4"), 4, 64, 64, 2.0, 3.0,
                                      [&](int index, image::RgbaImage picture) {
                                          EXPECT_EQ(index, int(shown.size()));
                                          shown.push_back(readCounter(picture));
                                          return true;
                                      });
    ASSERT_TRUE(made) << made.error().message;
    EXPECT_EQ(shown, (std::vector<int>{50, 56, 62, 69})); // the first frame at or after each time

    shown.clear();
    made = media::thumbnailStrip(path("counter.mp4"), 4, 64, 64, 3.0, 99.0,
                                 [&](int, image::RgbaImage picture) {
                                     shown.push_back(readCounter(picture));
                                     return shown.size() < 2;
                                 });
    ASSERT_TRUE(made);
    EXPECT_EQ(shown, (std::vector<int>{75, 81})); // 3 s to the 4 s end, stopped after two
}

// A trimmer's strip may show any keyframe inside each thumbnail's span,
// which costs one decode instead of the run from the keyframe before it.
// Without a keyframe in the span, or without an index to find one, the
// frame at the span's start stands for it, as in the exact strip.
TEST_F(Clips, KeyframeStripShowsAKeyframeFromEachSpan) {
    struct Case {
        const char* name;
        std::string codec;
        int keyframeInterval;
        int bFrames;
        bool indexed; // the container lists its keyframes up front
    };
    const Case cases[] = {{"keys.mp4", "h264", 10, 2, true},
                          {"keys.mkv", "h264", 10, 0, true},
                          {"keys.webm", "vp9", 10, 0, true},
                          {"keys.ts", "h264", 10, 2, false},
                          {"sparse.mp4", "h264", 100, 0, true}};
    for (const auto& c : cases) {
        ClipParameters spec;
        spec.seconds = 10;
        spec.keyframeInterval = c.keyframeInterval;
        spec.bFrames = c.bFrames;
        spec.codec = c.codec;
        ASSERT_TRUE(makeCounterClip(path(c.name), spec)) << c.name;
        constexpr int count = 8;
        constexpr double framesPerSpan = 250.0 / count;
        std::vector<int> shown;
        auto made = media::thumbnailStrip(
            path(c.name), count, 64, 64, 0.0, 99.0,
            [&](int, image::RgbaImage picture) {
                shown.push_back(readCounter(picture));
                return true;
            },
            media::StripFrame::KeyframeInSpan);
        ASSERT_TRUE(made) << c.name << ": " << made.error().message;
        ASSERT_EQ(shown.size(), std::size_t(count)) << c.name;
        for (int i = 0; i < count; ++i) {
            const int n = shown[std::size_t(i)];
            const double spanStart = i * framesPerSpan;
            const bool keyInSpan =
                n % c.keyframeInterval == 0 && n >= spanStart - 4 && n < spanStart + framesPerSpan;
            const bool atStart = std::abs(n - spanStart) <= 0.5; // within half a frame
            EXPECT_TRUE(keyInSpan || atStart)
                << c.name << ", thumbnail " << i << " shows frame " << n;
        }
        EXPECT_EQ(shown[0], 0) << c.name;
        if (c.indexed && c.keyframeInterval == 10) { // every span holds keyframes
            EXPECT_TRUE(std::all_of(shown.begin(), shown.end(), [](int n) { return n % 10 == 0; }))
                << c.name;
        }
        if (c.keyframeInterval == 100) { // spans without a keyframe are exact
            EXPECT_EQ(shown[1], 31) << c.name;
        }
    }
}

// The counter a frame's luma plane shows, read as from a limited-range
// picture turned to RGB.
int readCounter(const media::PlanarPicture& planes) {
    image::RgbaImage grey;
    grey.width = std::uint32_t(planes.width);
    grey.height = std::uint32_t(planes.height);
    grey.pixels.resize(planes.lumaSize() * 4);
    for (std::size_t i = 0; i < planes.lumaSize(); ++i)
        grey.pixels[i * 4 + 1] = std::uint8_t(std::clamp((planes.y()[i] - 16) * 255 / 219, 0, 255));
    return testsupport::readCounter(grey);
}

// The counter the scrubber shows for frame `frame`, asked for as the player
// asks: the frame's middle, rounded to the millisecond.
int scrubbedCounter(media::FrameScrubber& scrubber, int frame, int fps = 25) {
    const double ms = std::round((frame + 0.5) / fps * 1000.0);
    auto planes = scrubber.frameAt(ms / 1000.0);
    EXPECT_TRUE(planes) << planes.error().message;
    return planes ? readCounter(**planes) : -1;
}

// Decodes ahead until there is nothing left to fill in.
void prepareAll(media::FrameScrubber& scrubber) {
    int steps = 0;
    while (scrubber.prepareStep())
        ASSERT_LT(++steps, 400) << "filling in ends";
}

// A handle dragged forward costs the frames it passes; one dragged back, or
// past a keyframe, starts again from the keyframe before its time.
TEST_F(Clips, ScrubberShowsTheExactFrameAndDecodesOnFromTheLastOne) {
    ClipParameters spec; // 4 s, 25 fps, a keyframe every 50 frames
    spec.bFrames = 2;
    ASSERT_TRUE(makeCounterClip(path("scrub.mp4"), spec));
    auto scrubber = media::FrameScrubber::open(path("scrub.mp4"));
    ASSERT_TRUE(scrubber) << scrubber.error().message;
    auto frameAt = [&](int frame) {
        auto planes = scrubber->frameAt((frame + 0.5) / 25.0); // a frame's middle, as seeks aim
        EXPECT_TRUE(planes) << planes.error().message;
        if (!planes)
            return -1;
        EXPECT_EQ((*planes)->width, 160);
        EXPECT_EQ((*planes)->samples.size(), std::size_t(160 * 120 + 2 * 80 * 60));
        EXPECT_NEAR((*planes)->seconds, frame / 25.0, 0.001);
        return readCounter(**planes);
    };

    for (int frame = 0; frame <= 45; frame += 3)
        EXPECT_EQ(frameAt(frame), frame);
    EXPECT_LE(scrubber->decodedFrames(), 46 + 3) << "forward steps decode on";

    long before = scrubber->decodedFrames();
    EXPECT_EQ(frameAt(45), 45);
    EXPECT_EQ(scrubber->decodedFrames(), before) << "the frame shown is shown again";
    EXPECT_EQ(frameAt(20), 20);
    EXPECT_LE(scrubber->decodedFrames() - before, 21 + 3) << "back: from the first keyframe";

    before = scrubber->decodedFrames();
    EXPECT_EQ(frameAt(70), 70);
    EXPECT_LE(scrubber->decodedFrames() - before, 21 + 3) << "past a keyframe: from it";

    EXPECT_EQ(frameAt(99), 99);
    auto pastTheEnd = scrubber->frameAt(60.0);
    ASSERT_TRUE(pastTheEnd);
    EXPECT_EQ(readCounter(**pastTheEnd), 99);
    EXPECT_EQ(frameAt(0), 0);

    EXPECT_FALSE(media::FrameScrubber::open(path("missing.mp4")));
}

// Between requests the frames behind the last one, and behind the times a
// drag may start from, are decoded ahead: a handle dragged back then shows
// each frame without decoding, and memory stays within its bound.
TEST_F(Clips, ScrubberHasTheFramesBehindReadyForADragBack) {
    ClipParameters spec; // 4 s, 25 fps, a keyframe every 50 frames
    spec.bFrames = 2;
    ASSERT_TRUE(makeCounterClip(path("back.mp4"), spec));
    const int behind = int(media::FrameScrubber::kReadyBehindSeconds * 25);

    auto scrubber = media::FrameScrubber::open(path("back.mp4"));
    ASSERT_TRUE(scrubber) << scrubber.error().message;
    scrubber->keepReadyBehind({3.4}); // where the end handle stands
    prepareAll(*scrubber);
    long decoded = scrubber->decodedFrames();
    for (int frame = 85; frame >= 85 - behind; --frame)
        ASSERT_EQ(scrubbedCounter(*scrubber, frame), frame);
    EXPECT_EQ(scrubber->decodedFrames(), decoded) << "frames behind a handle are ready";

    // Dragged on back past the keyframe at frame 50: each request leaves the
    // frames behind it to be filled in before the next one.
    for (int frame = 85 - behind; frame >= 0; frame -= 4) {
        prepareAll(*scrubber);
        decoded = scrubber->decodedFrames();
        ASSERT_EQ(scrubbedCounter(*scrubber, frame), frame);
        EXPECT_EQ(scrubber->decodedFrames(), decoded) << "frame " << frame;
    }
    // Forward again, and the frames already kept, stay exact.
    for (int frame : {3, 40, 51, 99, 70, 12})
        EXPECT_EQ(scrubbedCounter(*scrubber, frame), frame);

    // With room for a dozen frames, the frames nearest the drag are kept.
    const std::size_t frameBytes = 160 * 120 + 2 * 80 * 60;
    auto bounded = media::FrameScrubber::open(path("back.mp4"), frameBytes * 12);
    ASSERT_TRUE(bounded);
    for (int frame = 99; frame >= 0; frame -= 3) {
        ASSERT_EQ(scrubbedCounter(*bounded, frame), frame);
        prepareAll(*bounded);
        EXPECT_LE(bounded->keptBytes(), frameBytes * 12);
        if (frame < 99) {
            EXPECT_GE(bounded->keptFrames(), 10u) << "frame " << frame;
        }
    }
}

// Requests come while frames are still being filled in: a few steps
// between them, a drag that turns, and steps taken while a drag is under
// way, which fill in only behind a drag going back. Every answer stays the
// exact frame.
TEST_F(Clips, ScrubberStaysExactWhileRequestsInterruptTheFillingIn) {
    ClipParameters spec; // 4 s, 25 fps, a keyframe every 50 frames
    spec.bFrames = 2;
    ASSERT_TRUE(makeCounterClip(path("busy.mp4"), spec));
    auto scrubber = media::FrameScrubber::open(path("busy.mp4"));
    ASSERT_TRUE(scrubber) << scrubber.error().message;
    auto counterAt = [&](int frame) { return scrubbedCounter(*scrubber, frame); };
    ASSERT_EQ(counterAt(0), 0);
    scrubber->keepReadyBehind({3.5});
    // Under way and going forward: nothing behind the handles is filled in.
    ASSERT_EQ(counterAt(10), 10);
    EXPECT_FALSE(scrubber->prepareStep(true));
    EXPECT_EQ(scrubber->keptFrames(), 0u);

    const int drag[] = {97, 94, 90, 91, 88, 60, 52, 49, 47, 48, 30, 12, 11, 40, 8, 2, 0, 75, 70};
    for (int steps : {0, 1, 3, 7}) {
        for (int frame : drag) {
            ASSERT_EQ(counterAt(frame), frame) << "with " << steps << " steps between";
            for (int i = 0; i < steps; ++i)
                scrubber->prepareStep(i % 2 == 0);
        }
    }
    EXPECT_GT(scrubber->keptFrames(), 0u);
}

// Targets come as whole milliseconds, the middle of a frame rounded: at 30
// frames a second that lands up to half a millisecond late, and must still
// be that frame, decoded or kept. A handle at the very end (past the last
// frame) has the frames behind it made ready too.
TEST_F(Clips, ScrubberTakesRoundedTargetsAsTheirFrameAndFillsInFromTheEnd) {
    ClipParameters spec;
    spec.seconds = 3;
    spec.fps = 30;
    spec.keyframeInterval = 45;
    spec.bFrames = 2;
    ASSERT_TRUE(makeCounterClip(path("thirty.mp4"), spec));
    auto scrubber = media::FrameScrubber::open(path("thirty.mp4"));
    ASSERT_TRUE(scrubber) << scrubber.error().message;
    auto counterAt = [&](int frame) { return scrubbedCounter(*scrubber, frame, 30); };
    for (int frame = 0; frame < 90; frame += 1)
        ASSERT_EQ(counterAt(frame), frame) << "forward";

    scrubber->keepReadyBehind({3.0 + 0.5 / 30.0}); // the end handle at the end
    prepareAll(*scrubber);
    const long decoded = scrubber->decodedFrames();
    for (int frame = 89; frame >= 89 - 60; --frame)
        ASSERT_EQ(counterAt(frame), frame) << "back from the end";
    EXPECT_EQ(scrubber->decodedFrames(), decoded) << "the frames behind the end were ready";
    EXPECT_EQ(counterAt(95), 89) << "past the end: the last frame";
}

TEST(RealFootage, ProbesAndThumbnails) {
    const fs::path media = testdata() / "media";
    const std::tuple<const char*, int, int, bool> cases[] = {
        {"bottle-detection.mp4", 640, 360, false},
        {"car-detection.mp4", 768, 432, true},
        {"book.mkv", 640, 480, false},
    };
    for (const auto& [name, w, h, audio] : cases) {
        auto info = media::probe(media / name);
        ASSERT_TRUE(info) << name << ": " << info.error().message;
        EXPECT_EQ(info->width, w);
        EXPECT_EQ(info->height, h);
        EXPECT_EQ(info->hasAudio, audio);
        EXPECT_GT(info->durationSeconds, 3.0);
        auto strip = media::thumbnailStrip(media / name, 5, 300, 300);
        ASSERT_TRUE(strip) << name << ": " << strip.error().message;
        ASSERT_EQ(strip->size(), 5u);
        EXPECT_EQ((*strip)[0].width, 300u);
        // Different moments of real footage are different pictures.
        EXPECT_NE((*strip)[0].pixels, (*strip)[4].pixels) << name;
    }
}

// Frames shown at the times asked for come out exactly as in a full decode;
// the frames between them that nothing refers to are not decoded at all.
TEST(FrameReader, DecodingOnlyNearSomeTimesKeepsThoseFramesAndSkipsOthers) {
    TempDir dir;
    ClipParameters spec; // 4 s at 25 fps
    spec.bFrames = 1;    // every other frame is one no frame refers to
    const fs::path clip = dir.path() / "bframes.mp4";
    ASSERT_TRUE(makeCounterClip(clip, spec));

    // Frame number and picture of every frame decoded, by time.
    const auto decode = [&](bool onlyNear, const std::vector<double>& times) {
        auto source = media::VideoSource::open(clip);
        EXPECT_TRUE(source.ok());
        media::FrameReader reader(std::move(*source));
        if (onlyNear)
            reader.decodeOnlyNear(times, 0.5 / 25 + 0.01);
        std::map<int, std::vector<std::uint8_t>> frames;
        for (;;) {
            auto more = reader.next();
            EXPECT_TRUE(more.ok());
            if (!more.ok() || !*more)
                break;
            auto picture = reader.currentImage(160, 160);
            EXPECT_TRUE(picture.ok());
            frames[int(std::lround(reader.currentTime() * 25))] = picture->pixels;
        }
        return frames;
    };
    // Five frames a second, as a GIF at 1x takes them: every fifth frame.
    std::vector<double> times;
    for (int i = 0; i < 20; ++i)
        times.push_back(i * 0.2);
    const auto all = decode(false, times);
    const auto some = decode(true, times);
    ASSERT_EQ(all.size(), 100u);
    // About half the frames are ones nothing refers to; those far from the
    // times are not decoded.
    EXPECT_LT(some.size(), 80u);
    for (double t : times) {
        const int frame = int(std::lround(t * 25));
        ASSERT_TRUE(some.count(frame)) << "frame " << frame << " was skipped";
        EXPECT_EQ(some.at(frame), all.at(frame)) << "frame " << frame << " differs";
    }
    // Whatever was decoded is the frame it claims to be.
    for (const auto& [frame, pixels] : some)
        EXPECT_EQ(pixels, all.at(frame)) << "frame " << frame;

    // An empty list decodes every frame again.
    EXPECT_EQ(decode(true, {}).size(), 100u);
}

} // namespace
