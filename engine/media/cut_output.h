#pragma once

// What both ways of cutting share: writing a container into an OutputFile,
// finding the keyframe a cut is decoded from, and the cut's range in the
// video stream's own time units.

#include "core/result.h"
#include "media/ffmpeg_handles.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace flickbook::media {

struct AvioFreer {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
using AvioHandle = std::unique_ptr<AVIOContext, AvioFreer>;

struct OutputFreer {
    void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
using OutputHandle = std::unique_ptr<AVFormatContext, OutputFreer>;

// libavformat writing into a stdio stream (muxers seek back to fill in
// sizes); null when out of memory.
AvioHandle fileWriter(std::FILE* file);

// An error for a failed write to `destination`, with the system's reason
// ("No space left on device", "Permission denied").
Error writeError(const std::filesystem::path& destination, int code);

// The stretch to cut in the video stream's time units, from the first frame's
// timestamp: [start, end). "cut.range" when the stream's time base is unusable
// or the times do not fit its timestamps.
struct StreamRange {
    std::int64_t start = 0;
    std::int64_t end = 0;
};
Result<StreamRange> streamRange(const AVStream* video, double startSeconds, double endSeconds);

// Where the packets read for a cut really end. A file cut short whose index
// did not give it away (Matroska and WebM keep theirs at the end, MPEG-TS has
// none) shows it here: the source ran out before any stream reached the
// duration its header states.
class ReadEnd {
public:
    ReadEnd(const AVFormatContext* format, int videoIndex, double videoStartSeconds);

    // Each packet read, in any stream.
    void note(const AVPacket& packet);
    // The source has no more packets (its end, or its damaged tail).
    void reachedTheEnd() { reachedTheEnd_ = true; }

    // The seconds where the video stops, when the source ended before both
    // the cut's end and the file's stated duration (by more than a frame).
    std::optional<double> stopsShortOf(double statedDuration, double cutEnd, double frame) const;

private:
    const AVFormatContext* format_;
    int videoIndex_;
    double videoStart_, formatStart_;
    double anyStream_ = 0, video_ = 0;
    bool reachedTheEnd_ = false;
};

// Positions `format` so that decoding the video stream can begin at the last
// keyframe at or before `ts`, and gives the packets already read from there
// (just the keyframe). A seek that lands
// past `ts` (containers without a keyframe index, such as MPEG-TS, seek by
// timestamp alone) is retried further back, doubling the distance, down to
// the file's beginning. "cut.seek" when no keyframe is found that way.
Result<std::deque<PacketHandle>> seekToKeyframeAtOrBefore(AVFormatContext* format, int videoIndex,
                                                          std::int64_t ts);

} // namespace flickbook::media
