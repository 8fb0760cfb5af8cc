#pragma once

// Whole GIFs from pictures or from a video, written so that the destination
// holds a complete file or nothing.

#include "core/result.h"
#include "gif/encoder.h"
#include "image/fit.h"
#include "render/size_estimate.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace flickbook::render {

// Called with the share of the work done, 0 to 1, from the rendering thread.
using Progress = std::function<void(double)>;

// Produces picture i (0-based); pictures are asked for in order, one at a
// time, so only one full-size picture needs to be in memory. An estimate
// asks for a few of them in order; a budget may have them all asked for once
// more.
using PictureSource = std::function<Result<image::RgbaImage>(std::size_t index)>;
// The same with the long edge the GIF is made at: a source that decodes its
// pictures can make them no larger than that (the picture is fitted onto
// the canvas whatever its size).
using SizedPictureSource =
    std::function<Result<image::RgbaImage>(std::size_t index, std::uint32_t longEdge)>;

// How the animation runs: forward, or forward then back (a bounce). A bounce
// of n frames plays 1 … n, then n−1 … 2 (2n − 2 frames, the two ends shown
// once each; one frame stays one), every frame with the same delay.
enum class Loop { forward, bounce };

// How many frames a GIF of `frames` pictures or video frames holds.
std::size_t framesInFile(std::size_t frames, Loop loop);

// What every render may be asked about the GIF's size. With a budget, the
// long edge and the encoder's quality are chosen from an estimate so that
// the GIF fits: it is never over the budget, and it uses most of it when the
// GIF as asked would be larger. The frames and their timing are never
// changed. When even the smallest size cannot fit, nothing is rendered and
// the error ("render.over_budget") names the smallest budget that fits.
struct OutputSize {
    std::uint32_t maxLongEdge = image::kMaxCanvasLongEdge; // never enlarged
    std::optional<std::uint64_t> maxBytes;
    // With a budget, optional: the plan an estimate made for the same frames,
    // timing, loop and budget (what a screen showed before Create). The GIF
    // is then made at that size first, without sampling the frames again,
    // and weighed as ever: one over the budget, or well under it, is made
    // once more at a corrected size. That the plan is for these frames and
    // choices is up to the caller; the render only refuses one over the
    // budget or the size asked, one taken from a slope (fromSlope), and any
    // for a video GIF short enough for its own sample to make it whole
    // (exact, for about the cost of its encode).
    std::optional<SizePlan> planned;
};

struct ImagesRequest {
    std::size_t count = 0;
    PictureSource picture;
    // Optional: asked instead of `picture` for the GIF's own frames, so that
    // a GIF a budget makes smaller does not decode its pictures at full size.
    // Its answer must depend on the picture and the size alone: a picture
    // decoded while a budget is planned is kept for the GIF made at that
    // size, whatever was asked in between.
    SizedPictureSource pictureAt;
    double delaySeconds = 1.0;
    std::uint16_t loopCount = 0;
    std::filesystem::path destination;
    Progress progress;
    gif::EncoderSettings settings;
    Loop loop = Loop::forward;
    OutputSize output;
};

// The canvas takes the first picture's proportions with its long edge at most
// output.maxLongEdge (1920) pixels; every picture is fitted inside it, centred
// on black. Errors: "render.no_frames", "file.exists" (never overwrites), a
// picture's own error, "render.over_budget", or a write error.
Result<void> imagesToGif(const ImagesRequest& request);

struct VideoRequest {
    std::filesystem::path source;
    std::optional<std::filesystem::path> destination; // else a new file in the private tmp folder
    std::size_t frameCount = 0;
    double delaySeconds = 0.2;
    std::uint16_t loopCount = 0;
    // Fit inside (enlarged if need be); else the long edge at most
    // output.maxLongEdge, never enlarged.
    std::optional<image::Size> size;
    Progress progress;
    gif::EncoderSettings settings;
    Loop loop = Loop::forward;
    OutputSize output;
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

// About how big the request's GIF will be, and at what size and quality it
// will be made: a few of its real frames (runs of consecutive video frames,
// beside the whole video at a small size; pictures in bands of rows) are
// encoded with the real encoder and the cost scaled to the whole animation.
// With a budget, the size the budget makes the GIF. Nothing is written;
// progress and endsEarly are not called. Safe to call from any thread.
// Errors: as the render's.
Result<SizePlan> estimateSize(const ImagesRequest& request);
Result<SizePlan> estimateSize(const VideoRequest& request);

// The sample an estimate is made from, for callers that ask again for other
// sizes or budgets of the same frames (planSize, FrameSample::estimate).
Result<FrameSample> sampleFrames(const ImagesRequest& request);
Result<FrameSample> sampleFrames(const VideoRequest& request);
// The samples of a video's GIFs at several frame counts (the request's own
// is not used), in that order, from one decode of the video: a screen that
// offers several speeds has each speed's estimate ready. The decode skips
// only frames far from every count's times, so on a video whose frames are
// unevenly spaced a count may see a frame nearer its time than alone.
Result<std::vector<FrameSample>> sampleFrames(const VideoRequest& request,
                                              std::span<const std::size_t> frameCounts);

// Times at which the frames of a video GIF are taken.
std::vector<double> sampleTimes(double durationSeconds, std::size_t frameCount);

} // namespace flickbook::render
