#include "media/probe.h"

#include "media/frame_reader.h"
#include "media/video_source.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace flickbook::media {

namespace {

// The first entry of the video's index that lies past the end of the file,
// when the index points past it: the file was cut short (a copy or a
// recording that stopped early).
const AVIndexEntry* firstMissingEntry(const VideoSource& source, std::uint64_t fileSize) {
    AVStream* stream = source.stream();
    const int entries = avformat_index_get_entries_count(stream);
    if (entries <= 0)
        return nullptr;
    const AVIndexEntry* last = avformat_index_get_entry(stream, entries - 1);
    if (!last || std::uint64_t(last->pos) + std::uint64_t(last->size) <= fileSize)
        return nullptr;
    for (int i = 0; i < entries; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (entry && std::uint64_t(entry->pos) + std::uint64_t(entry->size) > fileSize)
            return entry;
    }
    return nullptr;
}

// Where the frames that decode in one run from the start stop: decoding goes
// on from the keyframe before the first missing entry to the end of the
// data, and stops early at a gap of more than a frame and a half (a frame
// that is lost while a later one decoded). The last frame lasts one frame.
Result<double> decodableEnd(FrameReader& reader, double from, double frameRate) {
    if (auto sought = reader.seekTo(std::max(0.0, from)); !sought)
        return sought.error();
    const double interval = frameRate > 0 ? 1.0 / frameRate : 0;
    std::optional<double> last;
    for (;;) {
        auto more = reader.next();
        if (!more || !*more)
            break;
        const double t = reader.currentTime();
        if (last && interval > 0 && t - *last > 1.5 * interval)
            break;
        last = t;
    }
    if (!last)
        return makeError("media.truncated", "No frame decodes near the end.");
    return *last + (interval > 0 ? interval : 0.0);
}

} // namespace

Result<MediaInfo> probe(const std::filesystem::path& path) {
    auto source = VideoSource::open(path);
    if (!source)
        return source.error();
    std::error_code ec;
    const std::uint64_t fileSize = std::filesystem::file_size(path, ec);
    const AVIndexEntry* missing = ec ? nullptr : firstMissingEntry(*source, fileSize);
    const double missingAt =
        missing ? double(missing->timestamp) * av_q2d(source->stream()->time_base) -
                      source->startSeconds()
                : 0.0;

    MediaInfo info;
    info.durationSeconds = source->durationSeconds();
    if (!std::isfinite(info.durationSeconds))
        return makeError("media.unreadable",
                         path.filename().string() + " does not say how long it is.");
    info.rotation = source->rotation();
    const bool sideways = info.rotation == 90 || info.rotation == 270;
    info.width = sideways ? source->decoder()->height : source->decoder()->width;
    info.height = sideways ? source->decoder()->width : source->decoder()->height;
    info.frameRate = source->frameRate();
    info.hasAudio = source->hasAudio();

    // A stream FFmpeg can open but not decode is no use to anyone.
    FrameReader reader(std::move(*source));
    auto first = reader.next();
    if (missing && (!first || !*first))
        return makeError("media.truncated",
                         path.filename().string() + " is cut short before its first frame.");
    if (!first)
        return first.error();
    if (!*first)
        return makeError("media.no_video", path.filename().string() + " has no decodable frame.");
    if (missing) {
        auto end = decodableEnd(reader, missingAt, info.frameRate);
        if (!end)
            return makeError("media.truncated", path.filename().string() + " is cut short.");
        // A file whose missing part holds no more than its last frame, or
        // only sound, is whole as far as its picture goes.
        const double frame = info.frameRate > 0 ? 1.0 / info.frameRate : 0.0;
        if (*end + frame < info.durationSeconds)
            info.decodesUntil = *end;
    }
    return info;
}

} // namespace flickbook::media
