#include "media/video_cutter.h"

#include "core/output_file.h"
#include "media/ffmpeg_handles.h"
#include "media/movie_edits.h"
#include "media/probe.h"
#include "media/video_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

namespace flickbook::media {

namespace fs = std::filesystem;

namespace {

// libavformat writing into an OutputFile: the muxer seeks back to fill in
// sizes, so the file is written through its stdio stream.
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

int writeToFile(void* opaque, std::uint8_t* bytes, int size) {
    auto* file = static_cast<std::FILE*>(opaque);
    return std::fwrite(bytes, 1, std::size_t(size), file) == std::size_t(size) ? size
                                                                               : AVERROR(EIO);
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

// MP4 when it can carry every stream, else QuickTime, which carries more.
const AVOutputFormat* containerFor(const std::vector<const AVStream*>& streams) {
    for (const char* name : {"mp4", "mov"}) {
        const AVOutputFormat* format = av_guess_format(name, nullptr, nullptr);
        bool fits = format != nullptr;
        for (const AVStream* s : streams)
            fits = fits &&
                   avformat_query_codec(format, s->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1;
        if (fits)
            return format;
    }
    return nullptr;
}

Error writeError(const fs::path& destination, int code) {
    return makeError("file.write",
                     "Writing " + destination.string() + " failed: " + errorText(code) + ".");
}

// How much finer the video's time units are in the new file; frames before
// the cut's start are shown this many times faster (see Cut::write).
constexpr int kLeadInPacking = 256;

// One cut in progress: reads packets from the source and writes the stretch.
class Cut {
public:
    Cut(VideoSource& source, int audioIndex, AVFormatContext* output, double start, double end)
        : source_(source), in_(source.format()), out_(output), videoIn_(source.streamIndex()),
          audioIn_(audioIndex) {
        const AVStream* video = source.stream();
        const std::int64_t origin = video->start_time != AV_NOPTS_VALUE ? video->start_time : 0;
        startTs_ = origin + std::llround(start / av_q2d(video->time_base));
        endTs_ = origin + std::llround(end / av_q2d(video->time_base));
        audioDone_ = audioIn_ < 0;
    }

    std::int64_t startTs() const { return startTs_; }

    // Feeds one source packet; errors come from writing.
    int take(PacketHandle packet) {
        if (packet->stream_index == videoIn_)
            return takeVideo(std::move(packet));
        if (packet->stream_index == audioIn_)
            return takeAudio(std::move(packet));
        return 0;
    }

    // The source ended: whatever is still held back is settled.
    int finish() {
        if (!snapped_)
            return snap();
        return 0;
    }

    bool done() const { return snapped_ && videoDone_ && audioDone_; }
    bool wroteVideo() const { return framesInRange_ > 0; }
    // How far the video has been read, 0..1.
    double progress(std::int64_t ts) const {
        if (endTs_ <= startTs_)
            return 1.0;
        return std::clamp(double(ts - startTs_) / double(endTs_ - startTs_), 0.0, 1.0);
    }

private:
    int takeVideo(PacketHandle packet) {
        if (videoDone_)
            return 0;
        if (!started_) {
            // Copied video must open on a keyframe.
            if (!(packet->flags & AV_PKT_FLAG_KEY))
                return 0;
            started_ = true;
        }
        if (packet->pts == AV_NOPTS_VALUE)
            packet->pts = packet->dts;
        if (packet->pts == AV_NOPTS_VALUE)
            return 0;
        if (!snapped_) {
            if (packet->pts > startTs_)
                ++pastStart_;
            const bool decided = (packet->dts != AV_NOPTS_VALUE && packet->dts > startTs_) ||
                                 pastStart_ > kReorderLimit;
            held_.push_back(std::move(packet));
            return decided ? snap() : 0;
        }
        return place(std::move(packet));
    }

    int takeAudio(PacketHandle packet) {
        if (audioDone_ || packet->pts == AV_NOPTS_VALUE)
            return 0;
        if (!snapped_) {
            held_.push_back(std::move(packet));
            return 0;
        }
        return place(std::move(packet));
    }

    // The cut starts at the frame on screen at the start time: the last frame
    // stamped at or before it (the first frame when the start precedes all).
    int snap() {
        snapped_ = true;
        std::int64_t best = std::numeric_limits<std::int64_t>::min();
        std::int64_t first = std::numeric_limits<std::int64_t>::max();
        for (const auto& p : held_) {
            if (p->stream_index != videoIn_)
                continue;
            first = std::min(first, p->pts);
            if (p->pts <= startTs_)
                best = std::max(best, p->pts);
        }
        origin_ = best != std::numeric_limits<std::int64_t>::min() ? best : first;
        if (first == std::numeric_limits<std::int64_t>::max())
            origin_ = startTs_;
        std::deque<PacketHandle> held;
        held.swap(held_);
        for (auto& p : held)
            if (int rc = place(std::move(p)); rc < 0)
                return rc;
        return 0;
    }

    // Decides where a packet goes once the origin is known.
    int place(PacketHandle packet) {
        if (packet->stream_index == audioIn_) {
            const AVRational tb = in_->streams[audioIn_]->time_base;
            const AVRational vtb = source_.stream()->time_base;
            const std::int64_t from = av_rescale_q(origin_, vtb, tb);
            const std::int64_t to = av_rescale_q(endTs_, vtb, tb);
            if (packet->pts >= to) {
                audioDone_ = true;
                return 0;
            }
            const std::int64_t length = std::max<std::int64_t>(packet->duration, 1);
            if (packet->pts + length <= from)
                return 0;
            return write(std::move(packet), from, audioOut_);
        }
        if (videoDone_)
            return 0;
        // Timestamps only grow in decoding order and no frame is shown
        // before it is decoded: from here on every frame lies past the end.
        if (packet->dts != AV_NOPTS_VALUE && packet->dts >= endTs_) {
            videoDone_ = true;
            tail_.clear();
            return 0;
        }
        if (packet->pts >= endTs_) {
            // Kept only if a frame inside the range turns out to need it;
            // no encoder holds back this many frames.
            tail_.push_back(std::move(packet));
            if (tail_.size() > kReorderLimit) {
                videoDone_ = true;
                tail_.clear();
            }
            return 0;
        }
        for (auto& t : tail_) {
            if (int rc = write(std::move(t), origin_, videoOut_); rc < 0)
                return rc;
        }
        tail_.clear();
        if (packet->pts >= origin_)
            ++framesInRange_;
        return write(std::move(packet), origin_, videoOut_);
    }

    int write(PacketHandle packet, std::int64_t shift, int outIndex) {
        const AVRational from = in_->streams[packet->stream_index]->time_base;
        AVRational units = from;
        if (outIndex == videoOut_) {
            // Frames before the origin are decoded but never shown. They are
            // packed into a sliver of time just before it, so that the media
            // timeline and the presentation timeline nearly coincide:
            // GStreamer's MP4 demuxer ends playback early when an edit starts
            // far into the media.
            auto packed = [](std::int64_t t) { return t >= 0 ? t * kLeadInPacking : t; };
            const bool shown = packet->pts >= shift;
            packet->pts = packed(packet->pts - shift);
            if (packet->dts != AV_NOPTS_VALUE)
                packet->dts = packed(packet->dts - shift);
            if (shown)
                packet->duration *= kLeadInPacking;
            units.den *= kLeadInPacking;
        } else {
            packet->pts -= shift;
            if (packet->dts != AV_NOPTS_VALUE)
                packet->dts -= shift;
        }
        packet->stream_index = outIndex;
        packet->pos = -1;
        av_packet_rescale_ts(packet.get(), units, out_->streams[outIndex]->time_base);
        return av_interleaved_write_frame(out_, packet.get());
    }

    static constexpr std::size_t kReorderLimit = 16;

    VideoSource& source_;
    AVFormatContext* in_;
    AVFormatContext* out_;
    int videoIn_;
    int audioIn_;
    int videoOut_ = 0;
    int audioOut_ = 1;
    std::int64_t startTs_ = 0;
    std::int64_t endTs_ = 0;
    std::int64_t origin_ = 0;
    bool started_ = false;
    bool snapped_ = false;
    bool videoDone_ = false;
    bool audioDone_ = false;
    std::size_t pastStart_ = 0;
    long framesInRange_ = 0;
    std::deque<PacketHandle> held_;
    std::deque<PacketHandle> tail_;
};

AVStream* addStreamLike(AVFormatContext* output, const AVStream* input, int timeScaling) {
    AVStream* stream = avformat_new_stream(output, nullptr);
    if (!stream || avcodec_parameters_copy(stream->codecpar, input->codecpar) < 0)
        return nullptr;
    stream->codecpar->codec_tag = 0; // let the container choose its own tag
    stream->time_base = input->time_base;
    stream->time_base.den *= timeScaling;
    stream->disposition = input->disposition;
    // Rotation travels as the display matrix.
    std::size_t size = 0;
    if (const std::uint8_t* matrix =
            av_stream_get_side_data(input, AV_PKT_DATA_DISPLAYMATRIX, &size)) {
        if (std::uint8_t* copy = av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, size))
            std::memcpy(copy, matrix, size);
    }
    if (const AVDictionaryEntry* language = av_dict_get(input->metadata, "language", nullptr, 0))
        av_dict_set(&stream->metadata, "language", language->value, 0);
    return stream;
}

} // namespace

Result<fs::path> cutVideo(const CutRequest& request) {
    const fs::path& path = request.source;
    const std::string name = path.filename().string();
    auto info = probe(path);
    if (!info)
        return info.error();
    const double duration = info->durationSeconds;
    const double frame = info->frameRate > 0 ? 1.0 / info->frameRate : 0.04;
    if (!(request.startSeconds < request.endSeconds))
        return makeError("cut.range", "The start of a cut must come before its end.");
    if (request.startSeconds < -1e-6 || request.startSeconds >= duration ||
        request.endSeconds > duration + frame)
        return makeError("cut.range", "The range to cut lies outside " + name + ", which lasts " +
                                          std::to_string(duration) + " s.");
    const double start = std::max(0.0, request.startSeconds);
    const double end = std::min(duration, request.endSeconds);

    auto opened = VideoSource::open(path);
    if (!opened)
        return opened.error();
    VideoSource& source = *opened;
    AVFormatContext* in = source.format();
    const int audioIndex =
        av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, source.streamIndex(), nullptr, 0);

