#pragma once

// Exact frames for a handle being dragged along a video. Decoding goes on
// from the frame shown last when the next time lies ahead of it with no
// keyframe in between, so a handle moved forward a little costs the few
// frames it passes, not a seek and the run of frames since the keyframe.

#include "core/result.h"
#include "media/frame_reader.h"

#include <filesystem>

namespace flickbook::media {

class FrameScrubber {
public:
    static Result<FrameScrubber> open(const std::filesystem::path& path);

    // The frame whose middle lies nearest to t: the first frame at or after
    // t less half a frame interval, the last frame for t past the end.
    Result<PlanarPicture> frameAt(double seconds);

    // Degrees clockwise the frames are to be turned when shown.
    int rotation() const { return reader_.source().rotation(); }
    // Frames decoded so far, for measuring what a run of requests cost.
    long decodedFrames() const { return decoded_; }

private:
    explicit FrameScrubber(VideoSource source);
    Result<bool> decodeOne();

    FrameReader reader_;
    double halfFrame_;
    bool haveFrame_ = false;
    long decoded_ = 0;
};

} // namespace flickbook::media
