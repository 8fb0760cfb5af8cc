// The encoder, checked through the decoder and giflib: what goes in comes
// back with the right frames, timing and looping, close to the source, and
// what did not change in the source does not change on screen.

#include "gif/animation.h"
#include "gif/encoder.h"
#include "gif/lzw_decoder.h"
#include "gif/lzw_encoder.h"
#include "giflib_reference.h"
#include "media/frame_reader.h"
#include "memory_limit.h"
#include "test_paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>

namespace flickbook {
namespace {

using testsupport::testdata;

// A real photograph, shrunk so the tests stay quick.
image::RgbaImage photo(const std::string& name, std::uint32_t width = 240) {
    auto source = media::VideoSource::open(testdata() / "photos" / name);
    EXPECT_TRUE(source.ok());
    media::FrameReader reader(std::move(*source));
    EXPECT_TRUE(reader.next().ok());
    auto picture = reader.currentImage(int(width), int(width));
    EXPECT_TRUE(picture.ok());
    return *picture;
}

double meanAbsError(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (i % 4 != 3)
            sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size() / 4 * 3);
}

gif::Animation decode(const std::vector<std::uint8_t>& bytes) {
    auto animation = gif::decodeAnimation(std::span<const std::uint8_t>(bytes));
    EXPECT_TRUE(animation.ok()) << (animation.ok() ? "" : animation.error().message);
    EXPECT_FALSE(animation->damage.has_value());
    return *animation;
}

class LzwRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(LzwRoundTrip, DecodesToTheSameIndices) {
    const int codeSize = GetParam();
    std::mt19937 random{std::uint32_t(codeSize)};
    // Long enough to fill the table several times; runs and noise mixed so
    // that both long strings and fresh codes occur.
    std::vector<std::uint8_t> indices(70000);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = (i / 300) % 2 ? std::uint8_t(random() % (1u << codeSize))
                                   : std::uint8_t((i / 7) % (1u << codeSize));
    for (std::size_t length :
         {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(4097), indices.size()}) {
        std::vector<std::uint8_t> data;
        gif::LzwEncoder().encode(std::span(indices).first(length), codeSize, data);
        ASSERT_EQ(data[0], codeSize);
        std::vector<std::uint8_t> raw; // without the sub-block framing
        for (std::size_t at = 1; data[at] != 0; at += data[at] + 1u)
            raw.insert(raw.end(), data.begin() + std::ptrdiff_t(at + 1),
                       data.begin() + std::ptrdiff_t(at + 1 + data[at]));
        std::vector<std::uint8_t> out(length);
        gif::LzwDecoder decoder;
        auto outcome = decoder.decode(raw, codeSize, out);
        ASSERT_TRUE(outcome.ok()) << "length " << length;
        EXPECT_EQ(outcome->written, length);
        EXPECT_TRUE(outcome->sawEndCode) << "length " << length;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), indices.begin())) << "length " << length;
    }
}

INSTANTIATE_TEST_SUITE_P(CodeSizes, LzwRoundTrip, ::testing::Range(2, 9));

TEST(LzwEncoder, KeepingAFullTablePaysOnRepeatingContentAndDecodesEverywhere) {
    // A 128-pixel tile of 200 colours repeated over a large frame: once the
    // table has learnt the tile, keeping it codes the rest in long strings,
    // where clearing it would start from single pixels again.
    constexpr std::uint32_t side = 512;
    std::mt19937 random{7};
    std::vector<std::uint8_t> tile(128);
    for (auto& index : tile)
        index = std::uint8_t(random() % 200);
    image::RgbaImage picture{side, side, std::vector<std::uint8_t>(side * side * 4)};
    for (std::size_t i = 0; i < std::size_t(side) * side; ++i) {
        const std::uint8_t index = tile[i % tile.size()];
        picture.pixels[i * 4 + 0] = std::uint8_t(index);
        picture.pixels[i * 4 + 1] = std::uint8_t(255 - index);
        picture.pixels[i * 4 + 2] = std::uint8_t(index * 7);
        picture.pixels[i * 4 + 3] = 255;
    }
    auto bytes = gif::encodeAnimation({picture}, {0.1}, 0);
    ASSERT_TRUE(bytes.ok());
    // Clearing whenever the table fills takes about 24 KB here (measured);
    // keeping the table about 15 KB.
    EXPECT_LT(bytes->size(), std::size_t(side) * side / 16);
    EXPECT_EQ(decode(*bytes).frames[0].rgba, picture.pixels);
    std::string error;
    const auto reference = testsupport::giflibDecode(*bytes, &error);
    ASSERT_TRUE(reference) << error;
    EXPECT_EQ(reference->frames[0], picture.pixels);
}

