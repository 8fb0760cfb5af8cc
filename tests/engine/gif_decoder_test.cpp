// Damaged, hostile and unusual input: the decoder keeps what it completed,
// says clearly what went wrong, and never reads, allocates or loops unbounded.

#include "gif/animation.h"
#include "gif_builder.h"
#include "memory_limit.h"
#include "test_paths.h"

#include <array>
#include <gtest/gtest.h>
#include <malloc.h>

using namespace flickbook;
using testsupport::FrameDescription;
using testsupport::GifBuilder;
using testsupport::rampPalette;

namespace {

FrameDescription solid(int left, int top, int w, int h, std::uint8_t index) {
    FrameDescription spec;
    spec.left = std::uint16_t(left);
    spec.top = std::uint16_t(top);
    spec.width = std::uint16_t(w);
    spec.height = std::uint16_t(h);
    spec.indices.assign(std::size_t(w) * h, index);
    for (std::size_t i = 0; i < spec.indices.size(); i += 7)
        spec.indices[i] = std::uint8_t((index + 1) % 4);
    spec.delayCs = 10;
    return spec;
}

std::vector<std::uint8_t> threeFrames() {
    GifBuilder b(40, 30, rampPalette(2));
    b.loop(0);
    b.image(solid(0, 0, 40, 30, 0));
    b.image(solid(5, 5, 20, 10, 1));
    return b.image(solid(10, 10, 20, 15, 2)).finish();
}

Result<gif::Animation> decode(const std::vector<std::uint8_t>& bytes, gif::DecodeOptions o = {}) {
    return gif::decodeAnimation(std::span<const std::uint8_t>(bytes), o);
}

TEST(DecoderDamage, EveryTruncationKeepsTheCompletedFrames) {
    const auto full = threeFrames();
    auto whole = decode(full);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->frames.size(), 3u);
    std::size_t lastCount = 0;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const std::vector<std::uint8_t> prefix(full.begin(), full.begin() + long(n));
        auto partial = decode(prefix);
        if (!partial) {
            EXPECT_EQ(lastCount, 0u) << "an error after frames were already complete, at " << n;
            EXPECT_TRUE(partial.error().code == "gif.truncated" ||
                        partial.error().code == "gif.not_gif")
                << partial.error().code << " at " << n;
            continue;
        }
        ASSERT_GE(partial->frames.size(), lastCount) << "frames lost as the file grew, at " << n;
        lastCount = partial->frames.size();
        for (std::size_t i = 0; i < partial->frames.size(); ++i)
            EXPECT_EQ(partial->frames[i].rgba, whole->frames[i].rgba);
        // A file that stops where a new block would start is taken as one
        // whose trailer is missing; anything else is damage.
        const bool atBlockStart = full[n] == 0x21 || full[n] == 0x2C || full[n] == 0x3B;
        EXPECT_EQ(bool(partial->damage), !atBlockStart) << "at " << n;
    }
    EXPECT_EQ(lastCount, 3u);
}

TEST(DecoderDamage, DamagedFramesAndTheirDelaysAreLeftOut) {
    auto bytes = threeFrames();
    bytes.resize(bytes.size() - 8); // into the last frame's data
    auto animation = decode(bytes);
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->frames.size(), 2u);
    ASSERT_TRUE(animation->damage);
    EXPECT_EQ(animation->damage->code, "gif.truncated");
    EXPECT_EQ(animation->frameList.totalCs, 20);
}

