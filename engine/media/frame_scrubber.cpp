#include "media/frame_scrubber.h"

#include <cmath>

namespace flickbook::media {

Result<FrameScrubber> FrameScrubber::open(const std::filesystem::path& path) {
    auto source = VideoSource::open(path);
    if (!source)
        return source.error();
    return FrameScrubber(std::move(*source));
}

FrameScrubber::FrameScrubber(VideoSource source)
    : reader_(std::move(source)), halfFrame_(reader_.source().halfFrameSeconds()) {}

Result<bool> FrameScrubber::decodeOne() {
    auto more = reader_.next();
    if (!more)
        return more.error();
    if (*more) {
        haveFrame_ = true;
        ++decoded_;
    }
    return *more;
}

Result<PlanarPicture> FrameScrubber::frameAt(double seconds) {
    const double wanted = std::max(seconds - halfFrame_, 0.0);
    const double current = reader_.currentTime();
    // Behind the frame shown, or a keyframe between here and there: start
    // again from the keyframe before the time.
    const double key = reader_.source().keyframeAtOrBefore(seconds);
    const bool behind = haveFrame_ && current > wanted + 2 * halfFrame_;
    const bool keyAhead = std::isfinite(key) && key > (haveFrame_ ? current : 0.0) + halfFrame_;
    if (behind || keyAhead) {
        if (auto sought = reader_.seekTo(wanted); !sought)
            return sought.error();
        haveFrame_ = false;
    }
    while (!haveFrame_ || reader_.currentTime() < wanted - 1e-6) {
        auto more = decodeOne();
        if (!more)
            return more.error();
        if (!*more)
            break; // the end: the last frame stays current
    }
    if (!haveFrame_)
        return makeError("media.no_frame", "The video has no frame to show.");
    return reader_.currentPlanes();
}

} // namespace flickbook::media
