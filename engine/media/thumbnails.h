#pragma once

// Small pictures of a video: one frame at a time t, or a strip of evenly
// spaced frames for a trimmer, each fitted inside a box and turned upright.

#include "core/result.h"
#include "image/png_io.h"

#include <filesystem>
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

} // namespace flickbook::media
