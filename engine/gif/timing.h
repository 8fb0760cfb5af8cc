#pragma once

// Frame timing for playback. An image view that gives every entry of its
// frame list the same share of the total duration plays a GIF's uneven delays
// by repeating each frame: the list step is the greatest common divisor of all
// delays, and a frame stands in the list delay ÷ step times in a row.

#include "gif/decoder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace flickbook::gif {

// The two delays an image source reports for a frame, in seconds: the file's
// own value ("unclamped") and the value browsers play ("clamped", 0.1 s when
// the file says 0 or 1 centisecond). A frame without a graphic control
// extension reports neither.
struct ReportedDelays {
    std::optional<double> unclampedSeconds;
    std::optional<double> clampedSeconds;
};

ReportedDelays reportedDelays(const std::optional<GraphicControl>& control);

// A frame's delay in whole centiseconds: the unclamped value unless it is
// missing or exactly zero, then the clamped one; rounded half to even; 1 when
// nothing positive is known. A positive delay of at most 0.005 s gives 0.
std::int32_t frameDelayCs(const ReportedDelays& delays);

struct FrameList {
    std::int32_t stepCs = 0;            // gcd of all delays; 0 with no frames or all-zero delays
    std::int32_t totalCs = 0;           // sum of all delays
    std::vector<std::uint32_t> entries; // frame index per list entry, totalCs ÷ stepCs of them

    double durationSeconds() const { return totalCs / 100.0; }
};

FrameList frameListForDelays(std::span<const std::int32_t> delaysCs);

} // namespace flickbook::gif
