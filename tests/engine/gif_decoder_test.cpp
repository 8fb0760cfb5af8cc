// Damaged, hostile and unusual input: the decoder keeps what it completed,
// says clearly what went wrong, and never reads, allocates or loops unbounded.

#include "gif/animation.h"
#include "gif_builder.h"
#include "test_paths.h"

#include <gtest/gtest.h>

using namespace flickbook;
using testsupport::GifBuilder;
using testsupport::ImageSpec;
using testsupport::rampPalette;

namespace {

ImageSpec solid(int left, int top, int w, int h, std::uint8_t index) {
    ImageSpec spec;
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
