#include "media/frame_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace flickbook::media {

FrameReader::FrameReader(VideoSource source)
    : source_(std::move(source)), packet_(av_packet_alloc()), frame_(av_frame_alloc()),
      last_(av_frame_alloc()), startTime_(source_.startSeconds()) {}

Result<bool> FrameReader::next() {
    if (!packet_ || !frame_ || !last_)
        return makeError("media.memory", "Out of memory while decoding video.");
    AVCodecContext* decoder = source_.decoder();
    for (;;) {
        if (ended_)
            return false;
        int rc = avcodec_receive_frame(decoder, frame_.get());
        if (rc == 0) {
            std::int64_t pts = frame_->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE)
                pts = frame_->pts;
            // Frames an edit list keeps off screen come before the stream's
            // start; not every decoder drops them (libdav1d, for AV1, does not).
            const std::int64_t start = source_.stream()->start_time;
            if (pts != AV_NOPTS_VALUE && start != AV_NOPTS_VALUE && pts < start) {
                av_frame_unref(frame_.get());
                continue;
            }
            currentTime_ = pts == AV_NOPTS_VALUE
                               ? currentTime_
                               : pts * av_q2d(source_.stream()->time_base) - startTime_;
            av_frame_unref(last_.get());
            av_frame_ref(last_.get(), frame_.get());
            return true;
        }
        if (rc == AVERROR_EOF) {
            ended_ = true;
            if (last_->buf[0])
                av_frame_ref(frame_.get(), last_.get());
            return false;
        }
        // A damaged frame is lost; the frames the decoder still holds, and
        // those after it, come on.
        if (rc == AVERROR_INVALIDDATA)
            continue;
        if (rc != AVERROR(EAGAIN))
            return keepLastFrame(
                makeError("media.decode", "The video cannot be decoded: " + errorText(rc)));

        if (flushing_)
            continue; // drain until the decoder says end of stream
        rc = av_read_frame(source_.format(), packet_.get());
        if (rc == AVERROR_EOF || rc == AVERROR(EIO) || rc == AVERROR_INVALIDDATA) {
            // The end of the file, or of its readable part: drain what is buffered.
            flushing_ = true;
            avcodec_send_packet(decoder, nullptr);
            continue;
        }
        if (rc < 0)
            return keepLastFrame(
                makeError("media.read", "Reading the video failed: " + errorText(rc)));
        if (packet_->stream_index == source_.streamIndex()) {
            // Read by the decoder (and its frame threads) as each packet
            // goes in, so it may change from one packet to the next.
            if (!wantedTimes_.empty())
                decoder->skip_frame = wanted(*packet_) ? AVDISCARD_DEFAULT : AVDISCARD_NONREF;
            rc = avcodec_send_packet(decoder, packet_.get());
            // A damaged packet costs its frame, not the clip.
            if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_INVALIDDATA) {
                av_packet_unref(packet_.get());
                return keepLastFrame(
                    makeError("media.decode", "The video cannot be decoded: " + errorText(rc)));
            }
        }
        av_packet_unref(packet_.get());
    }
}

Error FrameReader::keepLastFrame(Error error) {
    // The decoder clears the frame it was asked for; the last good one stays
    // current, as at the end.
    if (last_->buf[0] && !frame_->buf[0])
        av_frame_ref(frame_.get(), last_.get());
    return error;
}

void FrameReader::decodeOnlyNear(std::vector<double> seconds, double window) {
    wantedTimes_ = std::move(seconds);
    wantedWindow_ = window;
    if (wantedTimes_.empty())
        source_.decoder()->skip_frame = AVDISCARD_DEFAULT;
}

bool FrameReader::wanted(const AVPacket& packet) const {
    if (packet.pts == AV_NOPTS_VALUE)
        return true;
    const double t = packet.pts * av_q2d(source_.stream()->time_base) - startTime_;
    // The first wanted time not before the window's start.
    auto near = std::lower_bound(wantedTimes_.begin(), wantedTimes_.end(), t - wantedWindow_);
    return near != wantedTimes_.end() && *near <= t + wantedWindow_;
}

