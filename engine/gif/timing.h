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

// The list is held as runs, one per frame that stands in it, so its memory
// follows the number of frames whatever the delays: a file of thousands of
// maximal delays and one delay of 1 cs has a list of billions of entries.
// Lengths and times are 64-bit; the sum of the delays is exact (a GIF's
// delays are 16-bit, so it passes 32 bits only past 32768 frames of the
// longest delay).
struct FrameList {
    struct Run {
        std::uint32_t frame = 0;      // frame index
        std::uint64_t firstEntry = 0; // list index of its first entry
        std::uint64_t count = 0;      // entries in a row: delay ÷ step, at least 1
    };

    std::int32_t stepCs = 0;  // gcd of all delays; 0 with no frames or all-zero delays
    std::int64_t totalCs = 0; // sum of all delays
    std::vector<Run> runs;    // in list order; frames of zero delay have none

    // Entries in the list: totalCs ÷ stepCs, 0 when the step is 0.
    std::uint64_t length() const;
    // The frame at a list index; index must be below length().
    std::uint32_t frameAt(std::uint64_t index) const;
    // The list index showing at a time from the start, looping: each entry
    // shows for stepCs, and the list starts over after totalCs. 0 for an
    // empty list or a negative time.
    std::uint64_t indexAtTime(std::int64_t centiseconds) const;
    // The frame showing at a time from the start, looping; the list must not be empty.
    std::uint32_t frameAtTime(std::int64_t centiseconds) const {
        return frameAt(indexAtTime(centiseconds));
    }

    double durationSeconds() const { return double(totalCs) / 100.0; }
};

// The list for delays (in centiseconds, none negative).
FrameList frameListForDelays(std::span<const std::int32_t> delaysCs);

} // namespace flickbook::gif
