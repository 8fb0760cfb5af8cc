#include "media/thumbnails.h"

#include "media/frame_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace flickbook::media {

namespace {

// Half a frame interval: a frame stamped this close before t is the frame at t.
double tolerance(const VideoSource& source) {
    const double rate = source.frameRate();
    return rate > 0 ? 0.5 / rate : 0.02;
}

// Decodes forward to the first frame at or after t; false when the file
// ends first (the last frame is then current).
Result<bool> decodeUntil(FrameReader& reader, double t, double slack, bool& haveFrame) {
    for (;;) {
        auto more = reader.next();
        if (!more)
            return more.error();
        if (!*more)
            return false;
        haveFrame = true;
        if (reader.currentTime() >= t - slack)
            return true;
    }
}

// Seconds of the keyframe at or before t according to the container's index,
// or NaN when the index does not say.
double keyframeBefore(const VideoSource& source, double t) {
    AVStream* s = source.stream();
    const double startTime = source.startSeconds();
    const auto ts = std::int64_t((t + startTime) / av_q2d(s->time_base));
    const int i = av_index_search_timestamp(s, ts, AVSEEK_FLAG_BACKWARD);
    if (i < 0)
        return std::nan("");
    return avformat_index_get_entry(s, i)->timestamp * av_q2d(s->time_base) - startTime;
}

} // namespace

Result<image::RgbaImage> thumbnailAt(const std::filesystem::path& path, double seconds,
                                     int maxWidth, int maxHeight) {
    auto source = VideoSource::open(path);
    if (!source)
        return source.error();
    const double slack = tolerance(*source);
    FrameReader reader(std::move(*source));
    if (seconds > 0) {
        if (auto sought = reader.seekTo(seconds); !sought)
            return sought.error();
    }
    bool haveFrame = false;
    auto found = decodeUntil(reader, seconds, slack, haveFrame);
    if (!found)
        return found.error();
    if (!haveFrame)
        return makeError("media.no_frame", path.filename().string() + " has no frame to show.");
    return reader.currentImage(maxWidth, maxHeight);
}

Result<void> thumbnailStrip(const std::filesystem::path& path, int count, int maxWidth,
                            int maxHeight, double from, double to, const ThumbnailSink& deliver) {
    auto source = VideoSource::open(path);
    if (!source)
        return source.error();
    const double duration = source->durationSeconds();
    if (!std::isfinite(duration) || count <= 0)
        return makeError("media.unreadable", path.filename().string() + " has no known duration.");
    from = std::clamp(from, 0.0, duration);
    to = std::clamp(to, from, duration);
    const double slack = tolerance(*source);
    FrameReader reader(std::move(*source));

    bool haveFrame = false;
    for (int i = 0; i < count; ++i) {
        const double t = from + i * (to - from) / count;
        // Jump only forward, and only past frames that would be decoded for
        // nothing; the first frame of a stretch that starts late is sought.
        const double key = keyframeBefore(reader.source(), t);
        const double at = haveFrame ? reader.currentTime() : 0.0;
        if (std::isfinite(key) && key > at + slack) {
            if (auto sought = reader.seekTo(t); !sought)
                return sought.error();
        }
        if (!haveFrame || reader.currentTime() < t - slack) {
            auto found = decodeUntil(reader, t, slack, haveFrame);
            if (!found)
                return found.error();
        }
        if (!haveFrame)
            return makeError("media.no_frame", path.filename().string() + " has no frame to show.");
        auto picture = reader.currentImage(maxWidth, maxHeight);
        if (!picture)
            return picture.error();
        if (!deliver(i, std::move(*picture)))
            return {};
    }
    return {};
}

Result<std::vector<image::RgbaImage>> thumbnailStrip(const std::filesystem::path& path, int count,
                                                     int maxWidth, int maxHeight) {
    std::vector<image::RgbaImage> strip;
    auto made =
        thumbnailStrip(path, count, maxWidth, maxHeight, 0.0,
                       std::numeric_limits<double>::infinity(), [&](int, image::RgbaImage picture) {
                           strip.push_back(std::move(picture));
                           return true;
                       });
    if (!made)
        return made.error();
    return strip;
}

} // namespace flickbook::media
