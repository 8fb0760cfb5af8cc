#include "media/video_cutter.h"

#include "core/output_file.h"
#include "media/cut_output.h"
#include "media/ffmpeg_handles.h"
#include "media/movie_edits.h"
#include "media/probe.h"
#include "media/reencoded_cut.h"
#include "media/video_source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <vector>

namespace flickbook::media {

namespace fs = std::filesystem;

namespace {

// How much finer the video's time units are in the new file; frames before
// the cut's start are shown this many times faster (see Cut::write).
constexpr int kLeadInPacking = 256;

// One cut in progress: reads packets from the source and writes the stretch.
class Cut {
public:
    Cut(VideoSource& source, int audioIndex, AVFormatContext* output, StreamRange range)
        : source_(source), in_(source.format()), out_(output), videoIn_(source.streamIndex()),
          audioIn_(audioIndex), startTs_(range.start), endTs_(range.end) {
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
            else if (packet->flags & AV_PKT_FLAG_KEY)
                dropHeldBefore(packet->pts);
            // Decided once decoding order passes the start (no later packet
            // can be shown before it), or after more frames past it than any
            // encoder reorders, or when the lead-in grows past all reason.
            const bool decided = (packet->dts != AV_NOPTS_VALUE && packet->dts > startTs_) ||
                                 pastStart_ > kReorderLimit || held_.size() >= kMaxHeld;
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

    // A keyframe at or before the start: decoding can begin there, so what
    // was held before it is not needed. Sound that ends before it goes too.
    void dropHeldBefore(std::int64_t keyPts) {
        const AVRational vtb = source_.stream()->time_base;
        std::erase_if(held_, [&](const PacketHandle& p) {
            if (p->stream_index == videoIn_)
                return true;
            const AVRational tb = in_->streams[p->stream_index]->time_base;
            const std::int64_t length = std::max<std::int64_t>(p->duration, 1);
            return av_compare_ts(p->pts + length, tb, keyPts, vtb) <= 0;
        });
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
    // Packets held before the start is settled: a keyframe interval of
    // several minutes at 60 fps, with its sound.
    static constexpr std::size_t kMaxHeld = 40000;

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

// How a file is cut: the container written, the sound kept (-1 for none)
// and whether the start has to be converted (see reencoded_cut.h).
struct CutPlan {
    const AVOutputFormat* container = nullptr;
    const char* extension = ".mp4";
    int audioIndex = -1;
    bool reencodeHead = false;
};

bool carries(const AVOutputFormat* format, const AVStream* stream) {
    if (!format)
        return false;
    // FFmpeg writes Vorbis into MP4 under a private object type that no
    // other player reads.
    const bool isoFile = std::string(format->name) == "mp4" || std::string(format->name) == "mov";
    if (isoFile && stream->codecpar->codec_id == AV_CODEC_ID_VORBIS)
        return false;
    return avformat_query_codec(format, stream->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1;
}

const char* extensionFor(const AVOutputFormat* format) {
    const std::string name = format->name;
    return name == "mp4" ? ".mp4" : name == "mov" ? ".mov" : name == "webm" ? ".webm" : ".mkv";
}

// Video that MP4 or QuickTime carries is copied with an edit list. VP8,
// which FFmpeg cannot write into either, goes to WebM (Matroska when the
// sound needs it) with its start converted. Sound that no container taking
// the picture can carry is left out rather than failing the cut.
std::optional<CutPlan> planFor(const VideoSource& source) {
    const AVStream* video = source.stream();
    AVFormatContext* in = source.format();
    const int audio =
        av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, source.streamIndex(), nullptr, 0);
    const AVStream* sound = audio >= 0 ? in->streams[audio] : nullptr;
    const bool copyable = video->codecpar->codec_id != AV_CODEC_ID_VP8;
    const std::vector<const char*> names = copyable ? std::vector<const char*>{"mp4", "mov"}
                                                    : std::vector<const char*>{"webm", "matroska"};
    std::optional<CutPlan> pictureOnly;
    for (const char* name : names) {
        const AVOutputFormat* format = av_guess_format(name, nullptr, nullptr);
        if (!carries(format, video))
            continue;
        CutPlan plan{format, extensionFor(format), -1, !copyable};
        if (!sound)
            return plan;
        if (carries(format, sound)) {
            plan.audioIndex = audio;
            return plan;
        }
        if (!pictureOnly)
            pictureOnly = plan;
    }
    return pictureOnly;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

struct CutOutput {
    OutputHandle format;
    AvioHandle io;
};

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
    // A file cut short gives what decodes of the range.
    const double available = info->decodesUntil.value_or(duration);
    if (request.startSeconds >= available - frame / 2)
        return makeError("cut.range", name + " stops decoding at " + secondsText(available) +
                                          " s, before the range to cut begins.");
    const bool endsEarly = request.endSeconds > available + 1e-6;
    const double start = std::max(0.0, request.startSeconds);
    const double end = std::min({duration, request.endSeconds, available});
    std::error_code sizeError;
    const std::uint64_t sourceSize = fs::file_size(path, sizeError);
    // The packet a file cut short breaks off in is never copied.
    auto isBrokenOff = [&](const AVPacket& packet) {
        return info->decodesUntil && !sizeError && packet.pos >= 0 &&
               std::uint64_t(packet.pos) + std::uint64_t(packet.size) >= sourceSize;
    };

    auto opened = VideoSource::open(path);
    if (!opened)
        return opened.error();
    VideoSource& source = *opened;
    AVFormatContext* in = source.format();
    const auto plan = planFor(source);
    if (!plan)
        return makeError("cut.format", name + " holds video that cannot be cut without "
                                              "converting it.");
    auto range = streamRange(source.stream(), start, end);
    if (!range)
        return range.error();
    const int packing = plan->reencodeHead ? 1 : kLeadInPacking;
    if (source.stream()->time_base.den > std::numeric_limits<int>::max() / packing)
        return makeError("cut.format", name + " counts time in units too fine to cut.");

    fs::path destination = request.destination;
    if (destination.empty()) {
        std::error_code ec;
        fs::create_directories(request.folder, ec);
        destination = request.baseName.empty()
                          ? uniquePathIn(request.folder, "cut-", plan->extension)
                          : request.folder / (request.baseName + plan->extension);
    }
    auto file = OutputFile::create(destination);
    if (!file)
        return file.error();

    AVFormatContext* rawOutput = nullptr;
    if (avformat_alloc_output_context2(&rawOutput, plan->container, nullptr, nullptr) < 0)
        return makeError("file.create", "Cannot prepare " + destination.string() + ".");
    OutputHandle output(rawOutput);
    AvioHandle io = fileWriter(file->stream());
    if (!io)
        return makeError("file.create", "Out of memory preparing " + destination.string() + ".");
    output->pb = io.get();
    output->flags |= AVFMT_FLAG_CUSTOM_IO;
    std::vector<const AVStream*> copied{source.stream()};
    if (plan->audioIndex >= 0)
        copied.push_back(in->streams[plan->audioIndex]);
    for (const AVStream* s : copied)
        if (!addStreamLike(output.get(), s, s == source.stream() ? packing : 1))
            return makeError("file.create", "Cannot prepare " + destination.string() + ".");

    AVDictionary* options = nullptr;
    if (!plan->reencodeHead)
        av_dict_set(&options, "use_editlist", "1", 0);
    int rc = avformat_write_header(output.get(), &options);
    av_dict_free(&options);
    if (rc < 0)
        return writeError(destination, rc);

    ReadEnd readEnd(in, source.streamIndex(), source.startSeconds());
    auto pending = seekToKeyframeAtOrBefore(in, source.streamIndex(), range->start);
    if (!pending)
        return makeError(pending.error().code, name + ": " + pending.error().message);

    if (plan->reencodeHead) {
        auto written =
            writeReencodedCut(source, std::move(*pending), plan->audioIndex, output.get(), *range,
                              request.progress, destination, readEnd);
        if (!written)
            return makeError(written.error().code, written.error().code.starts_with("file.")
                                                       ? written.error().message
                                                       : name + ": " + written.error().message);
    } else {
        Cut cut(source, plan->audioIndex, output.get(), *range);
        auto feed = [&](PacketHandle packet) -> int {
            readEnd.note(*packet);
            const bool isVideo = packet->stream_index == source.streamIndex();
            const std::int64_t ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            const int taken = cut.take(std::move(packet));
            if (taken >= 0 && isVideo && request.progress && ts != AV_NOPTS_VALUE)
                request.progress(cut.progress(ts));
            return taken;
        };
        for (auto& packet : *pending) {
            if (isBrokenOff(*packet))
                continue;
            if (rc = feed(std::move(packet)); rc < 0)
                return writeError(destination, rc);
        }
        while (!cut.done()) {
            PacketHandle packet(av_packet_alloc());
            if (!packet)
                return makeError("cut.memory", "Out of memory.");
            rc = av_read_frame(in, packet.get());
            if (rc == AVERROR(EAGAIN))
                continue;
            if (rc < 0) {
                readEnd.reachedTheEnd();
                break; // the end of the source, or its damaged tail
            }
            if (isBrokenOff(*packet))
                continue;
            if (rc = feed(std::move(packet)); rc < 0)
                return writeError(destination, rc);
        }
        if (rc = cut.finish(); rc < 0)
            return writeError(destination, rc);
        if (!cut.wroteVideo())
            return makeError("cut.range", "No frame of " + name + " lies in the range to cut.");
    }
    if (rc = av_write_trailer(output.get()); rc < 0)
        return writeError(destination, rc);
    avio_flush(io.get());
    if (io->error < 0)
        return writeError(destination, io->error);
    // The copied frames can reach past the end: the last one lasts beyond it,
    // and reference frames for B-frames may lie after it.
    if (!plan->reencodeHead)
        if (auto trimmed = limitMovieDuration(file->stream(), end - start); !trimmed)
            return trimmed.error();
    if (auto placed = file->commit(); !placed)
        return placed.error();
    if (request.progress)
        request.progress(1.0);
    if (request.endsEarly) {
        if (endsEarly)
            request.endsEarly(available);
        else if (auto stop = readEnd.stopsShortOf(duration, end, frame))
            request.endsEarly(*stop);
    }
    return destination;
}

} // namespace flickbook::media
