#pragma once

// Cuts a stretch out of a video file. Video that MP4 or QuickTime carries
// (H.264, HEVC, MPEG-4, VP9, AV1, from any container) is copied without
// re-encoding: the packets from the keyframe before the start are copied as
// they are, and the new file's edit list tells players to begin showing at
// the start and stop at the end. VP8 goes to WebM, which has no edit lists:
// the frames from the start to the next keyframe are encoded again and the
// rest is copied. The first frame shown is the one on screen at the start
// time, and the cut lasts end - start. See docs/media.md for why.

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
    // `folder`/`baseName` plus ".mp4", ".mov", ".webm" or ".mkv" as the
    // streams need (a unique name when `baseName` is empty).
    std::filesystem::path destination;
    std::filesystem::path folder;
    std::string baseName;
    std::function<void(double)> progress; // 0..1, optional
    // Called once, when the cut is made, if the range reached past where a
    // file cut short stops decoding, with those seconds: the cut ends there.
    // Known beforehand from an index at the front (MediaInfo::decodesUntil),
    // else found when the packets run out before the stated duration (a
    // Matroska or WebM file cut short). Optional.
    std::function<void(double)> endsEarly;
};

// The path of the complete new file. Errors: those of probe() for the source;
// "cut.range" for a start not before the end, a range outside the video or
// one that begins where a file cut short no longer decodes;
// "cut.format" for video that cannot be cut (sound that the new file cannot
// carry is left out instead); "cut.seek" when no keyframe before the start
// can be found; "cut.encode" when the start of a VP8 cut cannot be converted;
// "file.exists", "file.create", "file.write" for the destination. Nothing is
// left at the destination on failure.
Result<std::filesystem::path> cutVideo(const CutRequest& request);

} // namespace flickbook::media