TEST(DecoderDamage, ClearErrorsForFilesThatAreNotUsable) {
    struct Bad {
        std::vector<std::uint8_t> bytes;
        const char* code;
    };
    auto badCode = [] {
        GifBuilder b(8, 8, rampPalette(2));
        auto spec = solid(0, 0, 8, 8, 1);
        spec.minCodeSize = 9;
        return b.image(spec).finish();
    }();
    auto badBlock = [] {
        GifBuilder b(8, 8, rampPalette(2));
        auto bytes = b.finish(false);
        bytes.push_back(0x99);
        return bytes;
    }();
    const std::vector<Bad> cases = {
        {{}, "gif.not_gif"},
        {{'G', 'I'}, "gif.not_gif"},
        {{'P', 'N', 'G', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, "gif.not_gif"},
        {{'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0}, "gif.bad_version"},
        {{'G', 'I', 'F', '8', '9', 'a', 0, 0, 1, 0, 0, 0, 0}, "gif.bad_screen"},
        {{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 1, 2}, "gif.truncated"},
        {badCode, "gif.bad_code_size"},
        {badBlock, "gif.bad_block"},
    };
    for (const auto& c : cases) {
        auto result = decode(c.bytes);
        ASSERT_FALSE(result) << c.code;
        EXPECT_EQ(result.error().code, c.code);
        EXPECT_FALSE(result.error().message.empty());
    }
}

TEST(DecoderDamage, InvalidLzwCodeEndsTheFile) {
    GifBuilder b(4, 1, rampPalette(2));
    b.image(solid(0, 0, 4, 1, 0));
    auto bytes = b.finish(false);
    // A second image whose data is the clear code (4) then code 7, which is
    // not yet defined: 3-bit codes packed LSB first give 0b111'100 = 0x3C.
    const std::uint8_t image[] = {0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0, 2, 1, 0x3C, 0, 0x3B};
    bytes.insert(bytes.end(), std::begin(image), std::end(image));
    auto animation = decode(bytes);
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->frames.size(), 1u);
    ASSERT_TRUE(animation->damage);
    EXPECT_EQ(animation->damage->code, "gif.bad_lzw_code");

    auto decoder = gif::Decoder::openMemory(bytes);
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(decoder->next());
    auto failed = decoder->next();
    ASSERT_FALSE(failed);
    // Once failed, the decoder keeps refusing with the same error.
    auto again = decoder->next();
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, "gif.bad_lzw_code");
}

TEST(DecoderLimits, CanvasSideAndDecodedBytesAreBounded) {
    const std::vector<std::uint8_t> huge = {'G',  'I', 'F', '8', '9', 'a', 0x01,
                                            0x40, 1,   0,   0,   0,   0};
    auto refused = decode(huge); // 16385 wide
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, "gif.too_large");

    gif::DecodeOptions tight;
    tight.limits.maxCanvasSide = 39;
    auto narrow = decode(threeFrames(), tight);
    ASSERT_FALSE(narrow);
    EXPECT_EQ(narrow.error().code, "gif.too_large");

    gif::DecodeOptions budget;
    budget.limits.maxDecodedBytes = 40 * 30 * 4 * 2; // two frames' worth
    auto over = decode(threeFrames(), budget);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().code, "gif.too_large");
    EXPECT_NE(over.error().message.find("MiB"), std::string::npos);

    // An image descriptor claiming a huge image is refused before allocating.
    GifBuilder b(10, 10, rampPalette(1));
    auto bytes = b.finish(false);
    const std::uint8_t image[] = {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x3B};
    bytes.insert(bytes.end(), std::begin(image), std::end(image));
    auto giant = decode(bytes);
    ASSERT_FALSE(giant);
    EXPECT_EQ(giant.error().code, "gif.too_large");
}

// A canvas of 16384×16384 with one pixel drawn: the canvas alone is 1 GiB, and
// keeping the frame another. Refused before anything that size is allocated.
TEST(DecoderBudget, AHugeCanvasInATinyFileIsRefused) {
    GifBuilder b(16384, 16384, rampPalette(1));
    auto bytes = b.image(solid(0, 0, 1, 1, 1)).finish();
    ASSERT_LT(bytes.size(), 100u);
    const auto outcome = flickbook::testsupport::runWithAddressSpaceLimit(256u << 20, [&] {
        auto refused = decode(bytes);
        if (refused || refused.error().code != "gif.too_large" ||
            refused.error().message.find("memory limit of 1024 MiB") == std::string::npos)
            return 1;
        return 0;
    });
    EXPECT_TRUE(outcome.exited && outcome.status == 0) << outcome.describe();
}

// An image of 16384×16384 on a small canvas, with one pixel of data: its
// index buffer (256 MiB) counts against the budget like any other buffer.
TEST(DecoderBudget, TheIndexBufferOfAnImageCounts) {
    GifBuilder b(64, 64, rampPalette(1));
    auto bytes = b.finish(false);
    const std::uint8_t image[] = {0x2C, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
    bytes.insert(bytes.end(), std::begin(image), std::end(image));

    gif::DecodeOptions desktop;
    desktop.limits.maxDecodedBytes = 64u << 20;
    auto refused = decode(bytes, desktop);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, "gif.too_large");
    EXPECT_NE(refused.error().message.find("memory limit of 64 MiB"), std::string::npos)
        << refused.error().message;

    // With room for it, the short image is drawn as far as it goes.
    auto drawn = decode(bytes);
    ASSERT_TRUE(drawn) << drawn.error().message;
    EXPECT_EQ(drawn->frames.size(), 1u);
}

