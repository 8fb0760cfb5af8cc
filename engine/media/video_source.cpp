#include "media/video_source.h"

#include <cmath>
#include <mutex>
#include <system_error>

extern "C" {
#include <libavutil/display.h>
}

namespace flickbook::media {

Result<VideoSource> VideoSource::open(const std::filesystem::path& path, int decoderThreads) {
    // Problems reach the caller as errors; FFmpeg's own chatter stays quiet.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return makeError("media.not_found", "There is no file at " + path.string() + ".");
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0)
        return makeError("media.unreadable",
                         path.filename().string() + " cannot be read as media: " + errorText(rc));
    VideoSource source;
    source.format_.reset(raw);
    rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0)
        return makeError("media.unreadable",
                         path.filename().string() + " is damaged: " + errorText(rc));
    const AVCodec* codec = nullptr;
    rc = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (rc < 0 || !codec)
        return makeError("media.no_video",
                         path.filename().string() + " has no video that can be decoded.");
    source.streamIndex_ = rc;
    // Still images (cover art) are not video.
    if (raw->streams[rc]->disposition & AV_DISPOSITION_ATTACHED_PIC)
        return makeError("media.no_video", path.filename().string() + " holds no moving picture.");

    source.decoder_.reset(avcodec_alloc_context3(codec));
    if (!source.decoder_)
        return makeError("media.memory", "Out of memory opening " + path.filename().string() + ".");
    avcodec_parameters_to_context(source.decoder_.get(), raw->streams[rc]->codecpar);
    source.decoder_->thread_count = decoderThreads;
    rc = avcodec_open2(source.decoder_.get(), codec, nullptr);
    if (rc < 0)
        return makeError("media.no_video", "The video of " + path.filename().string() +
                                               " cannot be decoded: " + errorText(rc));
    if (source.decoder_->width <= 0 || source.decoder_->height <= 0)
        return makeError("media.no_video",
                         path.filename().string() + " has a video stream without a picture size.");
    return source;
}

double VideoSource::halfFrameSeconds() const {
    const double rate = frameRate();
    return rate > 0 ? 0.5 / rate : 0.02;
}

double VideoSource::keyframeAtOrBefore(double seconds) const {
    return indexedKeyframe(seconds, true);
}

double VideoSource::keyframeAtOrAfter(double seconds) const {
    return indexedKeyframe(seconds, false);
}

double VideoSource::indexedKeyframe(double seconds, bool before) const {
    AVStream* s = stream();
    const double ticks = (seconds + startSeconds()) / av_q2d(s->time_base);
    // Keyframes only, as AVSEEK_FLAG_ANY is not given.
    const int i = before ? av_index_search_timestamp(s, std::int64_t(ticks), AVSEEK_FLAG_BACKWARD)
                         : av_index_search_timestamp(s, std::int64_t(std::ceil(ticks)), 0);
    if (i < 0)
        return std::nan("");
    return avformat_index_get_entry(s, i)->timestamp * av_q2d(s->time_base) - startSeconds();
}

int VideoSource::rotation() const {
    const std::uint8_t* matrix =
        av_stream_get_side_data(stream(), AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!matrix)
        return 0;
    // FFmpeg gives the counter-clockwise angle that undoes the rotation.
    const double ccw = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
    if (std::isnan(ccw))
        return 0;
    int clockwise = int(std::lround(-ccw)) % 360;
    if (clockwise < 0)
        clockwise += 360;
    return (clockwise + 45) / 90 % 4 * 90;
}

double VideoSource::durationSeconds() const {
    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
        return format_->duration / double(AV_TIME_BASE);
    const AVStream* s = stream();
    if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
        return s->duration * av_q2d(s->time_base);
    return std::nan("");
}

double VideoSource::startSeconds() const {
    const AVStream* s = stream();
    return s->start_time != AV_NOPTS_VALUE ? s->start_time * av_q2d(s->time_base) : 0.0;
}

double VideoSource::frameRate() const {
    AVRational rate = stream()->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = stream()->r_frame_rate;
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
}

bool VideoSource::hasAudio() const {
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (format_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return true;
    return false;
}

} // namespace flickbook::media
