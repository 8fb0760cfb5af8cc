#pragma once

// An opened video file: its container, its best video stream and a decoder
// for it. Probing, thumbnails and frame sampling all start here.

#include "core/result.h"
#include "media/ffmpeg_handles.h"

#include <filesystem>

namespace flickbook::media {

class VideoSource {
public:
    // Errors: "media.not_found", "media.unreadable" (not a media file, or
    // damaged), "media.no_video" (no video stream FFmpeg can decode).
    // decoderThreads 0 is as many as there are cores; 1 decodes each frame
    // as soon as its packet is in, where several wait for as many packets.
    static Result<VideoSource> open(const std::filesystem::path& path, int decoderThreads = 0);

    AVFormatContext* format() const { return format_.get(); }
    AVStream* stream() const { return format_->streams[streamIndex_]; }
    int streamIndex() const { return streamIndex_; }
    AVCodecContext* decoder() const { return decoder_.get(); }

    // Display rotation in degrees clockwise: 0, 90, 180 or 270.
    int rotation() const;
    // Seconds from the container, else from the video stream; NaN when unknown.
    double durationSeconds() const;
    // Seconds at which the video stream's timestamps start (0 when unstated).
    double startSeconds() const;
    // Frames per second, average else nominal; 0 when the file does not say.
    double frameRate() const;
    bool hasAudio() const;
    // Half a frame interval (0.02 s when the rate is unknown): a frame
    // stamped this close before t is the frame shown at t.
    double halfFrameSeconds() const;
    // Seconds of the keyframe at or before (at or after) t by the
    // container's index of keyframes (in decoding time), or NaN when the
    // index does not say.
    double keyframeAtOrBefore(double seconds) const;
    double keyframeAtOrAfter(double seconds) const;

private:
    double indexedKeyframe(double seconds, bool before) const;

    InputHandle format_;
    CodecHandle decoder_;
    int streamIndex_ = -1;
};

} // namespace flickbook::media