Result<void> FrameReader::seekTo(double seconds) {
    const AVStream* s = source_.stream();
    const auto target = std::int64_t(std::floor((seconds + startTime_) / av_q2d(s->time_base)));
    int rc = av_seek_frame(source_.format(), source_.streamIndex(), target, AVSEEK_FLAG_BACKWARD);
    if (rc < 0)
        return makeError("media.seek", "Cannot seek in the video: " + errorText(rc));
    avcodec_flush_buffers(source_.decoder());
    flushing_ = false;
    ended_ = false;
    return {};
}

namespace {

// A decoded frame upright, fitted inside maxWidth × maxHeight; the scaler is
// reused when it fits the frame, and so are the pixels of `reuse`.
Result<image::RgbaImage> uprightImage(const AVFrame& frame, int rotation, ScalerHandle& scaler,
                                      int maxWidth, int maxHeight, bool allowEnlarge,
                                      image::RgbaImage reuse) {
    const bool sideways = rotation == 90 || rotation == 270;
    if (!frame.buf[0])
        return makeError("media.no_frame", "No video frame has been decoded.");
    const int w = frame.width, h = frame.height;
    if (w <= 0 || h <= 0 || maxWidth <= 0 || maxHeight <= 0)
        return makeError("media.size", "There is no picture to scale.");
    const double displayW = sideways ? h : w, displayH = sideways ? w : h;
    double scale = std::min(maxWidth / displayW, maxHeight / displayH);
    if (!allowEnlarge)
        scale = std::min(scale, 1.0);
    const int outW = std::max(1, int(std::lround(displayW * scale)));
    const int outH = std::max(1, int(std::lround(displayH * scale)));
    const int scaledW = sideways ? outH : outW, scaledH = sideways ? outW : outH;

    scaler.reset(sws_getCachedContext(scaler.release(), w, h, AVPixelFormat(frame.format), scaledW,
                                      scaledH, AV_PIX_FMT_RGBA, scale < 1 ? SWS_AREA : SWS_BICUBIC,
                                      nullptr, nullptr, nullptr));
    if (!scaler)
        return makeError("media.scale", "The video's pixel format cannot be converted.");
    image::RgbaImage out = std::move(reuse);
    out.width = std::uint32_t(scaledW);
    out.height = std::uint32_t(scaledH);
    out.pixels.resize(std::size_t(scaledW) * scaledH * 4);
    std::uint8_t* planes[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {scaledW * 4, 0, 0, 0};
    if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, h, planes, strides) != scaledH)
        return makeError("media.scale", "The video's picture could not be scaled.");
    // Returned by name when upright, so that the picture is moved, not copied.
    if (rotation)
        return rotateClockwise(out, rotation);
    return out;
}

} // namespace

Result<image::RgbaImage> FrameReader::currentImage(int maxWidth, int maxHeight, bool allowEnlarge) {
    return uprightImage(*frame_, source_.rotation(), scaler_, maxWidth, maxHeight, allowEnlarge,
                        {});
}

Result<image::RgbaImage> FrameReader::currentImage(image::RgbaImage reuse, int maxWidth,
                                                   int maxHeight, bool allowEnlarge) {
    return uprightImage(*frame_, source_.rotation(), scaler_, maxWidth, maxHeight, allowEnlarge,
                        std::move(reuse));
}

Result<KeptFrame> FrameReader::keepCurrent() const {
    if (!frame_->buf[0])
        return makeError("media.no_frame", "No video frame has been decoded.");
    KeptFrame kept;
    kept.frame_.reset(av_frame_clone(frame_.get()), FrameFreer{});
    if (!kept.frame_)
        return makeError("media.memory", "Out of memory while keeping a video frame.");
    kept.rotation_ = source_.rotation();
    return kept;
}

Result<image::RgbaImage> KeptFrame::image(int maxWidth, int maxHeight, bool allowEnlarge) const {
    if (!frame_)
        return makeError("media.no_frame", "No video frame was kept.");
    FrameScaler scaler;
    return image(scaler, maxWidth, maxHeight, allowEnlarge);
}

