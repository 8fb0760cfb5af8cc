#pragma once

// The twelve frame times of the photo flow: slider position p (1 … 12)
// shows label p − 1 and gives each photo that many seconds.

#include <QString>
#include <array>

namespace flickbook::photos {

struct FrameTime {
    const char* label;
    double seconds;
};

inline constexpr std::array<FrameTime, 12> kFrameTimes = {{
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

inline constexpr int kStartPosition = 9; // "1s"

} // namespace flickbook::photos
