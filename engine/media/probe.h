#pragma once

#include "core/result.h"

#include <filesystem>

namespace flickbook::media {

struct MediaInfo {
    double durationSeconds = 0;
    int width = 0; // as displayed, after rotation
    int height = 0;
    int rotation = 0; // degrees clockwise: 0, 90, 180, 270
    double frameRate = 0;
    bool hasAudio = false;
};

// What a video file is. Errors for missing files, files that are not video,
// truncated files and files whose video cannot be decoded.
Result<MediaInfo> probe(const std::filesystem::path& path);

} // namespace flickbook::media
