#pragma once

// Cuts a stretch out of a video file without re-encoding: the packets from
// the keyframe before the start are copied as they are, and the new file's
// edit list tells players to begin showing at the start and stop at the end.
// The first frame shown is the one on screen at the start time, and the cut
// lasts end - start. See docs/media.md for why this method was chosen.

#include "core/result.h"

#include <filesystem>
#include <functional>
#include <string>

namespace flickbook::media {

struct CutRequest {
    std::filesystem::path source;
    double startSeconds = 0; // from the video's first frame
    double endSeconds = 0;
    // The file to write; it must not exist yet. When empty, the file is
    // `folder`/`baseName` plus ".mp4" or ".mov" as the streams need (a unique
    // name when `baseName` is empty).
    std::filesystem::path destination;
    std::filesystem::path folder;
    std::string baseName;
    std::function<void(double)> progress; // 0..1, optional
};

// The path of the complete new file. Errors: those of probe() for the source;
// "cut.range" for a start not before the end or a range outside the video;
// "cut.format" for audio or video that no MP4 or QuickTime file can carry;
// "file.exists", "file.create", "file.write" for the destination. Nothing is
// left at the destination on failure.
Result<std::filesystem::path> cutVideo(const CutRequest& request);

} // namespace flickbook::media
