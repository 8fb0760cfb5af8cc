// Whole GIFs from pictures and videos: sizes, frame choice and the rule that
// a destination holds a complete GIF or nothing.

#include "core/output_file.h"
#include "gif/animation.h"
#include "media_fixtures.h"
#include "render/gif_render.h"
#include "render/presets.h"
#include "test_paths.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace flickbook {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

image::RgbaImage flat(std::uint32_t w, std::uint32_t h, std::uint8_t r, std::uint8_t g,
                      std::uint8_t b) {
    image::RgbaImage out{w, h, std::vector<std::uint8_t>(std::size_t(w) * h * 4, 255)};
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
        out.pixels[i * 4] = r;
        out.pixels[i * 4 + 1] = g;
        out.pixels[i * 4 + 2] = b;
    }
    return out;
}

render::ImagesRequest picturesRequest(std::vector<image::RgbaImage>& pictures, fs::path to) {
    render::ImagesRequest request;
    request.count = pictures.size();
    request.picture = [&pictures](std::size_t i) -> Result<image::RgbaImage> {
        return pictures[i];
    };
    request.delaySeconds = 0.5;
    request.destination = std::move(to);
    return request;
}

const std::uint8_t* pixelAt(const gif::DecodedFrame& frame, std::uint32_t width, std::uint32_t x,
                            std::uint32_t y) {
    return &frame.rgba[(std::size_t(y) * width + x) * 4];
}

bool onlyFile(const fs::path& folder, const fs::path& expected) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    return files.size() == 1 && files[0] == expected;
}

TEST(ImagesToGif, MixedSizesAreFittedCentredOnBlack) {
    TempDir dir;
    // Landscape first: a portrait picture gets black bars left and right.
    std::vector<image::RgbaImage> pictures{flat(400, 300, 200, 30, 30),
                                           flat(300, 400, 30, 30, 200)};
    const fs::path out = dir.path() / "mixed.gif";
    ASSERT_TRUE(render::imagesToGif(picturesRequest(pictures, out)).ok());
    auto gif = gif::decodeAnimation(out);
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 400u);
    EXPECT_EQ(gif->screen.height, 300u);
    ASSERT_EQ(gif->frames.size(), 2u);
    EXPECT_EQ(gif->frames[1].info.control->delayCs, 50);
    // 300×400 fitted into 400×300 is 225×300, from x = 87 to 312.
    const auto* bar = pixelAt(gif->frames[1], 400, 40, 150);
    EXPECT_EQ(bar[0] + bar[1] + bar[2], 0);
    const auto* inside = pixelAt(gif->frames[1], 400, 200, 150);
    EXPECT_NEAR(inside[2], 200, 2);
    const auto* edge = pixelAt(gif->frames[1], 400, 95, 5);
    EXPECT_NEAR(edge[2], 200, 2);
    EXPECT_TRUE(onlyFile(dir.path(), out)); // no temporary file left behind
}

TEST(ImagesToGif, TheCanvasLongEdgeIsAtMost1920) {
    EXPECT_EQ(image::canvasFor({2560, 1600}), (image::Size{1920, 1200}));
    EXPECT_EQ(image::canvasFor({1200, 4000}), (image::Size{576, 1920}));
    EXPECT_EQ(image::canvasFor({640, 480}), (image::Size{640, 480})); // never enlarged
}

TEST(ImagesToGif, NeverOverwritesAndLeavesNothingHalfWritten) {
    TempDir dir;
    std::vector<image::RgbaImage> pictures{flat(64, 64, 1, 2, 3)};
    const fs::path taken = dir.path() / "Animation_1.gif";
    testsupport::writeBytes(taken, {'k', 'e', 'e', 'p'});
    auto result = render::imagesToGif(picturesRequest(pictures, taken));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, "file.exists");
    EXPECT_EQ(testsupport::readBytes(taken), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(onlyFile(dir.path(), taken));

    // A picture that fails halfway: no file at all.
    const fs::path out = dir.path() / "broken.gif";
    auto request = picturesRequest(pictures, out);
    request.count = 2;
    request.picture = [&](std::size_t i) -> Result<image::RgbaImage> {
        if (i == 1)
            return makeError("picture.unreadable", "The second picture cannot be read.");
        return pictures[0];
    };
    result = render::imagesToGif(request);
    EXPECT_EQ(result.error().code, "picture.unreadable");
    EXPECT_TRUE(onlyFile(dir.path(), taken));

    request.count = 0;
    EXPECT_EQ(render::imagesToGif(request).error().code, "render.no_frames");
}