// One "restore previous" frame makes the decoder keep a second canvas.
TEST(DecoderBudget, TheSavedCanvasOfRestorePreviousCounts) {
    auto file = [](int disposal) {
        GifBuilder b(1000, 500, rampPalette(2)); // 2 MB a canvas
        auto frame = solid(0, 0, 10, 10, 1);
        frame.disposal = disposal;
        return b.image(frame).finish();
    };
    gif::DecodeOptions options;
    options.limits.maxDecodedBytes = 3u << 20; // one canvas, not two
    for (int disposal : {1, 3}) {
        const auto bytes = file(disposal);
        auto decoder = gif::Decoder::openMemory(std::span<const std::uint8_t>(bytes), options);
        ASSERT_TRUE(decoder);
        auto first = decoder->next();
        if (disposal == 1) {
            EXPECT_TRUE(first && *first) << first.error().message;
        } else {
            ASSERT_FALSE(first);
            EXPECT_EQ(first.error().code, "gif.too_large");
        }
    }
}

// What the budget says is held is what the heap holds for the file.
TEST(DecoderBudget, MatchesWhatTheHeapHolds) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's allocator pads every block and keeps its own books";
#endif
    GifBuilder b(600, 400, rampPalette(2));
    b.image(solid(0, 0, 600, 400, 0));
    auto restoring = solid(100, 100, 300, 200, 1);
    restoring.disposal = 3;
    b.image(restoring);
    const auto bytes = b.image(solid(50, 50, 500, 300, 2)).finish();

    const auto heap = [] {
        const struct mallinfo2 info = mallinfo2();
        return std::int64_t(info.uordblks + info.hblkhd);
    };
    const std::int64_t before = heap();
    {
        auto decoder = gif::Decoder::openMemory(std::span<const std::uint8_t>(bytes));
        ASSERT_TRUE(decoder);
        while (true) {
            auto more = decoder->next();
            ASSERT_TRUE(more) << more.error().message;
            if (!*more)
                break;
        }
        const double held = double(heap() - before);
        const double counted = double(decoder->memory().used());
        // Canvas, saved canvas and the largest index buffer.
        EXPECT_EQ(decoder->memory().used(), decoder->memory().peak());
        EXPECT_GE(counted, 600 * 400 * 4 * 2 + 500 * 300);
        EXPECT_NEAR(held, counted, 0.1 * counted);
    }
}

// Values 4 to 7 are not in the format's table; browsers restore the previous
// canvas for 4 and keep the frame for 5 to 7.
TEST(DecoderCompositing, DisposalFourRestoresPreviousFiveToSevenKeep) {
    const auto palette = rampPalette(2);
    auto colour = [&](int index) {
        return std::array<std::uint8_t, 4>{palette[3 * index], palette[3 * index + 1],
                                           palette[3 * index + 2], 255};
    };
    for (int disposal = 4; disposal <= 7; ++disposal) {
        GifBuilder b(8, 8, palette);
        FrameDescription background;
        background.width = background.height = 8;
        background.indices.assign(64, 0);
        b.image(background);
        FrameDescription square;
        square.left = square.top = 2;
        square.width = square.height = 4;
        square.indices.assign(16, 1);
        square.disposal = disposal;
        b.image(square);
        FrameDescription dot;
        dot.width = dot.height = 1;
        dot.indices = {2};
        auto animation = decode(b.image(dot).finish());
        ASSERT_TRUE(animation) << animation.error().message;
        ASSERT_EQ(animation->frames.size(), 3u);

        std::vector<std::uint8_t> expected;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const bool inSquare = x >= 2 && x < 6 && y >= 2 && y < 6;
                const int index = x == 0 && y == 0 ? 2 : inSquare && disposal > 4 ? 1 : 0;
                const auto c = colour(index);
                expected.insert(expected.end(), c.begin(), c.end());
            }
        }
        EXPECT_EQ(animation->frames[2].rgba, expected) << "disposal " << disposal;
    }
}

// Reading the timing alone must say what a full decode says: the same
// frames, delays, frame list, damage and refusals, for every file and for
// every way of cutting one short.
void expectSameTiming(std::span<const std::uint8_t> bytes, const std::string& what) {
    auto full = gif::decodeAnimation(bytes);
    auto timing = gif::readTiming(bytes);
    ASSERT_EQ(full.ok(), timing.ok()) << what;
    if (!full) {
        EXPECT_EQ(full.error().code, timing.error().code) << what;
        return;
    }
    std::vector<std::int32_t> delays;
    for (const auto& frame : full->frames)
        delays.push_back(frame.delayCs);
    EXPECT_EQ(timing->delaysCs, delays) << what;
    EXPECT_EQ(timing->loopCount, full->loopCount) << what;
    EXPECT_EQ(timing->screen.width, full->screen.width) << what;
    EXPECT_EQ(timing->frameList.stepCs, full->frameList.stepCs) << what;
    EXPECT_EQ(timing->frameList.length(), full->frameList.length()) << what;
    EXPECT_EQ(timing->frameList.totalCs, full->frameList.totalCs) << what;
    ASSERT_EQ(timing->damage.has_value(), full->damage.has_value()) << what;
    if (full->damage) {
        EXPECT_EQ(timing->damage->code, full->damage->code) << what;
    }
}

