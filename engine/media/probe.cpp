#include "media/probe.h"

#include "media/frame_reader.h"
#include "media/video_source.h"

#include <cmath>

namespace flickbook::media {

namespace {

// A container index that points past the end of the file means the file was
// cut short (a copy or a recording that stopped early).
bool indexReachesPastEnd(const VideoSource& source, const std::filesystem::path& path) {
    const AVStream* stream = source.stream();
    const int entries = avformat_index_get_entries_count(stream);
    if (entries <= 0)
        return false;
    const AVIndexEntry* last = avformat_index_get_entry(const_cast<AVStream*>(stream), entries - 1);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return last && !ec && std::uint64_t(last->pos) + std::uint64_t(last->size) > size;
}

} // namespace

Result<MediaInfo> probe(const std::filesystem::path& path) {
    auto source = VideoSource::open(path);
    if (!source)
        return source.error();
    if (indexReachesPastEnd(*source, path))
        return makeError("media.truncated", path.filename().string() + " is cut short.");

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
    if (!first)
        return first.error();
    if (!*first)
        return makeError("media.no_video", path.filename().string() + " has no decodable frame.");
    return info;
}

} // namespace flickbook::media