TEST(ImagesToGif, AFullDiskIsAnErrorWithNothingLeft) {
    TempDir dir;
    std::vector<image::RgbaImage> pictures;
    for (int i = 0; i < 3; ++i)
        pictures.push_back(flat(512, 512, std::uint8_t(i * 90), 40, 40));
    pictures[1].pixels[5] = 99; // some detail so the file is not tiny
    // A file-size limit stands in for a full disk: writes past it fail.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto result = render::imagesToGif(picturesRequest(pictures, dir.path() / "full.gif"));
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, "file.write");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(OutputFile, ADestinationTakenWhileWritingIsNotReplaced) {
    TempDir dir;
    const fs::path to = dir.path() / "a.gif";
    auto file = OutputFile::create(to);
    ASSERT_TRUE(file.ok());
    ASSERT_TRUE(file->write(std::vector<std::uint8_t>{1, 2, 3}).ok());
    testsupport::writeBytes(to, {9}); // someone else got there first
    EXPECT_EQ(file->commit().error().code, "file.exists");
    EXPECT_EQ(testsupport::readBytes(to), std::vector<std::uint8_t>{9});
    EXPECT_TRUE(onlyFile(dir.path(), to));
}

class VideoToGif : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
        testsupport::ClipParameters spec;
        spec.seconds = 4;
        spec.fps = 25;
        spec.keyframeInterval = 100; // one keyframe: a seek per frame would show
        ASSERT_TRUE(testsupport::makeCounterClip(clip, spec));
    }
    TempDir dir;
    fs::path clip = dir.path() / "counter.mp4";
};

TEST_F(VideoToGif, TakesFramesEvenlyOverTheDuration) {
    render::VideoRequest request;
    request.source = clip;
    request.destination = dir.path() / "out.gif";
    request.frameCount = render::videoFrameCount(4.0, render::kVideoSpeeds[4]); // 0.5x: 7/s
    request.delaySeconds = render::kVideoSpeeds[4].delaySeconds;
    std::vector<double> progress;
    request.progress = [&](double p) { progress.push_back(p); };
    auto made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_EQ(*made, dir.path() / "out.gif");
    auto gif = gif::decodeAnimation(*made);
    ASSERT_TRUE(gif.ok());
    ASSERT_EQ(gif->frames.size(), 28u);
    for (std::size_t i = 0; i < 28; ++i) {
        image::RgbaImage shown{gif->screen.width, gif->screen.height, gif->frames[i].rgba};
        // Frame i shows the video at i·4/28 s, 25 frames a second.
        EXPECT_EQ(testsupport::readCounter(shown), int(std::lround(i * 4.0 / 28 * 25)))
            << "frame " << i;
        EXPECT_EQ(gif->frames[i].info.control->delayCs, 30);
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 1.0);
}

TEST_F(VideoToGif, HonoursRotationAndWritesToThePrivateFolderByDefault) {
    const fs::path turned = dir.path() / "turned.mp4";
    ASSERT_TRUE(testsupport::remuxWithRotation(clip, turned, 90));
    render::VideoRequest request;
    request.source = turned;
    request.frameCount = 4;
    auto made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_EQ(made->parent_path(), dir.path() / "data" / "Flickbook" / "tmp");
    auto gif = gif::decodeAnimation(*made);
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 120u); // 160×120 turned upright
    EXPECT_EQ(gif->screen.height, 160u);
    image::RgbaImage shown{120, 160, gif->frames[2].rgba};
    EXPECT_EQ(testsupport::readCounter(shown, 90), 50);
}

