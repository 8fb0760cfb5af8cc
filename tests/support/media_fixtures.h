#pragma once

// Video clips for media tests, made with the ffmpeg command: every frame shows
// its own number (two flat halves whose grey levels are its base-16 digits,
// kept inside video's legal range),
// so a test can tell exactly which frame a picture came from.

#include "image/png_io.h"

#include <filesystem>
#include <string>

namespace flickbook::testsupport {

struct ClipParameters {
    double seconds = 4;
    int fps = 25;
    int keyframeInterval = 50; // frames
    int width = 160, height = 120;
    bool audio = false;
    bool faststart = false; // index at the front of the file
    int bFrames = 0;        // frames decoded after the later frame they refer to
    // "h264", "hevc", "mpeg2video", "mpeg4", "vp8", "vp9" or "av1"; the
    // container follows the file's extension (.mp4, .mov, .mkv, .webm, .ts,
    // .m2ts).
    std::string codec = "h264";
    // FFmpeg's encoder for the sound; empty for the container's usual one.
    std::string audioCodec{};
};

// Makes the clip; false (with the command's output on stderr) when ffmpeg fails.
bool makeCounterClip(const std::filesystem::path& out, const ClipParameters& spec);

// Copies a video into a new file whose video stream says to turn it by the
// given degrees clockwise when shown.
bool remuxWithRotation(const std::filesystem::path& in, const std::filesystem::path& out,
                       int clockwiseDegrees);

// The frame number an upright picture of a counter clip shows; rotation says
// how the picture was turned from the clip's own frame.
int readCounter(const image::RgbaImage& picture, int clockwiseDegrees = 0);

} // namespace flickbook::testsupport
