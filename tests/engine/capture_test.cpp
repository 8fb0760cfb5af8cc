// Live capture on FFmpeg's synthetic inputs, paced in real time as a camera
// and a microphone are: the viewfinder's rate, a 3 s recording, stopping at
// once, inputs that cannot be opened, a disk that fills while recording, and
// the choice of a camera mode.

#include "media/camera_devices.h"
#include "media/capture.h"
#include "media/frame_reader.h"
#include "media/probe.h"
#include "test_paths.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace flickbook {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

media::CaptureInput testCamera(int width = 320, int height = 240) {
    return {"lavfi",
            "testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) +
                ":rate=30,realtime",
            0, 0, 0};
}

media::CaptureInput testMicrophone() {
    return {"lavfi", "sine=frequency=440:sample_rate=48000,arealtime", 0, 0, 0};
}

// Frames and the last timestamp of a video file's picture.
std::pair<int, double> countFrames(const fs::path& file) {
    auto source = media::VideoSource::open(file);
    if (!source)
        return {-1, 0};
    media::FrameReader reader(std::move(*source));
    int frames = 0;
    double last = 0;
    while (auto more = reader.next()) {
        if (!*more)
            break;
        ++frames;
        last = reader.currentTime();
    }
    return {frames, last};
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        found.push_back(entry.path());
    return found;
}

TEST(Capture, RecordsThreeSecondsAtTheCamerasRateWhileTheViewfinderKeepsUp) {
    testsupport::TempDir dir;
    std::atomic<int> shown{0};
    std::atomic<int> shownWhileRecording{0};
    std::atomic<bool> recording{false};
    auto session = media::CaptureSession::open(
        testCamera(), {testMicrophone()}, [&](std::shared_ptr<const media::CapturedFrame> frame) {
            ASSERT_EQ(frame->width, 320);
            ASSERT_EQ(frame->yuv.size(), 320u * 240 * 3 / 2);
            ++shown;
            if (recording)
                ++shownWhileRecording;
        });
    ASSERT_TRUE(session) << session.error().message;
    EXPECT_EQ((*session)->width(), 320);
    EXPECT_DOUBLE_EQ((*session)->frameRate(), 30.0);
    EXPECT_TRUE((*session)->hasSound());
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(shown.load(), 0);

    const fs::path clip = dir.path() / "clip.mp4";
    ASSERT_TRUE((*session)->startRecording(clip));
    recording = true;
    std::this_thread::sleep_for(3s);
    recording = false;
    auto made = (*session)->stopRecording();
    ASSERT_TRUE(made) << made.error().message;
    EXPECT_EQ(*made, clip);
    EXPECT_EQ(filesIn(dir.path()), std::vector<fs::path>{clip}); // no part file left

    // The viewfinder got the camera's rate while the recording was encoded
    // (a tenth of slack for a busy machine).
    EXPECT_GE(shownWhileRecording.load(), 81);
    auto info = media::probe(clip);
    ASSERT_TRUE(info) << info.error().message;
    EXPECT_TRUE(info->hasAudio);
    EXPECT_EQ(info->width, 320);
    const auto [frames, last] = countFrames(clip);
    // 3.0 s ± one frame at 30 frames a second.
    EXPECT_NEAR(frames, 90, 3);
    EXPECT_NEAR(last + 1.0 / 30.0, 3.0, 1.0 / 30.0 + 0.02);
    EXPECT_NEAR(info->durationSeconds, 3.0, 0.1);
}

