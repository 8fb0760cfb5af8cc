// Playback timing: per-frame delays as an image source reports them, and the
// frame list that repeats frames by the common step of their delays.

#include "gif/animation.h"
#include "gif/timing.h"
#include "gif_builder.h"
#include "memory_limit.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace flickbook::gif;
using flickbook::testsupport::runWithAddressSpaceLimit;

namespace {

// The list written out entry by entry, as a player stepping through it sees it.
std::vector<std::uint32_t> entries(const FrameList& l) {
    std::vector<std::uint32_t> out;
    for (std::uint64_t i = 0; i < l.length(); ++i)
        out.push_back(l.frameAt(i));
    return out;
}

std::vector<std::uint32_t> list(std::vector<std::int32_t> delays) {
    return entries(frameListForDelays(delays));
}

TEST(FrameList, RepeatsFramesByTheCommonStep) {
    auto l = frameListForDelays(std::vector<std::int32_t>{10, 20, 10});
    EXPECT_EQ(l.stepCs, 10);
    EXPECT_EQ(entries(l), (std::vector<std::uint32_t>{0, 1, 1, 2}));
    EXPECT_DOUBLE_EQ(l.durationSeconds(), 0.4);

    auto coprime = frameListForDelays(std::vector<std::int32_t>{7, 100});
    EXPECT_EQ(coprime.stepCs, 1);
    const auto coprimeEntries = entries(coprime);
    ASSERT_EQ(coprimeEntries.size(), 107u);
    EXPECT_EQ(std::count(coprimeEntries.begin(), coprimeEntries.end(), 0u), 7);
    EXPECT_EQ(coprimeEntries.back(), 1u);
    EXPECT_DOUBLE_EQ(coprime.durationSeconds(), 1.07);

    auto single = frameListForDelays(std::vector<std::int32_t>{5});
    EXPECT_EQ(entries(single), (std::vector<std::uint32_t>{0}));
    EXPECT_DOUBLE_EQ(single.durationSeconds(), 0.05);
}

TEST(FrameList, ZeroDelaysTakeNoPlace) {
    auto l = frameListForDelays(std::vector<std::int32_t>{10, 0, 10});
    EXPECT_EQ(l.stepCs, 10);
    EXPECT_EQ(entries(l), (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(l.totalCs, 20);

    // gcd(0, x) = x whichever side the zero is on.
    EXPECT_EQ(list({0, 6, 4}), (std::vector<std::uint32_t>{1, 1, 1, 2, 2}));

    auto none = frameListForDelays(std::vector<std::int32_t>{0, 0});
    EXPECT_EQ(none.stepCs, 0);
    EXPECT_TRUE(entries(none).empty());
    EXPECT_EQ(none.durationSeconds(), 0.0);

    EXPECT_TRUE(entries(frameListForDelays({})).empty());
}

// 30,000 frames of the longest delay and one of 1 cs: a step of 1 cs and a
// list of almost two billion entries, which written out would take 8 GB.
constexpr std::uint64_t kBombFrames = 30000;
constexpr std::uint64_t kBombLength = kBombFrames * 65535 + 1;

// Far less than a written-out list needs, far more than the runs need.
constexpr std::uint64_t kBombHeadroom = std::uint64_t(64) << 20;

TEST(FrameList, LongListsAreRunsNotEntries) {
    const auto outcome = runWithAddressSpaceLimit(kBombHeadroom, [] {
        std::vector<std::int32_t> delays(kBombFrames, 65535);
        delays.push_back(1);
        const FrameList l = frameListForDelays(delays);
        if (l.stepCs != 1 || l.length() != kBombLength || l.totalCs != std::int64_t(kBombLength) ||
            l.runs.size() != kBombFrames + 1)
            return 1;
        // Each frame holds its 65535 entries, the last frame the final one.
        if (l.frameAt(0) != 0 || l.frameAt(65534) != 0 || l.frameAt(65535) != 1 ||
            l.frameAt(kBombLength - 2) != kBombFrames - 1 ||
            l.frameAt(kBombLength - 1) != kBombFrames)
            return 2;
        // Time runs past the 32-bit range and loops.
        if (l.frameAtTime(std::int64_t(kBombLength) - 1) != kBombFrames ||
            l.frameAtTime(std::int64_t(kBombLength)) != 0 ||
            l.frameAtTime(std::int64_t(kBombLength) + 65535) != 1)
            return 3;
        return 0;
    });
    EXPECT_TRUE(outcome.exited && outcome.status == 0) << outcome.describe();
}

TEST(FrameList, TimeLoopsOverTheList) {
    const FrameList l = frameListForDelays(std::vector<std::int32_t>{10, 20, 10});
    const std::vector<std::uint32_t> expected{0, 1, 1, 2};
    for (std::int64_t t = 0; t < 200; ++t)
        ASSERT_EQ(l.frameAtTime(t), expected[std::size_t((t / 10) % 4)]) << t;
    EXPECT_EQ(l.frameAtTime(-5), 0u);
}

// The file itself: one-pixel frames, about 0.7 MB.
std::vector<std::uint8_t> timingBombFile() {
    using namespace flickbook::testsupport;
    GifBuilder b(1, 1, rampPalette(1));
    b.loop(0);
    FrameDescription pixel;
    pixel.width = pixel.height = 1;
    pixel.indices = {0};
    pixel.delayCs = 65535;
    for (std::uint64_t i = 0; i < kBombFrames; ++i)
        b.image(pixel);
    pixel.delayCs = 1;
    return b.image(pixel).finish();
}

TEST(FrameList, ATimingBombDecodesInLittleMemory) {
    const auto bytes = timingBombFile();
    ASSERT_LT(bytes.size(), std::size_t(1) << 20);
    const auto outcome = runWithAddressSpaceLimit(kBombHeadroom, [&] {
        auto animation = decodeAnimation(std::span<const std::uint8_t>(bytes));
        if (!animation)
            return 1;
        if (animation->frames.size() != kBombFrames + 1 || animation->damage ||
            animation->frameList.length() != kBombLength ||
            animation->frameList.durationSeconds() != 19660500.01)
            return 2;
        auto timing = readTiming(std::span<const std::uint8_t>(bytes));
        if (!timing || timing->delaysCs.size() != kBombFrames + 1 ||
            timing->frameList.length() != kBombLength || timing->frameList.stepCs != 1)
            return 3;
        return 0;
    });
    EXPECT_TRUE(outcome.exited && outcome.status == 0) << outcome.describe();
}

TEST(FrameDelay, ChoosesUnclampedThenClampedThenOne) {
    EXPECT_EQ(frameDelayCs({0.0, 0.1}), 10);                  // unclamped zero
    EXPECT_EQ(frameDelayCs({std::nullopt, std::nullopt}), 1); // neither present
    EXPECT_EQ(frameDelayCs({std::nullopt, 0.2}), 20);         // only clamped
    EXPECT_EQ(frameDelayCs({0.07, 0.07}), 7);
    EXPECT_EQ(frameDelayCs({0.004, 0.1}), 0);        // positive but rounds to 0
    EXPECT_EQ(frameDelayCs({-0.5, 0.1}), 1);         // negative is not replaced
    EXPECT_EQ(frameDelayCs({std::nan(""), 0.1}), 1); // nor is not-a-number
    EXPECT_EQ(frameDelayCs({0.0, std::nullopt}), 1);
}

TEST(FrameDelay, RoundsHalfToEven) {
    EXPECT_EQ(frameDelayCs({0.125, std::nullopt}), 12); // 12.5 → 12
    EXPECT_EQ(frameDelayCs({0.375, std::nullopt}), 38); // 37.5 → 38
    EXPECT_EQ(frameDelayCs({0.005, std::nullopt}), 0);  // 0.5 → 0
    EXPECT_EQ(frameDelayCs({0.015, std::nullopt}), 2);  // 1.5 → 2
}

TEST(ReportedDelays, FollowTheFileAndTheBrowserClamp) {
    GraphicControl control;
    auto delaysFor = [&](int cs) {
        control.delayCs = std::uint16_t(cs);
        return reportedDelays(control);
    };
    EXPECT_EQ(*delaysFor(0).unclampedSeconds, 0.0);
    EXPECT_EQ(*delaysFor(0).clampedSeconds, 0.1);
    EXPECT_EQ(*delaysFor(1).clampedSeconds, 0.1);
    EXPECT_EQ(*delaysFor(2).clampedSeconds, 0.02);
    EXPECT_FALSE(reportedDelays(std::nullopt).unclampedSeconds);
    EXPECT_FALSE(reportedDelays(std::nullopt).clampedSeconds);

    // Through the whole chain: a file's 0 or 1 plays at 10, 1 stays 1 when unclamped.
    EXPECT_EQ(frameDelayCs(delaysFor(0)), 10);
    EXPECT_EQ(frameDelayCs(delaysFor(1)), 1);
    EXPECT_EQ(frameDelayCs(delaysFor(7)), 7);
    EXPECT_EQ(frameDelayCs(delaysFor(65535)), 65535);
    EXPECT_EQ(frameDelayCs(reportedDelays(std::nullopt)), 1);
}

} // namespace