TEST(GifEncoder, RoundTripKeepsFramesTimingLoopsAndPictures) {
    const std::vector<image::RgbaImage> frames{photo("Aqua.jpg"), photo("Garden.jpg"),
                                               photo("LadyBird.jpg")};
    ASSERT_EQ(frames[0].width, frames[1].width);
    auto bytes = gif::encodeAnimation(frames, {0.15, 0.2f, 1.75}, 0);
    ASSERT_TRUE(bytes.ok());
    const auto animation = decode(*bytes);
    EXPECT_EQ(animation.screen.width, frames[0].width);
    EXPECT_EQ(animation.screen.height, frames[0].height);
    ASSERT_TRUE(animation.loopCount.has_value());
    EXPECT_EQ(*animation.loopCount, 0);
    ASSERT_EQ(animation.frames.size(), 3u);
    const int expectedDelays[] = {15, 20, 175};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(animation.frames[i].info.control->delayCs, expectedDelays[i]);
        // A broken palette, mapping or dither puts whole regions far off.
        EXPECT_LT(meanAbsError(animation.frames[i].rgba, frames[i].pixels), 4.0) << "frame " << i;
    }

    // giflib sees the same pictures.
    auto reference = testsupport::giflibDecode(*bytes);
    ASSERT_TRUE(reference.has_value());
    ASSERT_EQ(reference->frames.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(reference->frames[i], animation.frames[i].rgba) << "frame " << i;
}

TEST(GifEncoder, FlushHandsOverEveryFrameAddedAndChangesNothingInTheFile) {
    const std::vector<image::RgbaImage> frames{photo("Aqua.jpg"), photo("Garden.jpg"),
                                               photo("LadyBird.jpg")};
    auto whole = gif::encodeAnimation(frames, {0.1, 0.1, 0.1}, 0, {.quality = 80, .threads = 2});
    ASSERT_TRUE(whole.ok());

    std::vector<std::uint8_t> out;
    gif::GifEncoder encoder(frames[0].width, frames[0].height, 0,
                            [&out](std::span<const std::uint8_t> bytes) -> Result<void> {
                                out.insert(out.end(), bytes.begin(), bytes.end());
                                return {};
                            },
                            {.quality = 80, .threads = 2});
    std::vector<std::size_t> seen;
    for (const auto& frame : frames) {
        ASSERT_TRUE(encoder.addFrame(frame, 0.1).ok());
        ASSERT_TRUE(encoder.flush().ok());
        seen.push_back(out.size());
    }
    ASSERT_TRUE(encoder.finish().ok());
    EXPECT_EQ(out, *whole);
    // After each flush the bytes so far decode to exactly the frames added.
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::vector<std::uint8_t> head(out.begin(), out.begin() + std::ptrdiff_t(seen[i]));
        head.push_back(0x3B); // the trailer
        EXPECT_EQ(decode(head).frames.size(), i + 1);
    }
}

// A frame shown but not written sets what the next frame is compared
// against, as writing it would have, and costs nothing in the file.
TEST(GifEncoder, AFrameShownUnwrittenIsWhatTheNextFrameIsComparedAgainst) {
    const image::RgbaImage first = photo("Aqua.jpg"), shown = photo("Garden.jpg");
    image::RgbaImage next = shown; // the same picture with a square moved into it
    for (std::uint32_t y = 40; y < 80; ++y)
        for (std::uint32_t x = 60; x < 100; ++x)
            std::memset(&next.pixels[(std::size_t(y) * next.width + x) * 4], 250, 3);

    // The bytes each frame adds, the middle one written or only shown.
    const auto costs = [&](bool writeMiddle) {
        std::vector<std::uint8_t> out;
        gif::GifEncoder encoder(first.width, first.height, 0,
                                [&out](std::span<const std::uint8_t> bytes) -> Result<void> {
                                    out.insert(out.end(), bytes.begin(), bytes.end());
                                    return {};
                                },
                                {.quality = 80, .threads = 2});
        std::vector<std::size_t> added;
        std::size_t before = 0;
        for (int i = 0; i < 3; ++i) {
            const image::RgbaImage& frame = i == 0 ? first : i == 1 ? shown : next;
            if (i == 1 && !writeMiddle)
                EXPECT_TRUE(encoder.showUnwritten(frame).ok());
            else
                EXPECT_TRUE(encoder.addFrame(frame, 0.1).ok());
            EXPECT_TRUE(encoder.flush().ok());
            added.push_back(out.size() - before);
            before = out.size();
        }
        EXPECT_TRUE(encoder.finish().ok());
        const auto animation = decode(out);
        EXPECT_EQ(animation.frames.size(), writeMiddle ? 3u : 2u);
        return added;
    };
    const auto written = costs(true), unwritten = costs(false);
    EXPECT_EQ(unwritten[1], 0u);
    EXPECT_EQ(unwritten[2], written[2]);
    // Only the square is stored after the picture it was compared against.
    EXPECT_LT(written[2], written[1] / 4);
}

