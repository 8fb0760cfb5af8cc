#pragma once

// The stretch of a video that cut and video --start/--end work on.

#include "core/result.h"
#include "media/video_cutter.h"

#include <filesystem>
#include <optional>
#include <string>

namespace flickbook::cli {

// A request for [start, end] of source; a missing start is 0 and a missing
// end is the video's end.
Result<media::CutRequest> cutRequestFor(const std::filesystem::path& source,
                                        const std::optional<std::string>& startText,
                                        const std::optional<std::string>& endText);

// A cut in Flickbook's private temporary folder, removed when done with.
struct TemporaryCut {
    std::filesystem::path path;
    TemporaryCut() = default;
    TemporaryCut(const TemporaryCut&) = delete;
    TemporaryCut& operator=(const TemporaryCut&) = delete;
    ~TemporaryCut();
};

Result<void> cutToTemporary(media::CutRequest request, TemporaryCut& cut);

// Warns that the file named stops decoding at the seconds given (it is cut
// short or damaged) and that what is made ("the cut", "the GIF") ends there.
void warnStopsDecoding(const std::filesystem::path& named, double seconds, const std::string& made);

} // namespace flickbook::cli