Result<image::RgbaImage> KeptFrame::image(FrameScaler& scaler, int maxWidth, int maxHeight,
                                          bool allowEnlarge, image::RgbaImage reuse) const {
    if (!frame_)
        return makeError("media.no_frame", "No video frame was kept.");
    return uprightImage(*frame_, rotation_, scaler.scaler_, maxWidth, maxHeight, allowEnlarge,
                        std::move(reuse));
}

std::size_t KeptFrame::bytes() const {
    std::size_t total = 0;
    if (frame_)
        for (const AVBufferRef* buffer : frame_->buf)
            if (buffer)
                total += buffer->size;
    return total;
}

Result<void> FrameReader::copyCurrentPlanes(PlanarPicture& out) {
    if (!frame_->buf[0])
        return makeError("media.no_frame", "No video frame has been decoded.");
    const int w = frame_->width, h = frame_->height;
    if (w <= 0 || h <= 0)
        return makeError("media.size", "There is no picture to copy.");
    const auto format = AVPixelFormat(frame_->format);
    out.width = w;
    out.height = h;
    out.seconds = currentTime_;
    out.fullRange = frame_->color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P;
    switch (frame_->colorspace) {
    case AVCOL_SPC_BT709:
        out.matrix = PlanarPicture::Matrix::Bt709;
        break;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        out.matrix = PlanarPicture::Matrix::Bt2020;
        break;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        out.matrix = PlanarPicture::Matrix::Bt601;
        break;
    default: // untagged: what players assume, by the picture's height
        out.matrix = h > 576 ? PlanarPicture::Matrix::Bt709 : PlanarPicture::Matrix::Bt601;
    }
    // Sized as before when the picture is reused: its memory is kept.
    const int cw = out.chromaWidth(), ch = out.chromaHeight();
    out.samples.resize(out.lumaSize() + 2 * out.chromaSize());
    std::uint8_t* planes[4] = {out.samples.data(), out.samples.data() + out.lumaSize(),
                               out.samples.data() + out.lumaSize() + out.chromaSize(), nullptr};
    int strides[4] = {w, cw, cw, 0};
    if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) {
        const int rows[3] = {h, ch, ch};
        for (int p = 0; p < 3; ++p)
            for (int r = 0; r < rows[p]; ++r)
                std::memcpy(planes[p] + std::size_t(r) * strides[p],
                            frame_->data[p] + std::ptrdiff_t(r) * frame_->linesize[p],
                            std::size_t(strides[p]));
        return {};
    }
    planeScaler_.reset(sws_getCachedContext(planeScaler_.release(), w, h, format, w, h,
                                            AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr,
                                            nullptr));
    if (!planeScaler_)
        return makeError("media.scale", "The video's pixel format cannot be converted.");
    sws_scale(planeScaler_.get(), frame_->data, frame_->linesize, 0, h, planes, strides);
    return {};
}

Result<PlanarPicture> FrameReader::currentPlanes() {
    PlanarPicture out;
    if (auto copied = copyCurrentPlanes(out); !copied)
        return copied.error();
    return out;
}

image::RgbaImage rotateClockwise(const image::RgbaImage& in, int degrees) {
    if (degrees % 360 == 0)
        return in;
    const bool sideways = degrees == 90 || degrees == 270;
    image::RgbaImage out;
    out.width = sideways ? in.height : in.width;
    out.height = sideways ? in.width : in.height;
    out.pixels.resize(in.pixels.size());
    for (std::uint32_t y = 0; y < in.height; ++y)
        for (std::uint32_t x = 0; x < in.width; ++x) {
            std::uint32_t ox, oy;
            if (degrees == 90) {
                ox = in.height - 1 - y;
                oy = x;
            } else if (degrees == 180) {
                ox = in.width - 1 - x;
                oy = in.height - 1 - y;
            } else {
                ox = y;
                oy = in.width - 1 - x;
            }
            std::memcpy(&out.pixels[(std::size_t(oy) * out.width + ox) * 4],
                        &in.pixels[(std::size_t(y) * in.width + x) * 4], 4);
        }
    return out;
}

} // namespace flickbook::media