TEST_F(VideoToGif, APictureThatChangesSizeMidwayIsFittedOntoTheFirstCanvas) {
    // Two MPEG-TS pieces joined one after the other, as a stream that
    // switches resolution is: 2 s at 160×120, then 2 s at 320×180.
    testsupport::ClipParameters small;
    small.seconds = 2;
    small.keyframeInterval = 25;
    testsupport::ClipParameters wide = small;
    wide.width = 320;
    wide.height = 180;
    ASSERT_TRUE(testsupport::makeCounterClip(dir.path() / "a.ts", small));
    ASSERT_TRUE(testsupport::makeCounterClip(dir.path() / "b.ts", wide));
    testsupport::writeBytes(dir.path() / "list.txt", [] {
        const std::string list = "file a.ts\nfile b.ts\n";
        return std::vector<std::uint8_t>(list.begin(), list.end());
    }());
    const std::string join = "ffmpeg -nostdin -loglevel error -y -f concat -safe 0 -i \"" +
                             (dir.path() / "list.txt").string() + "\" -c copy \"" +
                             (dir.path() / "switching.ts").string() + "\"";
    ASSERT_EQ(std::system(join.c_str()), 0);

    render::VideoRequest request;
    request.source = dir.path() / "switching.ts";
    request.destination = dir.path() / "switching.gif";
    request.frameCount = 8;
    auto made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    auto gif = gif::decodeAnimation(*made);
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 160u);
    EXPECT_EQ(gif->screen.height, 120u);
    ASSERT_GE(gif->frames.size(), 6u);
    // A late frame, 320×180 fitted into 160×120: 160×90 between black bars.
    const auto& last = gif->frames.back().rgba;
    EXPECT_EQ(last[(std::size_t(5) * 160 + 80) * 4], 0) << "top bar";
    EXPECT_NE(last[(std::size_t(60) * 160 + 40) * 4], 0) << "picture";
}

TEST_F(VideoToGif, AVideoCutShortGivesWhatDecodesAndSaysWhereItStops) {
    testsupport::ClipParameters clipShape;
    clipShape.seconds = 4;
    clipShape.keyframeInterval = 25;
    clipShape.faststart = true; // the index first, as phones write it
    ASSERT_TRUE(testsupport::makeCounterClip(dir.path() / "whole.mp4", clipShape));
    auto bytes = testsupport::readBytes(dir.path() / "whole.mp4");
    bytes.resize(bytes.size() / 2);
    testsupport::writeBytes(dir.path() / "short.mp4", bytes);

    render::VideoRequest request;
    request.source = dir.path() / "short.mp4";
    request.destination = dir.path() / "short.gif";
    request.frameCount = 20; // one each 0.2 s
    std::vector<double> stops;
    request.endsEarly = [&](double seconds) { stops.push_back(seconds); };
    auto made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_GT(stops[0], 0.5);
    EXPECT_LT(stops[0], 3.5);
    auto gif = gif::decodeAnimation(*made);
    ASSERT_TRUE(gif.ok());
    // Only frames that were decoded, none frozen past the stop.
    EXPECT_LE(double(gif->frames.size()), stops[0] / 0.2 + 1);
    image::RgbaImage shown{gif->screen.width, gif->screen.height, gif->frames.back().rgba};
    EXPECT_LE(testsupport::readCounter(shown), int(stops[0] * 25) + 1);

    // A whole video says nothing.
    request.source = dir.path() / "whole.mp4";
    request.destination = dir.path() / "whole.gif";
    stops.clear();
    ASSERT_TRUE(render::videoToGif(request).ok());
    EXPECT_TRUE(stops.empty());
}

TEST_F(VideoToGif, NoFramesOrNoVideoGivesNothing) {
    render::VideoRequest request;
    request.source = clip;
    request.destination = dir.path() / "none.gif";
    request.frameCount = 0;
    EXPECT_EQ(render::videoToGif(request).error().code, "render.no_frames");
    EXPECT_EQ(render::videoFrameCount(0.99, render::kVideoSpeeds[2]), 0u);
    EXPECT_EQ(render::videoFrameCount(10.9, render::kVideoSpeeds[2]), 50u);
    EXPECT_EQ(render::videoFrameCount(10.9, render::kVideoSpeeds[4]), 70u);

    request.frameCount = 5;
    request.source = dir.path() / "missing.mp4";
    EXPECT_EQ(render::videoToGif(request).error().code, "media.not_found");
    testsupport::writeBytes(dir.path() / "text.mp4", {'h', 'e', 'l', 'l', 'o'});
    request.source = dir.path() / "text.mp4";
    EXPECT_EQ(render::videoToGif(request).error().code, "media.unreadable");
    EXPECT_FALSE(fs::exists(dir.path() / "none.gif"));
}

} // namespace
} // namespace flickbook
