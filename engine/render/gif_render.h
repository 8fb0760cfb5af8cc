#pragma once

// Whole GIFs from pictures or from a video, written so that the destination
// holds a complete file or nothing.

#include "core/result.h"
#include "gif/encoder.h"
#include "image/fit.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>

namespace flickbook::render {

// Called with the share of the work done, 0 to 1, from the rendering thread.
using Progress = std::function<void(double)>;

// Produces picture i (0-based); pictures are asked for in order, one at a
// time, so only one full-size picture needs to be in memory.
using PictureSource = std::function<Result<image::RgbaImage>(std::size_t index)>;

struct ImagesRequest {
    std::size_t count = 0;
    PictureSource picture;
    double delaySeconds = 1.0;
    std::uint16_t loopCount = 0;
    std::filesystem::path destination;
    Progress progress;
    gif::EncoderSettings settings;
};

// The canvas takes the first picture's proportions with its long edge at most
// 1920 pixels; every picture is fitted inside it, centred on black. Errors:
// "render.no_frames", "file.exists" (never overwrites), a picture's own
// error, or a write error.
Result<void> imagesToGif(const ImagesRequest& request);

struct VideoRequest {
    std::filesystem::path source;
    std::optional<std::filesystem::path> destination; // else a new file in the private tmp folder
    std::size_t frameCount = 0;
    double delaySeconds = 0.2;
    std::uint16_t loopCount = 0;
    std::optional<image::Size> size; // fit inside; else the long edge at most 1920, never enlarged
    Progress progress;
    gif::EncoderSettings settings;
    // Called once when the video stops decoding well before the end it
    // states (a file cut short), with the seconds where its last frame ends;
    // the GIF then ends there too. Optional.
    std::function<void(double)> endsEarly;
};

// Frame i shows the video at i·D/N seconds (D the duration, N the frame
// count), read in one pass. Every frame is fitted onto the first frame's
// canvas, so a video whose picture changes size midway still makes one GIF.
// A video that stops decoding early (cut short, or damaged from some point
// on) gives the frames up to there, and `endsEarly` is told. Errors: "render.no_frames" for N = 0,
// "media.*" for unreadable sources, "render.duration" when the duration is
// unknown, "file.exists" and write errors. Returns the GIF's path.
Result<std::filesystem::path> videoToGif(const VideoRequest& request);

// Times at which the frames of a video GIF are taken.
std::vector<double> sampleTimes(double durationSeconds, std::size_t frameCount);

} // namespace flickbook::render
