#pragma once

// The choices the app offers for its GIFs, shared with the command line.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <vector>

namespace flickbook::render {

// A video speed: the preview's playback rate, frames taken per whole second
// of video, and each frame's delay.
struct VideoSpeed {
    std::string_view label;
    float playerRate;
    int framesPerSecond;
    float delaySeconds;
};

inline constexpr std::array<VideoSpeed, 5> kVideoSpeeds{{
    {"2x", 2.0f, 5, 0.1f},
    {"1.5x", 1.5f, 5, 0.15f},
    {"1x", 1.0f, 5, 0.2f},
    {"0.75x", 0.75f, 6, 0.25f},
    {"0.5x", 0.5f, 7, 0.3f},
}};
inline constexpr std::size_t kDefaultVideoSpeed = 2; // "1x"

// How long each picture stays on screen in a GIF made of pictures.
struct FrameTime {
    std::string_view label;
    double seconds;
};

inline constexpr std::array<FrameTime, 12> kFrameTimes{{
    {"0.2s", 0.2},
    {"0.3s", 0.3},
    {"0.4s", 0.4},
    {"0.5s", 0.5},
    {"0.6s", 0.6},
    {"0.7s", 0.7},
    {"0.8s", 0.8},
    {"0.9s", 0.9},
    {"1s", 1.0},
    {"1.5s", 1.5},
    {"1.75s", 1.75},
    {"2s", 2.0},
}};
inline constexpr std::size_t kDefaultFrameTime = 8; // "1s"

// Frames for a video: whole seconds of its duration times the speed's
// frames per second (a clip under one second gives none).
inline std::size_t videoFrameCount(double durationSeconds, const VideoSpeed& speed) {
    if (!std::isfinite(durationSeconds) || durationSeconds < 1)
        return 0;
    return std::size_t(std::trunc(durationSeconds)) * std::size_t(speed.framesPerSecond);
}

// The frame counts the speeds give a video, each once: what an estimate
// samples together so that a change of speed finds its frames ready.
inline std::vector<std::size_t> videoFrameCounts(double durationSeconds) {
    std::vector<std::size_t> counts;
    for (const VideoSpeed& speed : kVideoSpeeds) {
        const std::size_t count = videoFrameCount(durationSeconds, speed);
        if (count > 0 && std::find(counts.begin(), counts.end(), count) == counts.end())
            counts.push_back(count);
    }
    return counts;
}

} // namespace flickbook::render
