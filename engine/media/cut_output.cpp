#include "media/cut_output.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <sys/types.h>

namespace flickbook::media {

namespace fs = std::filesystem;

namespace {

int writeToFile(void* opaque, std::uint8_t* bytes, int size) {
    auto* file = static_cast<std::FILE*>(opaque);
    if (std::fwrite(bytes, 1, std::size_t(size), file) == std::size_t(size))
        return size;
    // The system's reason (a full disk, a revoked permission) reaches the
    // message instead of a generic input/output error.
    return errno != 0 ? AVERROR(errno) : AVERROR(EIO);
}

std::int64_t seekInFile(void* opaque, std::int64_t offset, int whence) {
    auto* file = static_cast<std::FILE*>(opaque);
    if (whence & AVSEEK_SIZE) {
        const off_t here = ::ftello(file);
        if (::fseeko(file, 0, SEEK_END) != 0)
            return AVERROR(EIO);
        const off_t size = ::ftello(file);
        ::fseeko(file, here, SEEK_SET);
        return size;
    }
    return ::fseeko(file, offset, whence & ~AVSEEK_FORCE) == 0 ? ::ftello(file) : AVERROR(EIO);
}

// Packets read while looking for a keyframe; a keyframe interval longer than
// this is not something a camera or an encoder writes.
constexpr int kMaxPacketsToKeyframe = 20000;
// Each failed try goes twice as far back; this many reach back years.
constexpr int kMaxSeekTries = 40;

} // namespace

AvioHandle fileWriter(std::FILE* file) {
    constexpr int kBufferSize = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer)
        return nullptr;
    AVIOContext* io =
        avio_alloc_context(buffer, kBufferSize, 1, file, nullptr, writeToFile, seekInFile);
    if (!io)
        av_free(buffer);
    return AvioHandle(io);
}

Error writeError(const fs::path& destination, int code) {
    return makeError("file.write",
                     "Writing " + destination.string() + " failed: " + errorText(code) + ".");
}

ReadEnd::ReadEnd(const AVFormatContext* format, int videoIndex, double videoStartSeconds)
    : format_(format), videoIndex_(videoIndex), videoStart_(videoStartSeconds),
      formatStart_(format->start_time != AV_NOPTS_VALUE
                       ? double(format->start_time) / double(AV_TIME_BASE)
                       : 0.0) {}

void ReadEnd::note(const AVPacket& packet) {
    if (packet.pts == AV_NOPTS_VALUE || packet.stream_index < 0 ||
        unsigned(packet.stream_index) >= format_->nb_streams)
        return;
    const AVStream* stream = format_->streams[packet.stream_index];
    const double ends =
        double(packet.pts + std::max<std::int64_t>(packet.duration, 0)) * av_q2d(stream->time_base);
    anyStream_ = std::max(anyStream_, ends - formatStart_);
    if (packet.stream_index == videoIndex_)
        video_ = std::max(video_, ends - videoStart_);
}

std::optional<double> ReadEnd::stopsShortOf(double statedDuration, double cutEnd,
                                            double frame) const {
    if (!reachedTheEnd_ || video_ <= 0 || video_ + frame / 2 >= cutEnd ||
        anyStream_ + 1.5 * frame >= statedDuration)
        return std::nullopt;
    return video_;
}

Result<StreamRange> streamRange(const AVStream* video, double startSeconds, double endSeconds) {
    const AVRational tb = video->time_base;
    if (tb.num <= 0 || tb.den <= 0)
        return makeError("cut.range", "The video's time base is not usable.");
    const std::int64_t origin = video->start_time != AV_NOPTS_VALUE ? video->start_time : 0;
    // Timestamps later get multiplied (see the packing of the lead-in), so
    // keep well inside 64 bits.
    constexpr double kLimit = double(std::numeric_limits<std::int64_t>::max() >> 12);
    const double start = startSeconds * tb.den / tb.num;
    const double end = endSeconds * tb.den / tb.num;
    if (!std::isfinite(start) || !std::isfinite(end) ||
        std::abs(start) + std::abs(double(origin)) > kLimit ||
        std::abs(end) + std::abs(double(origin)) > kLimit)
        return makeError("cut.range", "The range to cut does not fit the video's timestamps.");
    return StreamRange{origin + std::llround(start), origin + std::llround(end)};
}

Result<std::deque<PacketHandle>> seekToKeyframeAtOrBefore(AVFormatContext* format, int videoIndex,
                                                          std::int64_t ts) {
    const AVStream* video = format->streams[videoIndex];
    const std::int64_t first = video->start_time != AV_NOPTS_VALUE ? video->start_time : 0;
    // One second in stream units to begin with.
    std::int64_t step =
        std::max<std::int64_t>(1, av_rescale_q(1, AVRational{1, 1}, video->time_base));
    std::int64_t target = ts;
    bool byBytes = false;
    for (int tries = 0; tries < kMaxSeekTries; ++tries) {
        const bool fromBeginning = target <= first;
        int rc = -1;
        if (fromBeginning && byBytes) {
            rc = av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
        } else if (fromBeginning) {
            rc = avformat_seek_file(format, videoIndex, std::numeric_limits<std::int64_t>::min(),
                                    first, first, 0);
        } else {
            rc = av_seek_frame(format, videoIndex, target, AVSEEK_FLAG_BACKWARD);
            if (rc < 0) {
                // No seeking by time (a file without index or timestamps):
                // read from the beginning.
                target = first;
                continue;
            }
        }
        std::deque<PacketHandle> read;
        const AVPacket* key = nullptr;
        for (int videoPackets = 0; !key && videoPackets < kMaxPacketsToKeyframe;) {
            PacketHandle packet(av_packet_alloc());
            if (!packet)
                return makeError("cut.memory", "Out of memory.");
            rc = av_read_frame(format, packet.get());
            if (rc == AVERROR(EAGAIN))
                continue;
            if (rc < 0)
                break;
            if (packet->stream_index == videoIndex) {
                ++videoPackets;
                if (!(packet->flags & AV_PKT_FLAG_KEY))
                    continue; // cannot be decoded without what came before
                key = packet.get();
                read.push_back(std::move(packet));
            }
            // Sound before the keyframe is of no use to a cut starting there.
        }
        const std::int64_t keyTs = !key                         ? AV_NOPTS_VALUE
                                   : key->pts != AV_NOPTS_VALUE ? key->pts
                                                                : key->dts;
        if (key && keyTs != AV_NOPTS_VALUE && keyTs <= ts)
            return read;
        if (fromBeginning) {
            // MPEG-TS's timestamp search may land a little after the
            // beginning; its first byte is the sure one.
            if (!byBytes && !(format->iformat->flags & AVFMT_NO_BYTE_SEEK)) {
                byBytes = true;
                continue;
            }
            if (key)
                return read; // the first keyframe of the file comes after ts
            break;
        }
        target = key && keyTs != AV_NOPTS_VALUE ? std::min(target, keyTs) - step : target - step;
        if (step < std::numeric_limits<std::int64_t>::max() / 4)
            step *= 2;
    }
    return makeError("cut.seek", "No keyframe to start decoding from lies before the cut's start.");
}

} // namespace flickbook::media
