// Every GIF of the public conformance suite decodes to exactly its expected frames.

#include "gif/animation.h"
#include "image/png_io.h"
#include "test_paths.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace flickbook;

namespace {

fs::path suite() {
    return testsupport::testdata() / "gif-suite" / "gifs";
}

std::vector<std::string> suiteNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(suite(), ec))
        if (e.path().extension() == ".gif")
            names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Expected frames are NAME-0.png, NAME-1.png … or NAME.png for a still image.
std::vector<fs::path> expectedFrames(const std::string& name) {
    std::vector<fs::path> frames;
    for (int i = 0;; ++i) {
        fs::path p = suite() / "frames" / (name + "-" + std::to_string(i) + ".png");
        if (!fs::exists(p))
            break;
        frames.push_back(p);
    }
    if (frames.empty())
        frames.push_back(suite() / "frames" / (name + ".png"));
    return frames;
}

// Fully transparent pixels match whatever colour they carry.
int countMismatches(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
    int bad = 0;
    for (std::size_t i = 0; i + 3 < want.size(); i += 4) {
        if (got[i + 3] == 0 && want[i + 3] == 0)
            continue;
        if (!std::equal(got.begin() + long(i), got.begin() + long(i + 4), want.begin() + long(i)))
            ++bad;
    }
    return bad;
}

class ConformanceSuite : public ::testing::TestWithParam<std::string> {};

TEST_P(ConformanceSuite, DecodesToTheExpectedFrames) {
    const std::string name = GetParam();
    auto animation = gif::decodeAnimation(suite() / (name + ".gif"));
    ASSERT_TRUE(animation) << animation.error().message;
    EXPECT_FALSE(animation->damage);
    const auto expected = expectedFrames(name);
    ASSERT_EQ(animation->frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        auto png = image::readPng(expected[i]);
        ASSERT_TRUE(png) << png.error().message;
        ASSERT_EQ(png->width, animation->screen.width);
        ASSERT_EQ(png->height, animation->screen.height);
        EXPECT_EQ(countMismatches(animation->frames[i].rgba, png->pixels), 0)
            << name << " frame " << i;
    }
}

TEST_P(ConformanceSuite, FirstFrameAloneMatchesTheFullDecode) {
    const std::string name = GetParam();
    auto first = gif::decodeFirstFrame(suite() / (name + ".gif"));
    auto all = gif::decodeAnimation(suite() / (name + ".gif"));
    ASSERT_TRUE(first && all);
    EXPECT_EQ(first->rgba, all->frames[0].rgba);
}

INSTANTIATE_TEST_SUITE_P(Gifs, ConformanceSuite, ::testing::ValuesIn(suiteNames()),
                         [](const auto& info) { return info.param; });

TEST(ConformanceSuiteData, IsPresent) {
    EXPECT_GE(suiteNames().size(), 13u);
}

TEST(ConformanceSuiteTiming, LoopingAndDelaysAreRead) {
    auto looping = gif::decodeAnimation(suite() / "animated_loop_variable_delay.gif");
    ASSERT_TRUE(looping);
    EXPECT_EQ(looping->loopCount, std::optional<std::uint16_t>(0));
    std::vector<int> delays;
    for (const auto& f : looping->frames)
        delays.push_back(f.delayCs);
    EXPECT_EQ(delays, (std::vector<int>{100, 100, 10, 100}));
    EXPECT_EQ(looping->frameList.stepCs, 10);
    EXPECT_EQ(looping->frameList.length(), 31u);

    auto once = gif::decodeAnimation(suite() / "animated_noloop.gif");
    ASSERT_TRUE(once);
    EXPECT_FALSE(once->loopCount);
}

} // namespace
