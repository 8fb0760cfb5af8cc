// The guard that keeps an encode heading a little over its budget under it,
// driven as an encode drives it: before each frame, with the frames written
// so far (a couple behind those given) and the file's bytes.

#include "render/budget_guard.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

using flickbook::render::BudgetGuard;

namespace {

constexpr std::uint64_t kHeader = 800;
constexpr std::size_t kInFlight = 2;

// A pass's course from what each of its frames cost.
std::vector<std::uint64_t> courseOf(const std::vector<std::uint64_t>& frames) {
    std::vector<std::uint64_t> course;
    std::uint64_t total = kHeader;
    for (const std::uint64_t bytes : frames)
        course.push_back(total += bytes);
    return course;
}

struct Encoded {
    std::vector<int> qualities; // each frame's
    std::uint64_t bytes = 0;
};

// Frames costing `scale` times the pass's at the quality asked, and a
// fraction less for each quality step below it (`perStep`).
Encoded encode(BudgetGuard& guard, const std::vector<std::uint64_t>& passFrames, double scale,
               int quality, double perStep = 0.02) {
    Encoded out;
    std::vector<std::uint64_t> fileAfter; // the file's bytes once frame i is written
    std::uint64_t bytes = kHeader;
    for (std::size_t added = 0; added < passFrames.size(); ++added) {
        const std::size_t written = added > kInFlight ? added - kInFlight : 0;
        const int q = guard.next(added, written, written ? fileAfter[written - 1] : kHeader);
        out.qualities.push_back(q);
        const double cost = scale * double(passFrames[added]) * (1 - perStep * (quality - q));
        fileAfter.push_back(bytes += std::uint64_t(cost));
    }
    out.bytes = bytes + 1;
    return out;
}

// A clip quiet for most of its length, whose motion comes at the end: the
// bytes of its last fifth outweigh the rest.
std::vector<std::uint64_t> burstAtTheEnd() {
    std::vector<std::uint64_t> frames(75, 400);
    frames[0] = 9000;
    for (std::size_t i = 60; i < frames.size(); ++i)
        frames[i] = 4000;
    return frames;
}

} // namespace

TEST(BudgetGuard, LeavesAFileOnCourseWithinItsBudgetAsAsked) {
    const auto frames = burstAtTheEnd();
    const auto course = courseOf(frames);
    BudgetGuard guard(100'000, course, 40);
    // The file as the pass, 1.2 times larger: 93% of the budget.
    const double scale = 0.93 * 100'000 / double(course.back());
    const Encoded made = encode(guard, frames, scale, 40);
    EXPECT_TRUE(
        std::all_of(made.qualities.begin(), made.qualities.end(), [](int q) { return q == 40; }));
    EXPECT_LE(made.bytes, 100'000u);
}

// Heading a few per cent over, the file is told so by the pass's course at
// three quarters of its frames, while its latest frames are still quiet: the
// frames from there on are made at a lower quality, and it stays within the
// budget.
TEST(BudgetGuard, StepsDownLateWhenTheCourseHeadsOverTheBudget) {
    const auto frames = burstAtTheEnd();
    const auto course = courseOf(frames);
    BudgetGuard guard(100'000, course, 40);
    const double scale = 1.02 * 100'000 / double(course.back());
    const Encoded made = encode(guard, frames, scale, 40, 0.01);
    // The first frame given once three quarters of them are written.
    const std::size_t guarded = (3 * frames.size() + 3) / 4 + kInFlight;
    for (std::size_t i = 0; i < guarded; ++i)
        EXPECT_EQ(made.qualities[i], 40) << "frame " << i;
    EXPECT_LT(made.qualities[guarded], 40);
    EXPECT_LE(made.bytes, 100'000u);
    EXPECT_GE(double(made.bytes), 0.95 * 100'000);
    // A step at a time, never up, never more than allowed.
    for (std::size_t i = 1; i < made.qualities.size(); ++i) {
        EXPECT_LE(made.qualities[i], made.qualities[i - 1]);
        EXPECT_GE(made.qualities[i], made.qualities[i - 1] - BudgetGuard::kStep);
    }
    EXPECT_GE(made.qualities.back(), 40 - BudgetGuard::kMostBelow);
}

// Far over, the guard goes no lower than it may, and the file passes the
// budget as it would have: it is then made again at a smaller size.
TEST(BudgetGuard, GoesNoLowerThanItMayAndLeavesAFileFarOverToBeMadeAgain) {
    std::vector<std::uint64_t> frames(200, 400);
    const auto course = courseOf(frames);
    BudgetGuard guard(50'000, course, 80);
    const Encoded made = encode(guard, frames, 1.5 * 50'000 / double(course.back()), 80);
    EXPECT_EQ(made.qualities.back(), 80 - BudgetGuard::kMostBelow);
    EXPECT_GT(made.bytes, 50'000u);
    BudgetGuard low(50'000, course, 10);
    EXPECT_GE(encode(low, frames, 2.0, 10).qualities.back(), 1);
}

TEST(BudgetGuard, WithoutACourseChangesNothing) {
    BudgetGuard guard(1'000, {}, 60);
    for (std::size_t added = 0; added < 20; ++added)
        EXPECT_EQ(guard.next(added, added, 100'000 * added), 60);
}