    std::vector<const AVStream*> copied{source.stream()};
    if (audioIndex >= 0)
        copied.push_back(in->streams[audioIndex]);
    const AVOutputFormat* container = containerFor(copied);
    if (!container)
        return makeError("cut.format", name + " holds video or sound that cannot be cut without "
                                              "converting it.");

    fs::path destination = request.destination;
    if (destination.empty()) {
        std::error_code ec;
        fs::create_directories(request.folder, ec);
        const std::string extension = container->name == std::string("mp4") ? ".mp4" : ".mov";
        destination = request.baseName.empty() ? uniquePathIn(request.folder, "cut-", extension)
                                               : request.folder / (request.baseName + extension);
    }
    auto file = OutputFile::create(destination);
    if (!file)
        return file.error();

    AVFormatContext* rawOutput = nullptr;
    if (avformat_alloc_output_context2(&rawOutput, container, nullptr, nullptr) < 0)
        return makeError("file.create", "Cannot prepare " + destination.string() + ".");
    OutputHandle output(rawOutput);
    AvioHandle io = fileWriter(file->stream());
    if (!io)
        return makeError("file.create", "Out of memory preparing " + destination.string() + ".");
    output->pb = io.get();
    output->flags |= AVFMT_FLAG_CUSTOM_IO;
    for (const AVStream* s : copied)
        if (!addStreamLike(output.get(), s, s == source.stream() ? kLeadInPacking : 1))
            return makeError("file.create", "Cannot prepare " + destination.string() + ".");

