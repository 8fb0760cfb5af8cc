// Whole GIFs from pictures and videos: sizes, frame choice and the rule that
// a destination holds a complete GIF or nothing.

#include "core/byte_size.h"
#include "core/output_file.h"
#include "gif/animation.h"
#include "gif/encoder.h"
#include "media/frame_reader.h"
#include "media/video_cutter.h"
#include "media/video_source.h"
#include "media_fixtures.h"
#include "render/gif_render.h"
#include "render/presets.h"
#include "test_paths.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>
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

// The order a bounce of n frames plays them in: 0 … n−1, then n−2 … 1.
std::vector<int> bounceOrder(int n) {
    std::vector<int> order;
    for (int i = 0; i < n; ++i)
        order.push_back(i);
    for (int i = n - 2; i >= 1; --i)
        order.push_back(i);
    return order;
}

TEST(ImagesToGif, ABounceGoesForwardThenBackWithoutRepeatingTheEnds) {
    for (int n : {1, 2, 3, 6}) {
        TempDir dir;
        std::vector<image::RgbaImage> pictures;
        for (int i = 0; i < n; ++i)
            pictures.push_back(flat(48, 32, std::uint8_t(20 + 40 * i), 90, 90));
        auto request = picturesRequest(pictures, dir.path() / "bounce.gif");
        request.loop = render::Loop::bounce;
        ASSERT_TRUE(render::imagesToGif(request).ok());
        auto gif = gif::decodeAnimation(dir.path() / "bounce.gif");
        ASSERT_TRUE(gif.ok());
        const auto order = bounceOrder(n);
        ASSERT_EQ(gif->frames.size(), order.size()) << n << " pictures";
        EXPECT_EQ(render::framesInFile(std::size_t(n), render::Loop::bounce), order.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            EXPECT_EQ(pixelAt(gif->frames[k], 48, 24, 16)[0], 20 + 40 * order[k])
                << n << " pictures, frame " << k;
            EXPECT_EQ(gif->frames[k].info.control->delayCs, 50);
        }
        EXPECT_TRUE(onlyFile(dir.path(), dir.path() / "bounce.gif")); // the spool has no name
    }
}

TEST(ImagesToGif, TheLongEdgeFollowsItsMaximumAndIsNeverEnlarged) {
    TempDir dir;
    std::vector<image::RgbaImage> pictures{flat(400, 300, 200, 30, 30),
                                           flat(300, 400, 30, 30, 200)};
    auto request = picturesRequest(pictures, dir.path() / "small.gif");
    request.output.maxLongEdge = 200;
    ASSERT_TRUE(render::imagesToGif(request).ok());
    auto gif = gif::decodeAnimation(dir.path() / "small.gif");
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 200u);
    EXPECT_EQ(gif->screen.height, 150u);

    request.destination = dir.path() / "large.gif";
    request.output.maxLongEdge = 1000;
    ASSERT_TRUE(render::imagesToGif(request).ok());
    gif = gif::decodeAnimation(dir.path() / "large.gif");
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 400u);
    EXPECT_EQ(gif->screen.height, 300u);
}