TEST(GifEncoder, NothingIsShownUnwrittenBeforeTheFirstFrameOrAtAnotherSize) {
    const image::RgbaImage picture = photo("Aqua.jpg", 64);
    gif::GifEncoder encoder(picture.width, picture.height, 0,
                            [](std::span<const std::uint8_t>) -> Result<void> { return {}; });
    EXPECT_EQ(encoder.showUnwritten(picture).error().code, "gif.no_first_frame");
    ASSERT_TRUE(encoder.addFrame(picture, 0.1).ok());
    EXPECT_EQ(encoder.showUnwritten(photo("Aqua.jpg", 32)).error().code, "gif.frame_size");
    EXPECT_TRUE(encoder.showUnwritten(picture).ok());
    EXPECT_TRUE(encoder.finish().ok());
    EXPECT_EQ(encoder.framesAdded(), 1u);
}

TEST(GifEncoder, FewColoursAreStoredExactly) {
    image::RgbaImage a{64, 48, std::vector<std::uint8_t>(64 * 48 * 4)};
    for (std::size_t i = 0; i < 64 * 48; ++i) {
        const auto x = std::uint8_t(i % 64);
        a.pixels[i * 4 + 0] = std::uint8_t(x * 4);
        a.pixels[i * 4 + 1] = std::uint8_t(255 - x * 3);
        a.pixels[i * 4 + 2] = std::uint8_t((i / 64) % 3 * 100);
        a.pixels[i * 4 + 3] = 255;
    }
    // A new colour only in the second frame: clearly visible, then so faint
    // that only the highest quality stores it.
    for (const auto& [blue, quality] : {std::pair{60, 80}, std::pair{7, 100}}) {
        image::RgbaImage b = a;
        for (std::size_t i = 0; i < 200; ++i)
            b.pixels[i * 4 + 2] = std::uint8_t(blue);
        auto bytes = gif::encodeAnimation({a, b, a}, {0.1, 0.1, 0.1}, 3, {.quality = quality});
        ASSERT_TRUE(bytes.ok());
        const auto animation = decode(*bytes);
        EXPECT_EQ(*animation.loopCount, 3);
        ASSERT_EQ(animation.frames.size(), 3u);
        EXPECT_EQ(animation.frames[0].rgba, a.pixels);
        EXPECT_EQ(animation.frames[1].rgba, b.pixels) << "blue " << blue;
        EXPECT_EQ(animation.frames[2].rgba, a.pixels);
        // Only the changed rows are stored after the first frame.
        EXPECT_EQ(animation.frames[1].info.top, 0u);
        EXPECT_EQ(animation.frames[1].info.height, 4u);
    }
}

TEST(GifEncoder, WhatStaysInTheSourceStaysOnScreen) {
    // A photograph with a moving square over it, and faint noise in one
    // corner as a camera would add: the rest of the picture must not change
    // at all from frame to frame, and only the square's path is stored.
    const image::RgbaImage base = photo("Storm.jpg", 200);
    std::vector<image::RgbaImage> frames;
    std::mt19937 random(7);
    for (int f = 0; f < 4; ++f) {
        image::RgbaImage frame = base;
        for (std::uint32_t y = 40; y < 60; ++y)
            for (std::uint32_t x = 20 + 10u * std::uint32_t(f); x < 40 + 10u * std::uint32_t(f);
                 ++x)
                for (int k = 0; k < 3; ++k)
                    frame.pixels[(y * frame.width + x) * 4 + std::size_t(k)] = 250;
        for (std::uint32_t y = 0; y < 20; ++y)
            for (std::uint32_t x = 0; x < 20; ++x)
                frame.pixels[(y * frame.width + x) * 4] = std::uint8_t(std::clamp(
                    int(base.pixels[(y * frame.width + x) * 4]) + int(random() % 3) - 1, 0, 255));
        frames.push_back(std::move(frame));
    }
    auto bytes = gif::encodeAnimation(frames, {0.2, 0.2, 0.2, 0.2}, 0);
    ASSERT_TRUE(bytes.ok());
    const auto animation = decode(*bytes);
    ASSERT_EQ(animation.frames.size(), 4u);
    const auto w = animation.screen.width;
    for (std::size_t f = 1; f < 4; ++f) {
        const auto& info = animation.frames[f].info;
        EXPECT_GE(info.left, 20u) << "frame " << f;
        EXPECT_EQ(info.top, 40u) << "frame " << f;
        EXPECT_EQ(info.height, 20u) << "frame " << f;
        for (std::uint32_t y = 0; y < animation.screen.height; ++y)
            for (std::uint32_t x = 0; x < w; ++x) {
                const bool inPath = y >= 40 && y < 60 && x >= 20 && x < 70;
                if (inPath)
                    continue;
                const std::size_t at = (std::size_t(y) * w + x) * 4;
                ASSERT_EQ(
                    std::memcmp(&animation.frames[f].rgba[at], &animation.frames[0].rgba[at], 4), 0)
                    << "pixel " << x << "," << y << " changed in frame " << f;
            }
    }
}