    AVDictionary* options = nullptr;
    av_dict_set(&options, "use_editlist", "1", 0);
    int rc = avformat_write_header(output.get(), &options);
    av_dict_free(&options);
    if (rc < 0)
        return writeError(destination, rc);

    Cut cut(source, audioIndex, output.get(), start, end);
    // The keyframe at or before the start; without an index the file is read
    // from its beginning.
    av_seek_frame(in, source.streamIndex(), cut.startTs(), AVSEEK_FLAG_BACKWARD);

    while (!cut.done()) {
        PacketHandle packet(av_packet_alloc());
        if (!packet)
            return makeError("file.create", "Out of memory.");
        rc = av_read_frame(in, packet.get());
        if (rc == AVERROR(EAGAIN))
            continue;
        if (rc < 0)
            break; // the end of the source, or its damaged tail
        const bool isVideo = packet->stream_index == source.streamIndex();
        const std::int64_t ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (rc = cut.take(std::move(packet)); rc < 0)
            return writeError(destination, rc);
        if (isVideo && request.progress && ts != AV_NOPTS_VALUE)
            request.progress(cut.progress(ts));
    }
    if (rc = cut.finish(); rc < 0)
        return writeError(destination, rc);
    if (!cut.wroteVideo())
        return makeError("cut.range", "No frame of " + name + " lies in the range to cut.");
    if (rc = av_write_trailer(output.get()); rc < 0)
        return writeError(destination, rc);
    avio_flush(io.get());
    if (io->error < 0)
        return writeError(destination, io->error);
    // The copied frames can reach past the end: the last one lasts beyond it,
    // and reference frames for B-frames may lie after it.
    if (auto trimmed = limitMovieDuration(file->stream(), end - start); !trimmed)
        return trimmed.error();
    if (auto placed = file->commit(); !placed)
        return placed.error();
    if (request.progress)
        request.progress(1.0);
    return destination;
}

} // namespace flickbook::media
