#include "media/thumbnails.h"

#include "media/frame_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

namespace flickbook::media {

namespace {

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

// MP4 and Matroska files carry an index of every keyframe, which the strip
// can trust to say where each span's keyframe is. Others (MPEG-TS, for one)
// only learn of keyframes as they are read or sought, by a search that lands
// near a time rather than on a keyframe.
bool listsItsKeyframes(const VideoSource& source) {
    const std::string_view name = source.format()->iformat->name;
    return name.starts_with("mov,") || name.starts_with("matroska");
}

} // namespace

Result<image::RgbaImage> thumbnailAt(const std::filesystem::path& path, double seconds,
                                     int maxWidth, int maxHeight) {
    auto source = VideoSource::open(path);
    if (!source)
        return source.error();
    const double slack = source->halfFrameSeconds();
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
                            int maxHeight, double from, double to, const ThumbnailSink& deliver,
                            StripFrame pick) {
    // Keyframes come one at a time, each after a seek: a decoder of several
    // threads would decode the frames after each as well before handing it over.
    auto source = VideoSource::open(path, pick == StripFrame::KeyframeInSpan ? 1 : 0);
    if (!source)
        return source.error();
    const double duration = source->durationSeconds();
    if (!std::isfinite(duration) || count <= 0)
        return makeError("media.unreadable", path.filename().string() + " has no known duration.");
    from = std::clamp(from, 0.0, duration);
    to = std::clamp(to, from, duration);
    const double slack = source->halfFrameSeconds();
    FrameReader reader(std::move(*source));

    bool haveFrame = false;
    const double span = (to - from) / count;
    if (pick == StripFrame::KeyframeInSpan) {
        if (!listsItsKeyframes(reader.source()))
            pick = StripFrame::AtSpanStart;
        else if (avformat_index_get_entries_count(reader.source().stream()) < 2)
            // Matroska reads its list at the first seek; ask for it now (a
            // failed seek leaves the reader at the start, where it is).
            (void)reader.seekTo(from);
    }
    for (int i = 0; i < count; ++i) {
        const double t = from + i * span;
        // Jump only forward, and only past frames that would be decoded for
        // nothing; the first frame of a stretch that starts late is sought.
        double key = reader.source().keyframeAtOrBefore(t);
        double seekTarget = t;
        if (pick == StripFrame::KeyframeInSpan) {
            // A keyframe a few frames early still stands for the span (and
            // the index's times may run that far ahead of the shown ones).
            const double early = std::min(span / 4, 8 * slack);
            if (const double inSpan = reader.source().keyframeAtOrAfter(t - early);
                inSpan < t + span - slack) { // false for NaN: no keyframe known
                // The index counts in decoding time, which runs a few frames
                // ahead of the shown time when frames are reordered, and
                // demuxers seek by one or the other; aiming well inside the
                // span lands on its keyframe either way.
                key = inSpan;
                seekTarget = t + span * 0.75;
            }
        }
        const double at = haveFrame ? reader.currentTime() : 0.0;
        if (std::isfinite(key) && key > at + slack) {
            if (auto sought = reader.seekTo(seekTarget); !sought)
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
