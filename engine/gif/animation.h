#pragma once

// Whole-file decoding for playback and for tools: every frame composited to
// full-canvas RGBA, with the frame list that plays them at their delays.
//
// A damaged file gives the frames completed before the damage; the damaged
// frame and everything after it are left out, and their delays do not count
// towards the duration. Only when no frame could be completed is the result an
// error.

#include "gif/decoder.h"
#include "gif/timing.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace flickbook::gif {

struct DecodedFrame {
    std::vector<std::uint8_t> rgba; // full canvas
    std::uint32_t canvasWidth = 0;
    std::uint32_t canvasHeight = 0;
    FrameInfo info;
    std::int32_t delayCs = 1; // after the playback rules of timing.h
};

struct Animation {
    ScreenInfo screen;
    std::optional<std::uint16_t> loopCount;
    std::vector<DecodedFrame> frames;
    FrameList frameList;
    std::optional<Error> damage; // why decoding stopped early, if it did
};

// The frames kept count against options.limits.maxDecodedBytes together with
// the decoder's own buffers; past it the result is gif.too_large.
Result<Animation> decodeAnimation(const std::filesystem::path& path, DecodeOptions options = {});
Result<Animation> decodeAnimation(std::span<const std::uint8_t> bytes, DecodeOptions options = {});

// What decodeAnimation says about a file's timing, without drawing a frame:
// the blocks are read one after the other and every image's data is checked
// as a decode would, so the frames, the damage and the frame list are the
// same, while memory stays a few bytes per frame whatever the canvas.
struct AnimationTiming {
    ScreenInfo screen;
    std::optional<std::uint16_t> loopCount;
    std::vector<std::int32_t> delaysCs; // per frame, after the playback rules of timing.h
    FrameList frameList;
    std::optional<Error> damage; // why reading stopped early, if it did
};

Result<AnimationTiming> readTiming(const std::filesystem::path& path, DecodeOptions options = {});
Result<AnimationTiming> readTiming(std::span<const std::uint8_t> bytes, DecodeOptions options = {});

// The first frame only; the rest of the file is not read.
Result<DecodedFrame> decodeFirstFrame(const std::filesystem::path& path,
                                      DecodeOptions options = {});

} // namespace flickbook::gif
