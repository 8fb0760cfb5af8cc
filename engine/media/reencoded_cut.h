#pragma once

// The cut for video that MP4 and QuickTime cannot carry (VP8 above all):
// Matroska and WebM have no edit lists, so a cut that does not start on a
// keyframe cannot be a plain copy. The frames from the start up to the next
// keyframe are decoded and encoded again, near-losslessly, with the same
// codec, and the rest is copied as it is. Codecs whose frames are stored out
// of order, and ranges that end before the next keyframe, are encoded whole.

#include "core/result.h"
#include "media/cut_output.h"
#include "media/video_source.h"

#include <deque>
#include <filesystem>
#include <functional>

namespace flickbook::media {

struct ReencodedCutResult {
    long framesEncoded = 0;
    long framesCopied = 0;
};

// Writes the stretch into `output`, whose header is written, with the video
// as stream 0 and, when `audioIndex` ≥ 0, that sound stream as stream 1.
// `pending` are the packets from seekToKeyframeAtOrBefore(); every packet
// read is noted in `readEnd`. Errors:
// "cut.format" when no encoder exists for the codec, "cut.encode" when
// encoding fails, "file.write" for the destination.
Result<ReencodedCutResult> writeReencodedCut(VideoSource& source, std::deque<PacketHandle> pending,
                                             int audioIndex, AVFormatContext* output,
                                             StreamRange range,
                                             const std::function<void(double)>& progress,
                                             const std::filesystem::path& destination,
                                             ReadEnd& readEnd);

} // namespace flickbook::media