// A stop right after the start: a clip of the frames that made it, or a
// clear error and no file at all — never a half file.
TEST(Capture, StoppingAtOnceLeavesACompleteClipOrNothing) {
    testsupport::TempDir dir;
    auto session = media::CaptureSession::open(testCamera(), {}, nullptr);
    ASSERT_TRUE(session);
    EXPECT_FALSE((*session)->hasSound());
    for (int round = 0; round < 3; ++round) {
        const fs::path clip = dir.path() / ("clip" + std::to_string(round) + ".mp4");
        ASSERT_TRUE((*session)->startRecording(clip));
        auto made = (*session)->stopRecording();
        if (made) {
            auto info = media::probe(*made);
            EXPECT_TRUE(info) << round << ": " << (info ? "" : info.error().message);
        } else {
            EXPECT_EQ(made.error().code, "capture.empty");
            EXPECT_FALSE(fs::exists(clip));
        }
        for (const auto& file : filesIn(dir.path()))
            EXPECT_EQ(file.extension(), ".mp4") << file;
    }
    EXPECT_FALSE((*session)->stopRecording()); // nothing running
}

TEST(Capture, InputsThatCannotBeOpenedSaySo) {
    auto missing =
        media::CaptureSession::open({"video4linux2", "/dev/video97", 0, 0, 0}, {}, nullptr);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, "capture.open");
    EXPECT_NE(missing.error().message.find("/dev/video97"), std::string::npos);
    auto nonsense = media::CaptureSession::open({"lavfi", "no_such_source", 0, 0, 0}, {}, nullptr);
    ASSERT_FALSE(nonsense);
    EXPECT_EQ(nonsense.error().code, "capture.open");
    // Microphones that will not open leave the picture alone; the first
    // that opens is taken.
    auto silent = media::CaptureSession::open(
        testCamera(), {{"lavfi", "nope", 0, 0, 0}, {"alsa", "no-such-card", 0, 0, 0}}, nullptr);
    ASSERT_TRUE(silent);
    EXPECT_FALSE((*silent)->hasSound());
    auto heard = media::CaptureSession::open(
        testCamera(), {{"lavfi", "nope", 0, 0, 0}, testMicrophone()}, nullptr);
    ASSERT_TRUE(heard);
    EXPECT_TRUE((*heard)->hasSound());
}

// The disk fills while recording: the recording fails with a clear error,
// no part file stays, and the viewfinder is not disturbed. Run in a child
// process whose files may not grow past 64 KB.
TEST(Capture, ADiskThatFillsStopsTheRecordingWithAClearError) {
    testsupport::TempDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::atomic<int> shown{0};
        auto session = media::CaptureSession::open(
            testCamera(640, 480), {},
            [&](std::shared_ptr<const media::CapturedFrame>) { ++shown; });
        if (!session)
            ::_exit(10);
        if (!(*session)->startRecording(dir.path() / "clip.mp4"))
            ::_exit(11);
        std::this_thread::sleep_for(2500ms);
        const bool brokeOff = (*session)->recordingFailure().has_value();
        const int before = shown.load();
        std::this_thread::sleep_for(300ms);
        const bool stillShowing = shown.load() > before;
        auto made = (*session)->stopRecording();
        if (made)
            ::_exit(12);
        if (made.error().code != "capture.write" || made.error().message.empty())
            ::_exit(13);
        if (!filesIn(dir.path()).empty())
            ::_exit(14);
        ::_exit(brokeOff && stillShowing ? 0 : 15);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CameraModes, SevenTwentyAtThirtyOrTheNearest) {
    using media::CameraMode;
    auto chosen = [](std::vector<CameraMode> modes) {
        const CameraMode mode = media::chooseCameraMode(modes);
        return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "@" +
               std::to_string(int(mode.frameRate));
    };
    EXPECT_EQ(chosen({{640, 480, 30}, {1280, 720, 30}, {1920, 1080, 30}, {1280, 720, 10}}),
              "1280x720@30");
    EXPECT_EQ(chosen({{640, 480, 30}, {1920, 1080, 30}, {320, 240, 30}}), "1920x1080@30");
    EXPECT_EQ(chosen({{1280, 720, 10}, {1280, 720, 60}, {640, 480, 30}}), "1280x720@60");
    EXPECT_EQ(chosen({{800, 600, 15}, {800, 600, 25}}), "800x600@25");
    EXPECT_EQ(chosen({}), "0x0@0");
}

} // namespace
} // namespace flickbook