TEST(GifEncoder, AnUnchangedFrameStillCarriesItsDelay) {
    const image::RgbaImage still = photo("Dune.jpg", 80);
    auto bytes = gif::encodeAnimation({still, still}, {0.5, 0.7}, 0);
    ASSERT_TRUE(bytes.ok());
    const auto animation = decode(*bytes);
    ASSERT_EQ(animation.frames.size(), 2u);
    EXPECT_EQ(animation.frames[1].info.control->delayCs, 70);
    EXPECT_EQ(animation.frames[1].rgba, animation.frames[0].rgba);
}

// A later frame stores the rectangle around every pixel that changed, to
// the pixel: two changes far apart on different rows, the upper one reaching
// further each way, and then one pixel in a corner.
TEST(GifEncoder, ALaterFrameStoresExactlyTheRectangleThatChanged) {
    const image::RgbaImage still = photo("Dune.jpg", 120);
    image::RgbaImage moved = still;
    const auto paint = [&](image::RgbaImage& frame, std::uint32_t x, std::uint32_t y) {
        std::uint8_t* p = &frame.pixels[(std::size_t(y) * frame.width + x) * 4];
        p[0] = 255; // magenta, far from every colour of the sand
        p[1] = 0;
        p[2] = 255;
    };
    for (std::uint32_t x = 17; x < 76; ++x)
        paint(moved, x, 9);
    for (std::uint32_t x = 40; x < 71; ++x)
        paint(moved, x, 33);
    image::RgbaImage corner = moved;
    paint(corner, still.width - 1, still.height - 1);
    auto bytes = gif::encodeAnimation({still, moved, corner}, {0.1, 0.1, 0.1}, 0);
    ASSERT_TRUE(bytes.ok());
    const auto animation = decode(*bytes);
    ASSERT_EQ(animation.frames.size(), 3u);
    const auto& changed = animation.frames[1].info;
    EXPECT_EQ(changed.left, 17u);
    EXPECT_EQ(changed.top, 9u);
    EXPECT_EQ(changed.width, 76u - 17u);
    EXPECT_EQ(changed.height, 33u - 9u + 1u);
    const auto& last = animation.frames[2].info;
    EXPECT_EQ(last.left, still.width - 1);
    EXPECT_EQ(last.top, still.height - 1);
    EXPECT_EQ(last.width, 1u);
    EXPECT_EQ(last.height, 1u);
    // What was not painted is shown as it was.
    const auto& shown = animation.frames[1].rgba;
    const auto& first = animation.frames[0].rgba;
    for (const std::uint32_t y : {10u, 20u, 32u}) {
        const std::size_t at = (std::size_t(y) * still.width + 50) * 4;
        EXPECT_TRUE(std::equal(&shown[at], &shown[at] + 4, &first[at])) << "row " << y;
    }
}

TEST(GifEncoder, RefusesWrongSizesAndEmptyAnimations) {
    std::vector<std::uint8_t> sink;
    gif::GifEncoder encoder(4, 4, 0, [&](std::span<const std::uint8_t> b) -> Result<void> {
        sink.insert(sink.end(), b.begin(), b.end());
        return {};
    });
    EXPECT_EQ(encoder.finish().error().code, "gif.no_frames");
    image::RgbaImage wrong{5, 4, std::vector<std::uint8_t>(5 * 4 * 4, 255)};
    EXPECT_EQ(encoder.addFrame(wrong, 0.1).error().code, "gif.frame_size");
    EXPECT_TRUE(sink.empty());
}

