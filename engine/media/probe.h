#pragma once

#include "core/result.h"

#include <filesystem>
#include <optional>

namespace flickbook::media {

struct MediaInfo {
    double durationSeconds = 0;
    int width = 0; // as displayed, after rotation
    int height = 0;
    int rotation = 0; // degrees clockwise: 0, 90, 180, 270
    double frameRate = 0;
    bool hasAudio = false;
    // For a file cut short (a copy or a recording that stopped early): the
    // seconds from its first frame where decoding stops, short of the
    // duration it states. Empty for a whole file.
    std::optional<double> decodesUntil;
};

// What a video file is. Errors for missing files, files that are not video,
// files whose video cannot be decoded, and files cut short before their
// first frame ("media.truncated"). A file cut short later is what decodes of
// it: see decodesUntil.
Result<MediaInfo> probe(const std::filesystem::path& path);

} // namespace flickbook::media
