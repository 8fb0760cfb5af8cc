// The decoder against giflib on generated files covering the format's
// features: every composited frame must match bit for bit.

#include "gif/animation.h"
#include "gif_builder.h"
#include "giflib_reference.h"

#include <functional>
#include <gtest/gtest.h>

using namespace flickbook;
using testsupport::FrameDescription;
using testsupport::GifBuilder;
using testsupport::rampPalette;

namespace {

// Runs and noise, so the LZW table fills with strings of many lengths.
std::vector<std::uint8_t> pattern(int w, int h, int colours, std::uint32_t seed) {
    std::vector<std::uint8_t> px(std::size_t(w) * h);
    std::uint32_t s = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            const int noisy = (s >> 28) == 0 ? int(s >> 8) : (x / 3 + y / 2);
            px[std::size_t(y) * w + x] = std::uint8_t(noisy % colours);
        }
    return px;
}

FrameDescription frame(int left, int top, int w, int h, int colours, std::uint32_t seed) {
    FrameDescription spec;
    spec.left = std::uint16_t(left);
    spec.top = std::uint16_t(top);
    spec.width = std::uint16_t(w);
    spec.height = std::uint16_t(h);
    spec.indices = pattern(w, h, colours, seed);
    spec.delayCs = 10;
    return spec;
}

struct Case {
    std::string name;
    std::function<std::vector<std::uint8_t>()> make;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    for (int bits = 1; bits <= 8; ++bits) {
        all.push_back(
            {"CodeSize" + std::to_string(std::max(2, bits)) + "Palette" + std::to_string(1 << bits),
             [bits] {
                 GifBuilder b(61, 37, rampPalette(bits));
                 return b.image(frame(0, 0, 61, 37, 1 << bits, 7u + bits)).finish();
             }});
    }
    all.push_back({"CodeSizeLargerThanPalette", [] {
                       GifBuilder b(40, 30, rampPalette(1));
                       auto spec = frame(0, 0, 40, 30, 2, 3);
                       spec.minCodeSize = 8;
                       return b.image(spec).finish();
                   }});
    for (int h : {1, 2, 3, 4, 5, 8, 9, 17, 33}) {
        all.push_back({"InterlacedHeight" + std::to_string(h), [h] {
                           GifBuilder b(23, 40, rampPalette(4));
                           auto spec = frame(0, 3, 23, h, 16, std::uint32_t(h));
                           spec.interlaced = true;
                           return b.image(spec).finish();
                       }});
    }
    all.push_back({"LocalPalettes", [] {
                       GifBuilder b(50, 50, rampPalette(3, 1));
                       b.loop(0);
                       for (int i = 0; i < 4; ++i) {
                           auto spec =
                               frame(i * 5, i * 3, 30, 30, i % 2 == 0 ? 1 << (i + 2) : 8, 50u + i);
                           if (i % 2 == 0)
                               spec.localPalette = rampPalette(i + 2, 90u + i);
                           b.image(spec);
                       }
                       return b.finish();
                   }});
    all.push_back({"NoGlobalPalette", [] {
                       GifBuilder b(20, 20, {});
                       auto spec = frame(0, 0, 20, 20, 4, 1);
                       spec.localPalette = rampPalette(2, 5);
                       return b.image(spec).finish();
                   }});
    for (int disposal = 0; disposal <= 3; ++disposal) {
        all.push_back({"Disposal" + std::to_string(disposal), [disposal] {
                           GifBuilder b(64, 48, rampPalette(4));
                           auto base = frame(0, 0, 64, 48, 16, 11);
                           base.disposal = disposal;
                           b.image(base);
                           for (int i = 0; i < 4; ++i) {
                               auto spec = frame(8 + i * 9, 4 + i * 7, 20, 18, 16, 20u + i);
                               spec.disposal = (disposal + i) % 4;
                               spec.transparentIndex = std::uint8_t(i % 3);
                               b.image(spec);
                           }
                           return b.finish();
                       }});
    }
    all.push_back({"RestorePreviousFirstFrame", [] {
                       GifBuilder b(30, 30, rampPalette(2));
                       auto first = frame(5, 5, 10, 10, 4, 1);
                       first.disposal = 3;
                       auto second = frame(0, 0, 30, 12, 4, 2);
                       second.transparentIndex = 1;
                       return b.image(first).image(second).finish();
                   }});
    all.push_back({"FramesOutOfBounds", [] {
                       GifBuilder b(40, 40, rampPalette(3));
                       b.image(frame(30, 30, 25, 25, 8, 1));
                       b.image(frame(45, 10, 10, 10, 8, 2));
                       auto spec = frame(0, 35, 60, 20, 8, 3);
                       spec.disposal = 2;
                       b.image(spec);
                       return b.image(frame(10, 10, 5, 5, 8, 4)).finish();
                   }});
    all.push_back({"FullTableWithoutClear", [] {
                       GifBuilder b(200, 200, rampPalette(8));
                       auto spec = frame(0, 0, 200, 200, 256, 77);
                       spec.lzw.clearWhenFull = false;
                       return b.image(spec).finish();
                   }});
    all.push_back({"FullTableWithClear", [] {
                       GifBuilder b(200, 200, rampPalette(8));
                       return b.image(frame(0, 0, 200, 200, 256, 78)).finish();
                   }});
    all.push_back({"NoLeadingClearCode", [] {
                       GifBuilder b(32, 32, rampPalette(4));
                       auto spec = frame(0, 0, 32, 32, 16, 4);
                       spec.lzw.clearFirst = false;
                       return b.image(spec).finish();
                   }});
    all.push_back({"Gif87aWithoutExtensions", [] {
                       GifBuilder b(16, 9, rampPalette(2), false);
                       FrameDescription spec = frame(0, 0, 16, 9, 4, 9);
                       spec.delayCs.reset();
                       return b.image(spec).finish();
                   }});
    all.push_back({"CommentsAndUnknownExtensionsSkipped", [] {
                       GifBuilder b(16, 16, rampPalette(2));
                       b.comment("made by a test").unknownExtension().loop(3);
                       b.image(frame(0, 0, 16, 16, 4, 1)).comment("between");
                       return b.image(frame(4, 4, 8, 8, 4, 2)).finish();
                   }});
    return all;
}

class AgainstGiflib : public ::testing::TestWithParam<Case> {};

TEST_P(AgainstGiflib, FramesMatchBitForBit) {
    const auto bytes = GetParam().make();
    std::string why;
    auto reference = testsupport::giflibDecode(bytes, &why);
    ASSERT_TRUE(reference) << "giflib refused the file: " << why;
    auto ours = gif::decodeAnimation(std::span<const std::uint8_t>(bytes));
    ASSERT_TRUE(ours) << ours.error().message;
    EXPECT_FALSE(ours->damage) << ours->damage->message;
    ASSERT_EQ(ours->frames.size(), reference->frames.size());
    EXPECT_EQ(int(ours->screen.width), reference->width);
    EXPECT_EQ(int(ours->screen.height), reference->height);
    EXPECT_EQ(ours->loopCount ? std::optional<int>(*ours->loopCount) : std::nullopt,
              reference->loopCount);
    for (std::size_t i = 0; i < ours->frames.size(); ++i) {
        const auto& control = ours->frames[i].info.control;
        EXPECT_EQ(control ? int(control->delayCs) : -1, reference->delaysCs[i]) << "frame " << i;
        EXPECT_TRUE(ours->frames[i].rgba == reference->frames[i]) << "frame " << i << " differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, AgainstGiflib, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

} // namespace