TEST(GifEncoder, AWriteFailureStopsTheEncoder) {
    int writes = 0;
    gif::GifEncoder encoder(32, 32, 0,
                            [&](std::span<const std::uint8_t>) -> Result<void> {
                                if (++writes > 1)
                                    return makeError("file.write", "No space left on device.");
                                return {};
                            },
                            {.quality = 80, .threads = 1});
    image::RgbaImage frame{32, 32, std::vector<std::uint8_t>(32 * 32 * 4, 200)};
    ASSERT_TRUE(encoder.addFrame(frame, 0.1).ok());
    frame.pixels[0] = 0;
    const auto added = encoder.addFrame(frame, 0.1); // may already write the first frame
    const auto finished = added.ok() ? encoder.finish() : Result<void>(added.error());
    ASSERT_FALSE(finished.ok());
    EXPECT_EQ(finished.error().code, "file.write");
    EXPECT_FALSE(encoder.finish().ok());
}

// Frames of noise, which no tolerance keeps and no palette holds exactly.
std::vector<image::RgbaImage> noise(int count, std::uint32_t width, std::uint32_t height) {
    std::mt19937 random{7};
    std::vector<image::RgbaImage> frames;
    frames.resize(std::size_t(count));
    for (auto& f : frames) {
        f.width = width;
        f.height = height;
        f.pixels.resize(std::size_t(width) * height * 4);
        for (auto& byte : f.pixels)
            byte = std::uint8_t(random());
    }
    return frames;
}

// With the address space capped a little above the frames, the encoder cannot
// get all the memory (or the threads) it needs. Whichever allocation fails
// first, on the caller's thread or a worker's, the encoder says so in an
// error result that every later call repeats; nothing is thrown. The
// outcomes: 0 encoded, 1 refused cleanly, anything else a fault.
int encodeCapped(unsigned threads, std::uint64_t headroom) {
    const auto frames = noise(4, 640, 480);
    std::vector<std::uint8_t> out;
    out.reserve(4u << 20);
    gif::GifEncoder encoder(640, 480, 0,
                            [&out](std::span<const std::uint8_t> bytes) -> Result<void> {
                                out.insert(out.end(), bytes.begin(), bytes.end());
                                return {};
                            },
                            {80, threads});
    if (!testsupport::capAddressSpace(headroom))
        return 10;
    std::optional<Error> failure;
    for (const auto& frame : frames) {
        if (auto added = encoder.addFrame(frame, 0.1); !added) {
            failure = added.error();
            break;
        }
    }
    if (!failure) {
        if (auto finished = encoder.finish(); !finished)
            failure = finished.error();
    }
    if (!failure)
        return 0;
    if (failure->code != "gif.out_of_memory" && failure->code != "gif.no_threads")
        return 2;
    if (failure->message.empty())
        return 3;
    auto again = encoder.finish();
    if (again || again.error().code != failure->code)
        return 4;
    return 1;
}

// Each run is a fresh process (a "threadsafe" death test starts the test
// binary anew), so no memory left free by earlier tests can soften the cap.
TEST(GifEncoder, RunningOutOfMemoryIsAnErrorResult) {
#ifdef __SANITIZE_ADDRESS__
    // Under an address-space cap the sanitizer's own allocator stalls
    // instead of failing; the plain build runs this.
    GTEST_SKIP() << "address-space caps do not apply under the sanitizers";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto encodedOrRefused = [](int status) {
        return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1);
    };
    for (unsigned threads : {1u, 0u}) {
        // Four frames of 640×480 cannot be encoded in 1 MiB.
        EXPECT_EXIT(std::_Exit(encodeCapped(threads, 1u << 20)), ::testing::ExitedWithCode(1), "")
            << "threads " << threads;
        for (std::uint64_t mib : {2, 4, 8, 16, 32, 64})
            EXPECT_EXIT(std::_Exit(encodeCapped(threads, mib << 20)), encodedOrRefused, "")
                << "threads " << threads << ", " << mib << " MiB";
    }
}

TEST(GifEncoder, DelaysRoundToTheNearestCentisecond) {
    EXPECT_EQ(gif::delayToCentiseconds(0.15), 15);
    EXPECT_EQ(gif::delayToCentiseconds(0.15f), 15);
    EXPECT_EQ(gif::delayToCentiseconds(0.3f), 30);
    EXPECT_EQ(gif::delayToCentiseconds(1.75), 175);
    EXPECT_EQ(gif::delayToCentiseconds(0.004), 0);
    EXPECT_EQ(gif::delayToCentiseconds(-1), 0);
    EXPECT_EQ(gif::delayToCentiseconds(std::nan("")), 0);
    EXPECT_EQ(gif::delayToCentiseconds(1e9), 65535);
}

} // namespace
} // namespace flickbook