TEST(DecoderTiming, SaysWhatAFullDecodeSays) {
    for (const auto& entry : std::filesystem::directory_iterator(
             flickbook::testsupport::testdata() / "gif-suite" / "gifs")) {
        if (entry.path().extension() != ".gif")
            continue;
        const auto bytes = flickbook::testsupport::readBytes(entry.path());
        expectSameTiming(bytes, entry.path().filename().string());
    }
    const auto bytes = threeFrames();
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut)
        expectSameTiming(std::span(bytes).first(cut), "cut at " + std::to_string(cut));
    // Every byte past the screen descriptor flipped in turn: bad codes, short and
    // long images, odd blocks. (A canvas too large to draw is refused only by
    // a decode that draws, so the header is left alone.)
    for (std::size_t at = 40; at < bytes.size(); ++at) {
        auto flipped = bytes;
        flipped[at] ^= 0x5A;
        expectSameTiming(flipped, "flipped at " + std::to_string(at));
    }
}

TEST(DecoderFirstFrame, DoesNotReadPastTheFirstFrame) {
    GifBuilder b(16, 16, rampPalette(2));
    auto bytes = b.image(solid(0, 0, 16, 16, 3)).finish(false);
    bytes.insert(bytes.end(), 200000, 0xEE); // garbage where more frames would be

    flickbook::testsupport::TempDir dir;
    const auto file = dir.path() / "first.gif";
    flickbook::testsupport::writeBytes(file, bytes);
    auto first = gif::decodeFirstFrame(file);
    ASSERT_TRUE(first) << first.error().message;
    EXPECT_EQ(first->rgba.size(), 16u * 16 * 4);

    auto all = gif::decodeAnimation(file);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->frames.size(), 1u);
    EXPECT_TRUE(all->damage);
}

TEST(DecoderCompositing, ZeroSizedImageIsAFrameThatDrawsNothing) {
    GifBuilder b(10, 10, rampPalette(2));
    b.image(solid(0, 0, 10, 10, 1));
    auto animation = decode(b.image(solid(3, 3, 0, 0, 2)).finish());
    ASSERT_TRUE(animation);
    ASSERT_EQ(animation->frames.size(), 2u);
    EXPECT_EQ(animation->frames[1].rgba, animation->frames[0].rgba);
    EXPECT_EQ(animation->frameList.totalCs, 20);
}

TEST(DecoderFiles, MissingFileIsAClearError) {
    auto missing = gif::decodeAnimation(std::filesystem::path("/nonexistent/flickbook.gif"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, "io.not_found");
    EXPECT_NE(missing.error().message.find("/nonexistent/flickbook.gif"), std::string::npos);
}

TEST(DecoderCompositing, ShortImageDataLeavesTheRestOfTheCanvas) {
    GifBuilder b(8, 4, rampPalette(2));
    auto spec = solid(0, 0, 8, 4, 1);
    spec.indices.resize(8 * 2); // data for two of the four rows
    auto bytes = b.image(spec).finish();
    auto animation = decode(bytes);
    ASSERT_TRUE(animation);
    const auto& rgba = animation->frames[0].rgba;
    EXPECT_EQ(rgba[(1 * 8 + 7) * 4 + 3], 255); // second row drawn
    EXPECT_EQ(rgba[(2 * 8) * 4 + 3], 0);       // third row never given

    gif::DecodeOptions strict;
    strict.tolerances.acceptShortImageData = false;
    auto refused = decode(bytes, strict);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, "gif.short_image");
}

TEST(DecoderCompositing, PixelIndicesPastThePaletteAreOpaqueBlack) {
    GifBuilder b(4, 1, rampPalette(1)); // two colours
    auto spec = solid(0, 0, 4, 1, 0);
    spec.indices = {0, 1, 2, 3};
    auto animation = decode(b.image(spec).finish());
    ASSERT_TRUE(animation);
    const auto& px = animation->frames[0].rgba;
    EXPECT_EQ(std::vector<std::uint8_t>(px.begin() + 8, px.end()),
              (std::vector<std::uint8_t>{0, 0, 0, 255, 0, 0, 0, 255}));
}

} // namespace