TEST(ByteSize, ReadsSizesAsPeopleWriteThem) {
    EXPECT_EQ(*parseByteSize("10MB"), 10'000'000u);
    EXPECT_EQ(*parseByteSize("800KB"), 800'000u);
    EXPECT_EQ(*parseByteSize("2.5MB"), 2'500'000u);
    EXPECT_EQ(*parseByteSize("2.5 mb"), 2'500'000u);
    EXPECT_EQ(*parseByteSize("1GB"), 1'000'000'000u);
    EXPECT_EQ(*parseByteSize("10MiB"), 10u * 1024 * 1024);
    EXPECT_EQ(*parseByteSize("512KiB"), 512u * 1024);
    EXPECT_EQ(*parseByteSize("1200B"), 1200u);
    EXPECT_EQ(*parseByteSize(".5MB"), 500'000u);
    for (const char* bad : {"", "MB", "10", "ten MB", "10XB", "-1MB", "1e3KB", "1.2.3MB", "10 M",
                            "10MB extra", "0x10MB"})
        EXPECT_EQ(parseByteSize(bad).error().code, "size.syntax") << bad;
    for (const char* bad : {"0MB", "0.0000001KB", "2000GB", "1001GB"})
        EXPECT_EQ(parseByteSize(bad).error().code, "size.range") << bad;
    EXPECT_NE(parseByteSize("10").error().message.find("no unit"), std::string::npos);
}

TEST(ByteSize, WritesSizesForPeople) {
    EXPECT_EQ(formatByteSize(1), "1 byte");
    EXPECT_EQ(formatByteSize(999), "999 bytes");
    EXPECT_EQ(formatByteSize(1000), "1.0 KB");
    EXPECT_EQ(formatByteSize(840'000), "840 KB");
    EXPECT_EQ(formatByteSize(8'400'000), "8.4 MB");
    EXPECT_EQ(formatByteSize(8'449'999), "8.4 MB");
    EXPECT_EQ(formatByteSize(9'960'000), "10 MB");
    EXPECT_EQ(formatByteSize(999'960), "1.0 MB");
    EXPECT_EQ(formatByteSize(23'400'000), "23 MB");
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

    // With a budget (here one it fits in), the frames kept from the
    // estimate stop at the same place, and it is said once.
    const double stop = stops[0];
    request.destination = dir.path() / "short-fitted.gif";
    request.output.maxBytes = 1'000'000;
    stops.clear();
    made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_EQ(stops, std::vector<double>{stop});
    EXPECT_EQ(testsupport::readBytes(*made), testsupport::readBytes(dir.path() / "short.gif"));
    request.output.maxBytes.reset();

    // A whole video says nothing.
    request.source = dir.path() / "whole.mp4";
    request.destination = dir.path() / "whole.gif";
    stops.clear();
    ASSERT_TRUE(render::videoToGif(request).ok());
    EXPECT_TRUE(stops.empty());
}

TEST_F(VideoToGif, ABounceReadsTheSameFramesBackwards) {
    render::VideoRequest request;
    request.source = clip;
    request.destination = dir.path() / "bounce.gif";
    request.frameCount = 10;
    request.delaySeconds = 0.15;
    request.loop = render::Loop::bounce;
    auto made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    auto gif = gif::decodeAnimation(*made);
    ASSERT_TRUE(gif.ok());
    const auto order = bounceOrder(10);
    ASSERT_EQ(gif->frames.size(), 18u);
    for (std::size_t k = 0; k < order.size(); ++k) {
        image::RgbaImage shown{gif->screen.width, gif->screen.height, gif->frames[k].rgba};
        // Frame i shows the video at i·4/10 s, 25 frames a second.
        EXPECT_EQ(testsupport::readCounter(shown), order[k] * 10) << "frame " << k;
        EXPECT_EQ(gif->frames[k].info.control->delayCs, 15);
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

TEST_F(VideoToGif, TheLongEdgeFollowsItsMaximum) {
    render::VideoRequest request;
    request.source = clip;
    request.destination = dir.path() / "small.gif";
    request.frameCount = 4;
    request.output.maxLongEdge = 80;
    ASSERT_TRUE(render::videoToGif(request).ok());
    auto gif = gif::decodeAnimation(dir.path() / "small.gif");
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 80u);
    EXPECT_EQ(gif->screen.height, 60u);
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

// --- Budgets, on the shared footage and photographs -------------------------

std::uint64_t fileSize(const fs::path& file) {
    return fs::file_size(file);
}

// A photograph as the app would load it, at most 1920 on its long edge.
Result<image::RgbaImage> loadPhoto(const std::string& name, std::uint32_t longEdge = 1920) {
    auto source = media::VideoSource::open(testsupport::testdata() / "photos" / name);
    if (!source)
        return source.error();
    media::FrameReader reader(std::move(*source));
    if (auto more = reader.next(); !more)
        return more.error();
    return reader.currentImage(int(longEdge), int(longEdge));
}

render::ImagesRequest photosRequest(const std::vector<std::string>& names, fs::path to) {
    render::ImagesRequest request;
    request.count = names.size();
    request.picture = [names](std::size_t i) { return loadPhoto(names[i]); };
    request.delaySeconds = 1.0;
    request.destination = std::move(to);
    return request;
}

const std::vector<std::string> kPhotos{"Dune.jpg", "Storm.jpg", "Aqua.jpg"};

// A GIF of one of the shared media clips.
render::VideoRequest clipRequest(const char* clip, fs::path to, std::size_t frames,
                                 double delaySeconds) {
    render::VideoRequest request;
    request.source = testsupport::testdata() / "media" / clip;
    request.destination = std::move(to);
    request.frameCount = frames;
    request.delaySeconds = delaySeconds;
    return request;
}

render::VideoRequest bookRequest(fs::path to) {
    return clipRequest("book.mkv", std::move(to), 15, 0.2); // 3 whole seconds at 1x
}

void expectFramesAsAsked(const fs::path& file, std::size_t frames, int delayCs) {
    auto timing = gif::readTiming(file);
    ASSERT_TRUE(timing.ok());
    EXPECT_EQ(timing->delaysCs.size(), frames);
    for (auto delay : timing->delaysCs)
        EXPECT_EQ(delay, delayCs);
}

// A sample whose frames are made again at each size: they are made in order,
// each once per size, one at a time; one that cannot be made ends the
// measure with its error, and the sample still answers afterwards. A frame
// made at another size goes onto the first one's canvas.
// A plan told where an earlier search on another sample found the budget
// starts there instead of a quarter of the largest size, and finds it with
// fewer sizes measured.
TEST(Budget, APlanStartsWhereAnEarlierSearchFoundTheBudget) {
    auto photo = loadPhoto("Storm.jpg", 1920);
    ASSERT_TRUE(photo.ok()) << photo.error().message;
    const image::Size canvas{photo->width, photo->height};
    std::vector<std::uint32_t> edgesMade;
    const render::FrameSample::FrameMaker remake =
        [&](std::size_t index, std::uint32_t longEdge) -> Result<image::RgbaImage> {
        if (index == 0)
            edgesMade.push_back(longEdge);
        auto frame = image::resize(*photo, image::fitInside(canvas, {longEdge, longEdge}, false));
        // A band that moves, so that every frame costs something.
        for (std::uint32_t y = 0; frame && y < frame->height; ++y)
            for (std::uint32_t x = 0; x < frame->width / 8; ++x)
                frame->pixels[(std::size_t(y) * frame->width + x + index * frame->width / 8) * 4] =
                    255;
        return frame;
    };
    const auto sample = [&] {
        std::vector<bool> counted(6, true);
        counted[0] = false;
        return render::FrameSample(
            std::vector<image::RgbaImage>(6, image::RgbaImage{canvas.width, canvas.height, {}}),
            counted, canvas, {}, remake);
    };
    auto at1400 = sample().estimate(1400, 80, 20);
    ASSERT_TRUE(at1400.ok()) << at1400.error().message;
    const auto budget = std::uint64_t(double(*at1400) / render::kBudgetAim);

    edgesMade.clear();
    auto searched = render::planSize(sample(), 20, 80, budget, 0, 1920, render::PlanFor::render);
    ASSERT_TRUE(searched.ok()) << searched.error().message;
    const std::vector<std::uint32_t> searchedEdges = edgesMade;
    ASSERT_FALSE(searchedEdges.empty());
    EXPECT_EQ(searchedEdges.front(), 480u);

    edgesMade.clear();
    auto started =
        render::planSize(sample(), 20, 80, budget, 0, 1920, render::PlanFor::render, 1390);
    ASSERT_TRUE(started.ok()) << started.error().message;
    ASSERT_FALSE(edgesMade.empty());
    EXPECT_EQ(edgesMade.front(), 1390u);
    EXPECT_LT(edgesMade.size(), searchedEdges.size());
    EXPECT_LE(started->bytes, budget);
    EXPECT_NEAR(double(started->longEdge), double(searched->longEdge), 0.05 * searched->longEdge);
}

TEST(SizeEstimate, FramesMadeAgainComeInOrderAndAFailureEndsOnlyThatMeasure) {
    auto photo = loadPhoto("Storm.jpg", 640);
    ASSERT_TRUE(photo.ok()) << photo.error().message;
    const image::Size canvas{photo->width, photo->height};
    std::vector<std::size_t> made;
    std::atomic<int> makingNow{0};
    std::atomic<bool> overlapped{false};
    std::optional<std::size_t> failAt;
    const render::FrameSample::FrameMaker remake =
        [&](std::size_t index, std::uint32_t longEdge) -> Result<image::RgbaImage> {
        if (makingNow++ > 0)
            overlapped = true;
        made.push_back(index);
        auto frame = image::resize(*photo, image::fitInside(canvas, {longEdge, longEdge}, false));
        // A square that moves, so that every frame costs something.
        for (std::uint32_t y = 0; frame && y < frame->height / 4; ++y)
            for (std::uint32_t x = 0; x < frame->width / 4; ++x)
                frame->pixels[(std::size_t(y + index * 3) * frame->width + x + index * 5) * 4] =
                    255;
        if (frame && index == 5)
            frame = image::resize(*frame, {frame->width / 2, frame->height}); // another size
        --makingNow;
        if (failAt && index == *failAt)
            return makeError("test.unmade", "Frame " + std::to_string(index) + " is not there.");
        return frame;
    };
    std::vector<image::RgbaImage> sizes(12, image::RgbaImage{canvas.width, canvas.height, {}});
    std::vector<bool> counted(12, true);
    counted[0] = false;
    const render::FrameSample sample(std::move(sizes), counted, canvas, {}, remake);

    auto whole = sample.estimate(640, 80, 30);
    ASSERT_TRUE(whole.ok()) << whole.error().message;
    std::vector<std::size_t> inOrder(12);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    EXPECT_EQ(made, inOrder);
    EXPECT_FALSE(overlapped);

    made.clear();
    failAt = 7;
    auto failed = sample.estimate(320, 80, 30);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().code, "test.unmade");
    EXPECT_EQ(made.back(), 7u); // nothing after it is made

    failAt.reset();
    made.clear();
    auto again = sample.estimate(320, 80, 30);
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(made, inOrder);
    EXPECT_LT(*again, *whole);
    auto known = sample.estimate(640, 80, 30); // measured before: nothing made
    ASSERT_TRUE(known.ok());
    EXPECT_EQ(*known, *whole);
    EXPECT_EQ(made, inOrder);

    // A measure told to stop gives way between frames and keeps nothing.
    made.clear();
    int asked = 0;
    sample.stopWhen([&] { return ++asked > 4; });
    auto stopped = sample.estimate(480, 80, 30);
    ASSERT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.error().code, "render.stopped");
    EXPECT_LE(made.size(), 6u); // the frame being made next, at most, past the fourth
    sample.stopWhen({});
    made.clear();
    auto resumed = sample.estimate(480, 80, 30);
    ASSERT_TRUE(resumed.ok()) << resumed.error().message;
    EXPECT_EQ(made, inOrder);
}

// A sample that makes the GIF itself keeps, for each size it measures, the
// GIF a render would write (its frames, delays and loop count, byte for
// byte), and estimates that GIF's size. One with a frame only shown keeps
// nothing.
TEST(SizeEstimate, ASampleOfTheWholeGifMakesTheGifItself) {
    auto photo = loadPhoto("Storm.jpg", 640);
    ASSERT_TRUE(photo.ok()) << photo.error().message;
    const image::Size canvas{photo->width, photo->height};
    const render::FrameSample::FrameMaker remake =
        [&](std::size_t index, std::uint32_t longEdge) -> Result<image::RgbaImage> {
        auto frame = image::resize(*photo, image::fitInside(canvas, {longEdge, longEdge}, false));
        for (std::uint32_t y = 0; frame && y < frame->height / 3; ++y) // a square that moves
            for (std::uint32_t x = 0; x < frame->width / 3; ++x)
                frame->pixels[(std::size_t(y) * frame->width + x + index * 9) * 4 + 1] = 255;
        return frame;
    };
    const std::vector<image::RgbaImage> sizes(6, image::RgbaImage{canvas.width, canvas.height, {}});
    std::vector<bool> counted(6, true);
    render::FrameSample sample(sizes, counted, canvas, {}, remake);
    EXPECT_FALSE(sample.holdsWholeGif(6)); // until asked to keep the GIFs
    sample.keepWholeGifs({0.3, 2});
    EXPECT_TRUE(sample.holdsWholeGif(6));
    EXPECT_FALSE(sample.holdsWholeGif(10)); // a bounce, or frames it does not hold

    auto estimated = sample.estimate(400, 80, 6);
    ASSERT_TRUE(estimated.ok()) << estimated.error().message;
    const auto kept = sample.wholeGifAt(400, 80);
    ASSERT_TRUE(kept);
    EXPECT_EQ(*estimated, kept->size());
    std::vector<std::uint8_t> expected;
    std::optional<gif::GifEncoder> encoder;
    for (std::size_t i = 0; i < 6; ++i) {
        auto frame = remake(i, 400);
        ASSERT_TRUE(frame.ok());
        if (!encoder)
            encoder.emplace(
                frame->width, frame->height, 2,
                [&](std::span<const std::uint8_t> bytes) -> Result<void> {
                    expected.insert(expected.end(), bytes.begin(), bytes.end());
                    return {};
                },
                gif::EncoderSettings{.quality = 80});
        ASSERT_TRUE(encoder->addFrame(*frame, 0.3).ok());
    }
    ASSERT_TRUE(encoder->finish().ok());
    EXPECT_EQ(*kept, expected);
    EXPECT_FALSE(sample.wholeGifAt(300, 80)); // not measured
    EXPECT_FALSE(sample.wholeGifAt(400, 40));

    counted[3] = false;
    render::FrameSample runs(sizes, counted, canvas, {}, remake);
    runs.keepWholeGifs({0.3, 2});
    EXPECT_FALSE(runs.holdsWholeGif(6));
    ASSERT_TRUE(runs.estimate(400, 80, 6).ok());
    EXPECT_FALSE(runs.wholeGifAt(400, 80));
}

// A small pass left until it is needed is made when an estimate at its
// quality first needs it, once, and then answers as a pass made before; a
// pass that fails to be made is an error of that estimate only, and is tried
// again by the next.
TEST(SizeEstimate, APassLeftUntilNeededIsMadeOnceByTheFirstEstimateAtItsQuality) {
    auto photo = loadPhoto("Storm.jpg", 640);
    ASSERT_TRUE(photo.ok()) << photo.error().message;
    const image::Size canvas{photo->width, photo->height};
    bool noisy = false;
    const render::FrameSample::FrameMaker remake =
        [&](std::size_t index, std::uint32_t longEdge) -> Result<image::RgbaImage> {
        auto frame = image::resize(*photo, image::fitInside(canvas, {longEdge, longEdge}, false));
        for (std::uint32_t y = 0; frame && y < frame->height / 3; ++y) // a square that moves
            for (std::uint32_t x = 0; x < frame->width / 3; ++x)
                frame->pixels[(std::size_t(y) * frame->width + x + index * 7) * 4 + 2] = 255;
        // Noise of a few levels, as a camera's, which only a high quality keeps.
        for (std::size_t i = 0; noisy && frame && i < frame->pixels.size(); i += 4)
            frame->pixels[i + 1] = std::uint8_t(std::clamp(
                int(frame->pixels[i + 1]) + int((i / 4 * 7 + index * 13) % 15) - 7, 0, 255));
        return frame;
    };
    // The whole animation of 12 frames at a small size, as a pass counts it.
    const auto passAt = [&](std::uint32_t longEdge, int quality) {
        render::SmallPass pass;
        pass.longEdge = longEdge;
        pass.quality = quality;
        std::uint64_t total = 0;
        std::size_t pieces = 0;
        std::optional<gif::GifEncoder> encoder;
        for (std::size_t i = 0; i < 12; ++i) {
            auto frame = remake(i % 6, longEdge);
            EXPECT_TRUE(frame.ok());
            if (!encoder)
                encoder.emplace(
                    frame->width, frame->height, 0,
                    [&](std::span<const std::uint8_t> bytes) -> Result<void> {
                        if (pieces++ == 0)
                            pass.header = bytes.size();
                        total += bytes.size();
                        return {};
                    },
                    gif::EncoderSettings{.quality = quality});
            EXPECT_TRUE(encoder->addFrame(*frame, 0.2).ok());
            if (i == 0) {
                EXPECT_TRUE(encoder->flush().ok());
                pass.first = total - pass.header;
            }
            ++pass.frames;
        }
        EXPECT_TRUE(encoder->finish().ok());
        pass.rest = total - pass.header - pass.first - 1;
        return pass;
    };
    const render::SmallPass asked = passAt(320, 80), lowest = passAt(160, 40);
    const std::vector<image::RgbaImage> sizes(6, image::RgbaImage{canvas.width, canvas.height, {}});
    std::vector<bool> counted(6, true);
    counted[0] = false;
    const render::FrameSample made(sizes, counted, canvas, {asked, lowest}, remake);
    render::FrameSample later(sizes, counted, canvas, {asked}, remake);
    int calls = 0;
    later.addPassWhenNeeded(160, 40, [&](std::uint32_t) -> Result<render::SmallPass> {
        ++calls;
        return lowest;
    });
    // Both samples are asked the same, in the same order: what each has
    // measured decides where a budget's search starts.
    EXPECT_EQ(later.edgesKnown(40), made.edgesKnown(40));
    const auto samePlan = [&](std::uint64_t budget) {
        auto expected = render::planSize(made, 12, 80, budget, 0, 640, render::PlanFor::render);
        auto got = render::planSize(later, 12, 80, budget, 0, 640, render::PlanFor::render);
        EXPECT_TRUE(expected.ok() && got.ok());
        if (expected.ok() && got.ok()) {
            EXPECT_EQ(got->longEdge, expected->longEdge);
            EXPECT_EQ(got->quality, expected->quality);
            EXPECT_EQ(got->bytes, expected->bytes);
        }
        return expected;
    };
    // Budgets from a third sample, so that the two are asked nothing else.
    const render::FrameSample sizing(sizes, counted, canvas, {asked, lowest}, remake);
    // A budget whose GIF stays at 320 px or more never looks at quality 40.
    auto at480 = sizing.estimate(480, 80, 12);
    ASSERT_TRUE(at480.ok());
    auto large = samePlan(*at480);
    ASSERT_TRUE(large.ok());
    EXPECT_GE(large->longEdge, 320u);
    EXPECT_LT(large->longEdge, 640u); // searched for, not made as asked
    EXPECT_EQ(calls, 0);
    // One whose GIF would be smaller at the quality asked does, once, and
    // plans as with the pass made before.
    auto at240 = sizing.estimate(240, 80, 12);
    ASSERT_TRUE(at240.ok());
    ASSERT_TRUE(samePlan(*at240).ok());
    EXPECT_EQ(calls, 1);
    for (const std::uint32_t edge : {300u, 200u, 160u}) {
        auto expected = made.estimate(edge, 40, 12);
        auto got = later.estimate(edge, 40, 12);
        ASSERT_TRUE(expected.ok() && got.ok());
        EXPECT_EQ(*got, *expected) << edge << " px";
    }
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(later.edgesKnown(40), made.edgesKnown(40));

    // A pass that kept the GIF it made gives it for its own size and
    // quality only.
    render::SmallPass keeping = lowest;
    keeping.gif =
        std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{1, 2});
    const render::FrameSample kept(sizes, counted, canvas, {asked, keeping}, remake);
    EXPECT_EQ(kept.wholeGifAt(160, 40), keeping.gif);
    EXPECT_FALSE(kept.wholeGifAt(160, 80));
    EXPECT_FALSE(kept.wholeGifAt(170, 40));
    EXPECT_FALSE(kept.wholeGifAt(320, 80)); // its pass kept nothing

    // A pass that fails is tried again by the next estimate that needs it.
    render::FrameSample failing(sizes, counted, canvas, {asked}, remake);
    calls = 0;
    failing.addPassWhenNeeded(160, 40, [&](std::uint32_t) -> Result<render::SmallPass> {
        if (++calls == 1)
            return makeError("test.unmade", "The pass could not be made.");
        return lowest;
    });
    auto failed = failing.estimate(300, 40, 12);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().code, "test.unmade");
    auto asked300 = failing.estimate(300, 80, 12); // the sample still answers
    EXPECT_TRUE(asked300.ok());
    auto again = failing.estimate(300, 40, 12);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, *made.estimate(300, 40, 12));
    EXPECT_EQ(calls, 2);

    // One that comes back at another size is let go, and the estimate
    // scales from the pass it has.
    render::FrameSample wrong(sizes, counted, canvas, {asked}, remake);
    calls = 0;
    wrong.addPassWhenNeeded(200, 40, [&](std::uint32_t) -> Result<render::SmallPass> {
        ++calls;
        return lowest;
    });
    auto refused = wrong.estimate(300, 40, 12);
    ASSERT_TRUE(refused.ok()) << refused.error().message;
    EXPECT_NE(*refused, *made.estimate(300, 40, 12)); // not from the pass it refused
    EXPECT_EQ(wrong.edgesKnown(40), std::vector<std::uint32_t>{300u}); // 200 no longer
    EXPECT_TRUE(wrong.estimate(200, 40, 12).ok());
    EXPECT_EQ(calls, 1);

    // With every pass left until needed (a render's), a budget the GIF
    // cannot meet at 320 px even at the lowest quality has the quality
    // asked measured at the lowest's size; any other keeps its own.
    const auto plannedWith = [&](std::uint64_t budget, std::vector<std::uint32_t>& madeAt) {
        render::FrameSample sample(sizes, counted, canvas, {}, remake);
        for (const int quality : {80, 40})
            sample.addPassWhenNeeded(quality == 80 ? 320 : 160, quality,
                                     [&, quality](std::uint32_t edge) {
                                         madeAt.push_back(edge);
                                         return Result<render::SmallPass>(passAt(edge, quality));
                                     });
        return render::planSize(sample, 12, 80, budget, 0, 640, render::PlanFor::render);
    };
    auto at200 = sizing.estimate(200, 80, 12);
    ASSERT_TRUE(at200.ok());
    std::vector<std::uint32_t> small, wide;
    auto smallPlan = plannedWith(*at200, small);
    ASSERT_TRUE(smallPlan.ok()) << smallPlan.error().message;
    EXPECT_LT(smallPlan->longEdge, 320u);
    EXPECT_EQ(small, (std::vector<std::uint32_t>{160, 160}));
    auto widePlan = plannedWith(*at480, wide);
    ASSERT_TRUE(widePlan.ok()) << widePlan.error().message;
    EXPECT_GE(widePlan->longEdge, 320u);
    EXPECT_EQ(wide, (std::vector<std::uint32_t>{160, 320}));
    // One the lowest quality meets at 320 px and the quality asked does
    // not has both made small too, and the lowest quality's made again at
    // 320 px, as its GIF lies above it.
    noisy = true;
    const render::FrameSample noisySizing(sizes, counted, canvas,
                                          {passAt(320, 80), passAt(160, 40)}, remake);
    auto lowestAt320 = noisySizing.estimate(320, 40, 12),
         askedAt320 = noisySizing.estimate(320, 80, 12);
    ASSERT_TRUE(lowestAt320.ok() && askedAt320.ok());
    const std::uint64_t between = (*lowestAt320 + *askedAt320) / 2;
    ASSERT_GT(double(between), 1.6 * double(*lowestAt320)); // well under it at 320 px
    ASSERT_LT(double(between), 0.9 * double(*askedAt320));
    std::vector<std::uint32_t> middle;
    auto middlePlan = plannedWith(between, middle);
    ASSERT_TRUE(middlePlan.ok()) << middlePlan.error().message;
    EXPECT_EQ(middle, (std::vector<std::uint32_t>{160, 160, 320}));
    EXPECT_GT(middlePlan->longEdge, 320u);
    EXPECT_EQ(middlePlan->quality, 40);

    // A second pass at a quality, made with the maker given for it: from
    // the smaller pass's edge on, estimates at that quality follow the two
    // whole passes rather than the sampled frames.
    const auto bytesOf = [](const render::SmallPass& pass) {
        return pass.header + pass.first + pass.rest + 1;
    };
    render::FrameSample twice(sizes, counted, canvas, {passAt(320, 80)}, remake);
    std::vector<std::uint32_t> widened;
    twice.addPassWhenNeeded(160, 40, [&](std::uint32_t edge) {
        widened.push_back(edge);
        return Result<render::SmallPass>(passAt(edge, 40));
    });
    auto notGiven = twice.addPassAt(320, 60); // no maker for that quality
    ASSERT_TRUE(notGiven.ok());
    EXPECT_FALSE(*notGiven);
    auto second = twice.addPassAt(320, 40);
    ASSERT_TRUE(second.ok()) << second.error().message;
    EXPECT_TRUE(*second);
    auto secondAgain = twice.addPassAt(320, 40);
    ASSERT_TRUE(secondAgain.ok());
    EXPECT_FALSE(*secondAgain);
    EXPECT_EQ(widened, (std::vector<std::uint32_t>{160, 320})); // the one left first
    auto at320 = twice.estimate(320, 40, 12);
    ASSERT_TRUE(at320.ok());
    EXPECT_EQ(*at320, bytesOf(passAt(320, 40))); // the pass itself
    auto at160 = twice.estimate(160, 40, 12);
    ASSERT_TRUE(at160.ok());
    EXPECT_EQ(*at160, bytesOf(passAt(160, 40)));
    EXPECT_EQ(widened.size(), 2u);
    auto between160 = twice.estimate(240, 40, 12), above320 = twice.estimate(480, 40, 12);
    ASSERT_TRUE(between160.ok() && above320.ok());
    EXPECT_GT(*between160, *at160);
    EXPECT_LT(*between160, *at320);
    EXPECT_GT(*above320, *at320);
    auto below = twice.estimate(150, 40, 12); // under both: from the sampled frames
    ASSERT_TRUE(below.ok());
    EXPECT_LT(*below, *at160);
}

TEST(SizeEstimate, IsWithinFifteenPerCentOfTheGifMade) {
    TempDir dir;
    auto video = bookRequest(dir.path() / "book.gif");
    auto videoEstimate = render::estimateSize(video);
    ASSERT_TRUE(videoEstimate.ok()) << videoEstimate.error().message;
    ASSERT_TRUE(render::videoToGif(video).ok());
    EXPECT_NEAR(double(videoEstimate->bytes), double(fileSize(dir.path() / "book.gif")),
                0.15 * double(fileSize(dir.path() / "book.gif")));
    EXPECT_EQ(videoEstimate->canvas, (image::Size{640, 480}));
    // A dozen frames are sampled whole: the estimate is the GIF's own size.
    auto dozen = bookRequest(dir.path() / "dozen.gif");
    dozen.frameCount = 12;
    auto dozenEstimate = render::estimateSize(dozen);
    ASSERT_TRUE(dozenEstimate.ok()) << dozenEstimate.error().message;
    ASSERT_TRUE(render::videoToGif(dozen).ok());
    EXPECT_EQ(dozenEstimate->bytes, fileSize(dir.path() / "dozen.gif"));

    auto photos = photosRequest(kPhotos, dir.path() / "photos.gif");
    auto photosEstimate = render::estimateSize(photos);
    ASSERT_TRUE(photosEstimate.ok()) << photosEstimate.error().message;
    ASSERT_TRUE(render::imagesToGif(photos).ok());
    EXPECT_NEAR(double(photosEstimate->bytes), double(fileSize(dir.path() / "photos.gif")),
                0.15 * double(fileSize(dir.path() / "photos.gif")));
    EXPECT_EQ(photosEstimate->canvas, (image::Size{1680, 1050}));
}

// Fifty frames, of which the estimate makes only a dozen at the GIF's size:
// the rest it knows from the whole animation at a quarter of the long edge.
TEST(SizeEstimate, OfALongerVideoIsWithinFifteenPerCentFromASampleOfItsFrames) {
    TempDir dir;
    auto video = clipRequest("car-detection.mp4", dir.path() / "car.gif", 50, 0.2);
    auto estimate = render::estimateSize(video);
    ASSERT_TRUE(estimate.ok()) << estimate.error().message;
    ASSERT_TRUE(render::videoToGif(video).ok());
    const double made = double(fileSize(dir.path() / "car.gif"));
    EXPECT_NEAR(double(estimate->bytes), made, 0.15 * made);
    EXPECT_EQ(estimate->canvas, (image::Size{768, 432}));

    // The same sample answers for a smaller size.
    auto sample = render::sampleFrames(video);
    ASSERT_TRUE(sample.ok()) << sample.error().message;
    auto smaller = sample->estimate(384, video.settings.quality, 50);
    ASSERT_TRUE(smaller.ok()) << smaller.error().message;
    video.output.maxLongEdge = 384;
    video.destination = dir.path() / "car-384.gif";
    ASSERT_TRUE(render::videoToGif(video).ok());
    const double madeSmaller = double(fileSize(dir.path() / "car-384.gif"));
    EXPECT_NEAR(double(*smaller), madeSmaller, 0.15 * madeSmaller);

    // Asked again after other sizes and qualities, the sample gives the same answer.
    ASSERT_TRUE(sample->estimate(768, video.settings.quality, 50).ok());
    auto lower = sample->estimate(384, render::kLowestQuality, 50);
    ASSERT_TRUE(lower.ok()) << lower.error().message;
    EXPECT_LT(*lower, *smaller);
    auto again = sample->estimate(384, video.settings.quality, 50);
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(*again, *smaller);
}

// A 4 s 1920x1080 clip of FFmpeg's moving test pattern, coded with B-frames
// as cameras and phones do: the size the estimate works hardest at.
class FullHd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        const std::string command =
            "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30 "
            "-t 4 -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p \"" +
            clip().string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static fs::path clip() { return dir_->path() / "pattern-1080p.mp4"; }
    static render::VideoRequest request(const render::VideoSpeed& speed, const fs::path& to) {
        render::VideoRequest video;
        video.source = clip();
        video.destination = to;
        video.frameCount = render::videoFrameCount(4.0, speed);
        video.delaySeconds = speed.delaySeconds;
        return video;
    }
    static TempDir* dir_;
};
TempDir* FullHd::dir_ = nullptr;

// Speeds that take different frames each get an estimate of their own GIF.
TEST_F(FullHd, EstimateIsWithinFifteenPerCentAtTwoSpeeds) {
    TempDir dir;
    for (const std::size_t choice : {std::size_t(2), std::size_t(4)}) { // 1x and 0.5x
        const render::VideoSpeed& speed = render::kVideoSpeeds[choice];
        auto video = request(speed, dir.path() / (std::string(speed.label) + ".gif"));
        auto estimate = render::estimateSize(video);
        ASSERT_TRUE(estimate.ok()) << estimate.error().message;
        ASSERT_TRUE(render::videoToGif(video).ok());
        const double made = double(fileSize(*video.destination));
        EXPECT_NEAR(double(estimate->bytes), made, 0.15 * made) << speed.label;
        EXPECT_EQ(estimate->canvas, (image::Size{1920, 1080}));
        expectFramesAsAsked(*video.destination, video.frameCount,
                            int(std::lround(speed.delaySeconds * 100)));
    }
}

// One decode samples every speed's frames: on evenly spaced frames, each
// sample estimates what the sample made for that speed alone does, although
// the decode skipped fewer frames for the others' times.
TEST_F(FullHd, EverySpeedSampledInOneDecodeEstimatesAsItsOwnSample) {
    const std::vector<std::size_t> counts = render::videoFrameCounts(4.0);
    ASSERT_EQ(counts, (std::vector<std::size_t>{20, 24, 28})); // 5, 6 and 7 frames a second
    EXPECT_TRUE(render::videoFrameCounts(0.5).empty());
    TempDir dir;
    auto video = request(render::kVideoSpeeds[render::kDefaultVideoSpeed], dir.path() / "x.gif");
    auto together = render::sampleFrames(video, counts);
    ASSERT_TRUE(together.ok()) << together.error().message;
    ASSERT_EQ(together->size(), counts.size());
    for (std::size_t k = 0; k < counts.size(); ++k) {
        video.frameCount = counts[k];
        auto alone = render::sampleFrames(video);
        ASSERT_TRUE(alone.ok()) << alone.error().message;
        for (const std::uint32_t edge : {640u, 1920u}) {
            auto fromAlone = alone->estimate(edge, video.settings.quality, counts[k]);
            auto fromTogether = (*together)[k].estimate(edge, video.settings.quality, counts[k]);
            ASSERT_TRUE(fromAlone.ok() && fromTogether.ok());
            EXPECT_EQ(*fromTogether, *fromAlone) << counts[k] << " frames at " << edge;
        }
    }
    const std::size_t none = 0;
    EXPECT_FALSE(render::sampleFrames(video, std::span(&none, 1)).ok());
}

// A budget well under the GIF as asked is found from a quarter of its size
// upwards, and the GIF made for it fits and uses most of it.
TEST_F(FullHd, BudgetOfAThirdIsMetWithTheFramesAsAsked) {
    TempDir dir;
    const render::VideoSpeed& speed = render::kVideoSpeeds[render::kDefaultVideoSpeed];
    auto plain = request(speed, dir.path() / "plain.gif");
    auto sample = render::sampleFrames(plain);
    ASSERT_TRUE(sample.ok()) << sample.error().message;
    auto full = sample->estimate(1920, plain.settings.quality, plain.frameCount);
    ASSERT_TRUE(full.ok()) << full.error().message;
    const std::uint64_t budget = *full / 3;
    auto planned = render::planSize(*sample, plain.frameCount, plain.settings.quality, budget);
    ASSERT_TRUE(planned.ok()) << planned.error().message;
    EXPECT_LT(planned->longEdge, 1920u);
    EXPECT_GT(planned->longEdge, 480u);
    EXPECT_LE(double(planned->bytes), 0.96 * double(budget));
    // A plan only shown may take its edge from the slope rather than
    // estimate it: the size it shows is still that edge's estimate, within
    // this pattern's jumps (759 KB estimated where about 678 KB was shown).
    auto there = sample->estimate(planned->longEdge, plain.settings.quality, plain.frameCount);
    ASSERT_TRUE(there.ok()) << there.error().message;
    EXPECT_LT(std::abs(double(*there) / double(planned->bytes) - 1), 0.15)
        << *there << " estimated, " << planned->bytes << " shown";

    auto fitted = request(speed, dir.path() / "fitted.gif");
    fitted.output.maxBytes = budget;
    auto made = render::videoToGif(fitted);
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_LE(fileSize(*made), budget);
    EXPECT_GE(double(fileSize(*made)), render::kBudgetFloor * double(budget));
    expectFramesAsAsked(*made, plain.frameCount, 20);

    // On a sample that has shown the size as asked, that size and the small
    // pass's own give the slope: a budget a little under it is answered
    // without another measure, as a window's change must answer within a
    // second.
    auto shown = render::sampleFrames(plain);
    ASSERT_TRUE(shown.ok()) << shown.error().message;
    ASSERT_TRUE(shown->estimate(1920, plain.settings.quality, plain.frameCount).ok());
    const auto knownBefore = shown->edgesKnown(plain.settings.quality);
    EXPECT_NE(std::find(knownBefore.begin(), knownBefore.end(), 1920u), knownBefore.end());
    const auto near = render::planSize(*shown, plain.frameCount, plain.settings.quality,
                                       std::uint64_t(0.9 * double(*full)));
    ASSERT_TRUE(near.ok()) << near.error().message;
    EXPECT_EQ(shown->edgesKnown(plain.settings.quality), knownBefore);
    auto nearThere = shown->estimate(near->longEdge, plain.settings.quality, plain.frameCount);
    ASSERT_TRUE(nearThere.ok()) << nearThere.error().message;
    EXPECT_LT(std::abs(double(*nearThere) / double(near->bytes) - 1), 0.15);
}

// The test pattern's GIF does not grow smoothly with its size: 1064 px
// takes 754 KB, 1127 px 939 KB (a quarter more for 6% more edge) and
// 1156 px 872 KB. Budgets that fall in such a jump are still mostly used.
TEST_F(FullHd, BudgetsInAJumpOfItsSizeAreMostlyUsed) {
    TempDir dir;
    const render::VideoSpeed& speed = render::kVideoSpeeds[render::kDefaultVideoSpeed];
    for (const std::uint64_t budget : {900'000u, 1'500'000u}) {
        auto fitted = request(speed, dir.path() / (std::to_string(budget) + ".gif"));
        fitted.output.maxBytes = budget;
        auto made = render::videoToGif(fitted);
        ASSERT_TRUE(made.ok()) << made.error().message;
        EXPECT_LE(fileSize(*made), budget);
        EXPECT_GE(double(fileSize(*made)), render::kBudgetFloor * double(budget)) << budget;
    }
}

// A source that can decode its pictures smaller is asked for the GIF's own
// frames at the size a budget chose: the GIF is the one made at that size.
// A budget far under the GIF as asked is planned on pictures decoded small
// too: only the first is ever decoded whole, for the canvas. A picture the
// plan decoded at the size chosen is not decoded again for the GIF.
TEST(Budget, PicturesForTheGifAreAskedForAtTheSizeItChose) {
    TempDir dir;
    // What the plan asked for, then what the GIF's own encodes did.
    std::vector<std::pair<std::size_t, std::uint32_t>> asked, askedByTheGif;
    bool planned = false;
    std::size_t wholeAfterTheFirst = 0;
    auto fitted = photosRequest(kPhotos, dir.path() / "fitted.gif");
    fitted.progress = [&](double) { planned = true; };
    fitted.picture = [&](std::size_t i) {
        ++wholeAfterTheFirst;
        return loadPhoto(kPhotos[i]);
    };
    fitted.pictureAt = [&](std::size_t i, std::uint32_t longEdge) {
        (planned ? askedByTheGif : asked).emplace_back(i, longEdge);
        if (i > 0 && longEdge >= 1920)
            ++wholeAfterTheFirst;
        return loadPhoto(kPhotos[i], longEdge);
    };
    fitted.output.maxBytes = 600'000;
    ASSERT_TRUE(render::imagesToGif(fitted).ok());
    EXPECT_EQ(wholeAfterTheFirst, 0u);
    auto made = gif::readTiming(fitted.destination);
    ASSERT_TRUE(made.ok());
    const std::uint32_t edge = std::max(made->screen.width, made->screen.height);
    EXPECT_LT(edge, 1920u);
    // The plan measured that size: the GIF took the pictures it decoded.
    for (std::size_t i = 0; i < kPhotos.size(); ++i)
        EXPECT_EQ(std::count(asked.begin(), asked.end(), std::pair{i, edge}), 1) << i;
    EXPECT_EQ(std::count_if(askedByTheGif.begin(), askedByTheGif.end(),
                            [&](const auto& a) { return a.second == edge; }),
              0);
    EXPECT_LE(fileSize(fitted.destination), 600'000u);

    EXPECT_LE(2 * edge, 1680u); // Dune's width, the canvas's

    auto there = photosRequest(kPhotos, dir.path() / "there.gif");
    there.picture = [&](std::size_t i) { return loadPhoto(kPhotos[i], edge); };
    there.output.maxLongEdge = edge;
    ASSERT_TRUE(render::imagesToGif(there).ok());
    EXPECT_EQ(testsupport::readBytes(fitted.destination),
              testsupport::readBytes(there.destination));

    // A budget that leaves the GIF near its largest size is planned on
    // the pictures at their largest, and still fits.
    auto roomy = photosRequest(kPhotos, dir.path() / "roomy.gif");
    roomy.pictureAt = [&](std::size_t i, std::uint32_t longEdge) {
        return loadPhoto(kPhotos[i], longEdge);
    };
    auto plain = photosRequest(kPhotos, dir.path() / "plain.gif");
    ASSERT_TRUE(render::imagesToGif(plain).ok());
    roomy.output.maxBytes = fileSize(plain.destination) * 2 / 3;
    ASSERT_TRUE(render::imagesToGif(roomy).ok());
    auto timing = gif::readTiming(roomy.destination);
    ASSERT_TRUE(timing.ok());
    EXPECT_GT(3 * std::max(timing->screen.width, timing->screen.height), 2 * 1680u);
    EXPECT_LE(fileSize(roomy.destination), *roomy.output.maxBytes);
    EXPECT_GE(double(fileSize(roomy.destination)),
              render::kBudgetFloor * double(*roomy.output.maxBytes));

    // A budget a little above the GIF as asked is planned on the pictures
    // read at the canvas's size (Dune's 1680), and the GIF takes them
    // rather than decoding them again: it is the GIF made at that size, for
    // one decode of each picture at it, and none whole.
    std::vector<std::pair<std::size_t, std::uint32_t>> snugAsks;
    auto snug = photosRequest(kPhotos, dir.path() / "snug.gif");
    snug.picture = [&](std::size_t i) {
        snugAsks.emplace_back(i, 0);
        return loadPhoto(kPhotos[i]);
    };
    snug.pictureAt = [&](std::size_t i, std::uint32_t longEdge) {
        snugAsks.emplace_back(i, longEdge);
        return loadPhoto(kPhotos[i], longEdge);
    };
    snug.output.maxBytes = fileSize(plain.destination) * 6 / 5;
    ASSERT_TRUE(render::imagesToGif(snug).ok());
    for (std::size_t i = 0; i < kPhotos.size(); ++i) {
        EXPECT_EQ(std::count(snugAsks.begin(), snugAsks.end(), std::pair{i, 1680u}), 1) << i;
        EXPECT_EQ(std::count(snugAsks.begin(), snugAsks.end(), std::pair{i, 0u}), 0) << i;
    }
    auto atCanvas = photosRequest(kPhotos, dir.path() / "canvas.gif");
    atCanvas.picture = [&](std::size_t i) { return loadPhoto(kPhotos[i], 1680); };
    atCanvas.output.maxLongEdge = 1680;
    ASSERT_TRUE(render::imagesToGif(atCanvas).ok());
    EXPECT_EQ(testsupport::readBytes(snug.destination),
              testsupport::readBytes(atCanvas.destination));
}

// Create after an estimate hands the render the plan made on the estimate's
// sample: the GIF is made at that size without its frames being sampled
// again, so each picture is read once. A plan is still weighed: one that
// claims to fit but does not gives a GIF that does. One taken from a slope
// rather than measured is not used.
TEST(Budget, APlanAnEstimateMadeIsMadeWithoutSamplingAgain) {
    TempDir dir;
    constexpr std::uint64_t budget = 500'000;
    auto asked = photosRequest(kPhotos, dir.path() / "unused.gif");
    asked.output.maxBytes = budget;
    auto sample = render::sampleFrames(asked);
    ASSERT_TRUE(sample.ok()) << sample.error().message;
    auto plan = render::planSize(*sample, kPhotos.size(), asked.settings.quality, budget, 0,
                                 asked.output.maxLongEdge, render::PlanFor::render);
    ASSERT_TRUE(plan.ok()) << plan.error().message;
    ASSERT_FALSE(plan->fromSlope);
    EXPECT_EQ(plan->largestEdge, 1680u);

    const auto render = [&](const std::string& name, const render::SizePlan& given,
                            std::size_t& reads) {
        auto fitted = photosRequest(kPhotos, dir.path() / name);
        fitted.picture = [&reads](std::size_t i) {
            ++reads;
            return loadPhoto(kPhotos[i]);
        };
        fitted.output.maxBytes = budget;
        fitted.output.planned = given;
        EXPECT_TRUE(render::imagesToGif(fitted).ok()) << name;
        EXPECT_LE(fileSize(fitted.destination), budget) << name;
        auto timing = gif::readTiming(fitted.destination);
        EXPECT_TRUE(timing.ok());
        return timing.ok() ? std::max(timing->screen.width, timing->screen.height) : 0u;
    };
    std::size_t reads = 0;
    EXPECT_EQ(render("planned.gif", *plan, reads), plan->longEdge);
    EXPECT_EQ(reads, kPhotos.size());

    render::SizePlan claimsTooMuch = *plan;
    claimsTooMuch.longEdge = 1680;
    claimsTooMuch.canvas = {1680, 1050};
    std::size_t readsAgain = 0;
    EXPECT_LT(render("weighed.gif", claimsTooMuch, readsAgain), 1680u);
    EXPECT_GT(readsAgain, kPhotos.size());

    render::SizePlan fromSlope = *plan;
    fromSlope.fromSlope = true;
    std::size_t readsToSample = 0;
    render("sampled.gif", fromSlope, readsToSample);
    EXPECT_GT(readsToSample, kPhotos.size());

    // A video's: its GIF is made at the plan's size, with its frames and
    // timing as asked.
    auto video = clipRequest("car-detection.mp4", dir.path() / "car.gif", 50, 0.2);
    constexpr std::uint64_t videoBudget = 2'000'000;
    auto videoSample = render::sampleFrames(video);
    ASSERT_TRUE(videoSample.ok()) << videoSample.error().message;
    auto videoPlan = render::planSize(*videoSample, 50, video.settings.quality, videoBudget, 0,
                                      video.output.maxLongEdge, render::PlanFor::render);
    ASSERT_TRUE(videoPlan.ok()) << videoPlan.error().message;
    video.output.maxBytes = videoBudget;
    video.output.planned = *videoPlan;
    auto made = render::videoToGif(video);
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_LE(fileSize(*made), videoBudget);
    EXPECT_GE(double(fileSize(*made)), render::kBudgetFloor * double(videoBudget));
    auto timing = gif::readTiming(*made);
    ASSERT_TRUE(timing.ok());
    EXPECT_EQ(std::max(timing->screen.width, timing->screen.height), videoPlan->longEdge);
    expectFramesAsAsked(*made, 50, 20);
}

// A budgeted video GIF is made from the frames its estimate decoded, kept
// rather than decoded again: it is the GIF made at the size it chose. A GIF
// this short is the one its sample made whole when measuring that size,
// with its own timing and loop count; bounced, it is encoded with the way
// back.
TEST(Budget, AVideoGifIsTheOneMadeAtTheSizeItChose) {
    TempDir dir;
    auto fitted = bookRequest(dir.path() / "fitted.gif");
    fitted.output.maxBytes = 250'000;
    fitted.loopCount = 3;
    auto made = render::videoToGif(fitted);
    ASSERT_TRUE(made.ok()) << made.error().message;
    auto timing = gif::readTiming(*made);
    ASSERT_TRUE(timing.ok());
    EXPECT_LT(timing->screen.width, 640u);
    EXPECT_EQ(timing->loopCount, std::optional<std::uint16_t>(3));
    expectFramesAsAsked(*made, 15, 20);

    auto there = bookRequest(dir.path() / "there.gif");
    there.output.maxLongEdge = std::max(timing->screen.width, timing->screen.height);
    there.loopCount = 3;
    ASSERT_TRUE(render::videoToGif(there).ok());
    EXPECT_EQ(testsupport::readBytes(*made), testsupport::readBytes(dir.path() / "there.gif"));

    auto bounced = bookRequest(dir.path() / "bounced.gif");
    bounced.output.maxBytes = 250'000;
    bounced.loop = render::Loop::bounce;
    auto back = render::videoToGif(bounced);
    ASSERT_TRUE(back.ok()) << back.error().message;
    EXPECT_LE(fileSize(*back), 250'000u);
    EXPECT_GE(double(fileSize(*back)), render::kBudgetFloor * 250'000);
    expectFramesAsAsked(*back, 28, 20);
}

// A budget the quality asked meets only well under 320 px and the lowest
// quality above it: the GIF is made at the lowest quality from passes at
// two sizes, within the budget and using most of it.
TEST(Budget, AtTheLowestQualityAboveTheSmallPassesIsMetAndMostlyUsed) {
    TempDir dir;
    auto bottle = clipRequest("bottle-detection.mp4", dir.path() / "bottle.gif", 100, 0.1);
    bottle.output.maxBytes = 600'000;
    auto made = render::videoToGif(bottle);
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_LE(fileSize(*made), 600'000u);
    EXPECT_GE(double(fileSize(*made)), render::kBudgetFloor * 600'000);
    expectFramesAsAsked(*made, 100, 10);
    auto timing = gif::readTiming(*made);
    ASSERT_TRUE(timing.ok());
    EXPECT_GT(timing->screen.width, 320u);
    EXPECT_LT(timing->screen.width, 640u);
}

// A GIF whose estimate was a few per cent under heads past its budget over
// its last frames (the car clip from 15 to 30 s, as the trim screen cuts it,
// whose motion comes in its last few seconds): the frames still to come bring
// it under the budget, and it keeps the size its plan chose rather than being
// made again smaller, at about 91% of the budget. So is one made with the
// plan a window made on its own sample, which carries that course.
TEST(Budget, AGifHeadingJustOverIsBroughtUnderItWithoutBeingMadeAgain) {
    TempDir dir;
    media::CutRequest cut;
    cut.source = testsupport::testdata() / "media" / "car-detection.mp4";
    cut.startSeconds = 15;
    cut.endSeconds = 30;
    cut.destination = dir.path() / "stretch.mp4";
    auto stretch = media::cutVideo(cut);
    ASSERT_TRUE(stretch.ok()) << stretch.error().message;
    auto video = media::VideoSource::open(*stretch);
    ASSERT_TRUE(video.ok());
    const auto& speed = render::kVideoSpeeds[render::kDefaultVideoSpeed];

    render::VideoRequest request;
    request.source = *stretch;
    request.destination = dir.path() / "car.gif";
    request.frameCount = render::videoFrameCount(video->durationSeconds(), speed);
    request.delaySeconds = speed.delaySeconds;
    request.output.maxBytes = 400'000;
    auto made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_LE(fileSize(*made), 400'000u);
    EXPECT_GE(double(fileSize(*made)), 0.95 * 400'000);
    expectFramesAsAsked(*made, request.frameCount, 20);

    // The same, with the plan a window made on its own sample handed over.
    auto sample = render::sampleFrames(request);
    ASSERT_TRUE(sample.ok()) << sample.error().message;
    auto plan = render::planSize(*sample, request.frameCount, request.settings.quality, 400'000, 0,
                                 request.output.maxLongEdge, render::PlanFor::render);
    ASSERT_TRUE(plan.ok()) << plan.error().message;
    EXPECT_EQ(plan->course.size(), request.frameCount);
    request.destination = dir.path() / "planned.gif";
    request.output.planned = *plan;
    auto planned = render::videoToGif(request);
    ASSERT_TRUE(planned.ok()) << planned.error().message;
    EXPECT_LE(fileSize(*planned), 400'000u);
    EXPECT_GE(double(fileSize(*planned)), 0.95 * 400'000);
    expectFramesAsAsked(*planned, request.frameCount, 20);
}

// A budget far above the GIF changes nothing: the plan for showing it is
// the estimate as asked, and the GIF made is the one made without it.
TEST(Budget, FarAboveTheGifPlansAndMakesItAsAsked) {
    TempDir dir;
    auto plain = bookRequest(dir.path() / "plain.gif");
    auto sample = render::sampleFrames(plain);
    ASSERT_TRUE(sample.ok()) << sample.error().message;
    auto asAsked = render::planSize(*sample, 15, plain.settings.quality, std::nullopt);
    ASSERT_TRUE(asAsked.ok()) << asAsked.error().message;
    auto roomy = render::planSize(*sample, 15, plain.settings.quality, 20'000'000u);
    ASSERT_TRUE(roomy.ok()) << roomy.error().message;
    EXPECT_EQ(roomy->longEdge, asAsked->longEdge);
    EXPECT_EQ(roomy->bytes, asAsked->bytes);
    // For a render only the size matters: it is as asked too.
    auto forRender = render::planSize(*sample, 15, plain.settings.quality, 20'000'000u, 0,
                                      image::kMaxCanvasLongEdge, render::PlanFor::render);
    ASSERT_TRUE(forRender.ok()) << forRender.error().message;
    EXPECT_EQ(forRender->longEdge, asAsked->longEdge);
    EXPECT_EQ(forRender->quality, plain.settings.quality);

    ASSERT_TRUE(render::videoToGif(plain).ok());
    auto fitted = bookRequest(dir.path() / "fitted.gif");
    fitted.output.maxBytes = 20'000'000u;
    ASSERT_TRUE(render::videoToGif(fitted).ok());
    EXPECT_EQ(testsupport::readBytes(dir.path() / "fitted.gif"),
              testsupport::readBytes(dir.path() / "plain.gif"));
}

class BudgetOnBook : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(BudgetOnBook, IsNeverExceededAndMostlyUsed) {
    TempDir dir;
    const std::uint64_t budget = GetParam();
    auto plain = bookRequest(dir.path() / "plain.gif");
    ASSERT_TRUE(render::videoToGif(plain).ok());
    const std::uint64_t unconstrained = fileSize(dir.path() / "plain.gif");

    auto request = bookRequest(dir.path() / "fitted.gif");
    request.output.maxBytes = budget;
    auto made = render::videoToGif(request);
    ASSERT_TRUE(made.ok()) << made.error().message;
    const std::uint64_t size = fileSize(*made);
    EXPECT_LE(size, budget);
    if (unconstrained > budget)
        EXPECT_GE(double(size), render::kBudgetFloor * double(budget));
    else
        EXPECT_EQ(size, unconstrained); // a GIF that fits is made as asked
    expectFramesAsAsked(*made, 15, 20);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

INSTANTIATE_TEST_SUITE_P(Budgets, BudgetOnBook, ::testing::Values(150'000u, 400'000u, 2'000'000u));

TEST(Budget, PhotographsStayUnderItWithTheirTimingAndBounce) {
    TempDir dir;
    for (std::uint64_t budget : {600'000u, 1'500'000u}) {
        auto request = photosRequest(kPhotos, dir.path() / ("fitted-" + std::to_string(budget)));
        request.loop = render::Loop::bounce;
        request.output.maxBytes = budget;
        ASSERT_TRUE(render::imagesToGif(request).ok());
        const std::uint64_t size = fileSize(request.destination);
        EXPECT_LE(size, budget);
        EXPECT_GE(double(size), render::kBudgetFloor * double(budget));
        expectFramesAsAsked(request.destination, 4, 100);
    }
}

// The budget named is one the GIF then fits in. The shared car clip needs
// its lowest quality there, where its frames cost far less than at the
// quality asked when sampled alone but not in the whole animation: it was
// once named 130 KB, and 300 KB did not fit.
TEST(Budget, TooSmallFailsBeforeRenderingAndNamesABudgetThatFits) {
    TempDir dir;
    auto car = bookRequest(dir.path() / "tiny-car.gif");
    car.source = testsupport::testdata() / "media" / "car-detection.mp4";
    car.frameCount = 150; // 30 s at 1x
    for (auto request : {bookRequest(dir.path() / "tiny.gif"), car}) {
        SCOPED_TRACE(request.source.filename().string());
        request.output.maxBytes = 10'000;
        auto made = render::videoToGif(request);
        ASSERT_FALSE(made.ok());
        EXPECT_EQ(made.error().code, "render.over_budget");
        EXPECT_TRUE(fs::is_empty(dir.path()));
        const std::string& message = made.error().message;
        const std::string lead = "the smallest budget it fits is ";
        const auto at = message.find(lead);
        ASSERT_NE(at, std::string::npos) << message;
        std::string named = message.substr(at + lead.size());
        named.pop_back(); // the full stop
        named.erase(std::remove(named.begin(), named.end(), ' '), named.end());
        auto fits = parseByteSize(named);
        ASSERT_TRUE(fits.ok()) << named;

        // The budget named does fit, at the lowest quality: the car's GIF is
        // the one made at its size and that quality without a budget (there,
        // the one its sample's pass made).
        request.output.maxBytes = *fits;
        std::vector<double> progress;
        request.progress = [&progress](double done) { progress.push_back(done); };
        made = render::videoToGif(request);
        ASSERT_TRUE(made.ok()) << made.error().message;
        EXPECT_LE(fileSize(*made), *fits);
        // Written as its sample made it (the book sampled whole, the car's
        // lowest-quality pass), not encoded: nothing told between the plan
        // and the end.
        EXPECT_TRUE(std::none_of(progress.begin(), progress.end(),
                                 [](double done) { return done > 0.05 && done < 1.0; }));
        request.progress = {};
        expectFramesAsAsked(*made, request.frameCount, 20);
        auto timing = gif::readTiming(*made);
        ASSERT_TRUE(timing.ok());
        auto plain = request;
        plain.output = {};
        plain.output.maxLongEdge = std::max(timing->screen.width, timing->screen.height);
        plain.settings.quality = render::kLowestQuality;
        plain.destination = dir.path() / "plain.gif";
        ASSERT_TRUE(render::videoToGif(plain).ok());
        EXPECT_EQ(testsupport::readBytes(*made), testsupport::readBytes(dir.path() / "plain.gif"));
        fs::remove(*made);
        fs::remove(dir.path() / "plain.gif");
    }
}

} // namespace
} // namespace flickbook
