#pragma once

// Small pictures of a video: one frame at a time t, or a strip of evenly
// spaced frames for a trimmer, each fitted inside a box and turned upright.

#include "core/result.h"
#include "image/png_io.h"

#include <filesystem>
#include <functional>
#include <vector>

namespace flickbook::media {

// The first frame shown at or after t seconds (the last frame when t is past
// the end), fitted inside maxWidth × maxHeight.
Result<image::RgbaImage> thumbnailAt(const std::filesystem::path& path, double seconds,
                                     int maxWidth, int maxHeight);

// count frames at times i × duration ÷ count, in one forward pass that jumps
// to a keyframe only when that skips decoding.
Result<std::vector<image::RgbaImage>> thumbnailStrip(const std::filesystem::path& path, int count,
                                                     int maxWidth, int maxHeight);

// Which frame stands for each of a strip's equal spans of time.
enum class StripFrame {
    // The first frame at or after the span's start: exact, but on a 1080p
    // video with a keyframe every few seconds each costs dozens of decodes.
    AtSpanStart,
    // A keyframe inside the span when the container's index has one, which
    // costs one decode; otherwise the frame at the span's start. For a
    // trimmer's strip, where a thumbnail stands for its span anyway.
    KeyframeInSpan,
};

// The same over a stretch: count frames for the spans from + i × (to − from)
// ÷ count, each handed to deliver as soon as it is made. deliver returns
// false to stop early (the caller no longer wants the rest). to past the end
// means the end.
using ThumbnailSink = std::function<bool(int index, image::RgbaImage picture)>;
Result<void> thumbnailStrip(const std::filesystem::path& path, int count, int maxWidth,
                            int maxHeight, double from, double to, const ThumbnailSink& deliver,
                            StripFrame pick = StripFrame::AtSpanStart);

} // namespace flickbook::media
