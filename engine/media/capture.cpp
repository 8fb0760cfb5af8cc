#include "media/capture.h"

#include "core/output_file.h"
#include "media/ffmpeg_handles.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace flickbook::media {

namespace fs = std::filesystem;

namespace {

struct OutputCloser {
    void operator()(AVFormatContext* c) const {
        if (c && c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct ResamplerFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFreer {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using OutputHandle = std::unique_ptr<AVFormatContext, OutputCloser>;
using ResamplerHandle = std::unique_ptr<SwrContext, ResamplerFreer>;
using FifoHandle = std::unique_ptr<AVAudioFifo, FifoFreer>;

// The encoder's clock: fine enough for any camera's timestamps.
constexpr AVRational kVideoTimeBase{1, 90000};
// Frames waiting to be encoded before new ones are dropped (about two seconds).
constexpr std::size_t kMostFramesWaiting = 60;

Error ffmpegError(const char* code, const std::string& what, int error) {
    return makeError(code, what + ": " + errorText(error) + ".");
}

void registerDevices() {
    static std::once_flag once;
    std::call_once(once, [] {
        avdevice_register_all();
        // Problems reach the caller as errors; FFmpeg's own chatter stays quiet.
        av_log_set_level(AV_LOG_FATAL);
    });
}

// An opened live input with a decoder for its first stream of the kind asked.
struct LiveInput {
    InputHandle format;
    CodecHandle decoder;
    int stream = -1;

    static Result<LiveInput> open(const CaptureInput& input, AVMediaType kind) {
        registerDevices();
        const AVInputFormat* device = av_find_input_format(input.format.c_str());
        if (!device)
            return makeError("capture.open", "FFmpeg has no \"" + input.format + "\" input.");
        AVDictionary* options = nullptr;
        if (input.width > 0 && input.height > 0)
            av_dict_set(&options, "video_size",
                        (std::to_string(input.width) + "x" + std::to_string(input.height)).c_str(),
                        0);
        if (input.frameRate > 0)
            av_dict_set(&options, "framerate", std::to_string(input.frameRate).c_str(), 0);
        AVFormatContext* raw = nullptr;
        const int opened = avformat_open_input(&raw, input.url.c_str(), device, &options);
        av_dict_free(&options);
        if (opened < 0)
            return ffmpegError("capture.open", "Cannot open " + input.url, opened);
        LiveInput live;
        live.format.reset(raw);
        if (const int found = avformat_find_stream_info(raw, nullptr); found < 0)
            return ffmpegError("capture.open", "Cannot read " + input.url, found);
        const AVCodec* codec = nullptr;
        live.stream = av_find_best_stream(raw, kind, -1, -1, &codec, 0);
        if (live.stream < 0 || !codec)
            return makeError("capture.no_video",
                             input.url + " gives no " +
                                 (kind == AVMEDIA_TYPE_VIDEO ? "picture" : "sound") +
                                 " that can be decoded.");
        live.decoder.reset(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(live.decoder.get(), raw->streams[live.stream]->codecpar);
        if (const int ready = avcodec_open2(live.decoder.get(), codec, nullptr); ready < 0)
            return ffmpegError("capture.open", "Cannot decode " + input.url, ready);
        return live;
    }

    double seconds(std::int64_t pts) const {
        const AVStream* s = format->streams[stream];
        const std::int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
        return pts == AV_NOPTS_VALUE ? NAN : double(pts - start) * av_q2d(s->time_base);
    }
};

} // namespace

// Everything of one session; the threads see it through this.
struct CaptureSession::State {
    LiveInput camera;
    std::optional<LiveInput> microphone;
    FrameSink viewfinder;
    ScalerHandle scaler;
    int width = 0;
    int height = 0;
    double frameRate = 30;
    std::atomic<bool> stopping{false};
    std::thread cameraThread;
    std::thread microphoneThread;
    mutable std::mutex failureLock;
    std::optional<Error> captureFailure;

    // --- the recording, when there is one
    mutable std::mutex recordingLock; // guards everything below
    std::condition_variable framesWaiting;
    bool recording = false;
    bool finishing = false;
    OutputHandle output;
    CodecHandle videoEncoder;
    CodecHandle audioEncoder;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    ResamplerHandle resampler;
    FifoHandle fifo;
    std::int64_t audioSamples = 0;
    std::deque<std::shared_ptr<const CapturedFrame>> frames;
    std::thread encoderThread;
    double firstSeconds = NAN;
    double lastSeconds = NAN;
    std::int64_t lastPts = -1;
    std::int64_t framesWritten = 0;
    std::optional<Error> recordingFailure;
    std::mutex writeLock; // the muxer is shared by sound and picture
    fs::path partFile;
    fs::path destination;

    void failRecording(Error error) {
        if (!recordingFailure)
            recordingFailure = std::move(error);
    }

    Result<void> write(AVPacket* packet, AVCodecContext* encoder, AVStream* stream) {
        // Frames are stamped with when they were taken, so the encoder cannot
        // tell how long each lasts; one frame period keeps even a one-frame
        // clip's length in its index.
        if (packet->duration <= 0 && encoder->codec_type == AVMEDIA_TYPE_VIDEO &&
            encoder->framerate.num > 0)
            packet->duration = av_rescale_q(1, av_inv_q(encoder->framerate), encoder->time_base);
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        std::lock_guard lock(writeLock);
        if (const int written = av_interleaved_write_frame(output.get(), packet); written < 0)
            return ffmpegError("capture.write", "Writing the recording failed", written);
        return {};
    }

    // Sends a frame (or the end, with nullptr) and writes what comes out.
    Result<void> encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame) {
        if (const int sent = avcodec_send_frame(encoder, frame); sent < 0)
            return ffmpegError("capture.write", "Encoding the recording failed", sent);
        PacketHandle packet(av_packet_alloc());
        for (;;) {
            const int got = avcodec_receive_packet(encoder, packet.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return {};
            if (got < 0)
                return ffmpegError("capture.write", "Encoding the recording failed", got);
            auto written = write(packet.get(), encoder, stream);
            av_packet_unref(packet.get());
            if (!written)
                return written;
        }
    }

    void runCamera();
    void runMicrophone();
    void runEncoder();
    std::shared_ptr<CapturedFrame> convert(const AVFrame* frame, double seconds);
};

std::shared_ptr<CapturedFrame> CaptureSession::State::convert(const AVFrame* frame,
                                                              double seconds) {
    scaler.reset(sws_getCachedContext(scaler.release(), frame->width, frame->height,
                                      AVPixelFormat(frame->format), width, height,
                                      AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return nullptr;
    auto out = std::make_shared<CapturedFrame>();
    out->width = width;
    out->height = height;
    out->seconds = seconds;
    const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
    out->yuv.resize(std::size_t(width) * height + 2 * std::size_t(chromaWidth) * chromaHeight);
    std::uint8_t* planes[4] = {out->yuv.data(), out->yuv.data() + std::size_t(width) * height,
                               out->yuv.data() + std::size_t(width) * height +
                                   std::size_t(chromaWidth) * chromaHeight,
                               nullptr};
    int strides[4] = {width, chromaWidth, chromaWidth, 0};
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return out;
}

void CaptureSession::State::runCamera() {
    PacketHandle packet(av_packet_alloc());
    FrameHandle frame(av_frame_alloc());
    double clockStart = NAN;
    while (!stopping) {
        const int read = av_read_frame(camera.format.get(), packet.get());
        if (read == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (read < 0) {
            std::lock_guard lock(failureLock);
            captureFailure = ffmpegError("capture.stopped", "The camera stopped", read);
            return;
        }
        if (packet->stream_index != camera.stream) {
            av_packet_unref(packet.get());
            continue;
        }
        if (avcodec_send_packet(camera.decoder.get(), packet.get()) < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        av_packet_unref(packet.get());
        while (avcodec_receive_frame(camera.decoder.get(), frame.get()) == 0) {
            double seconds = camera.seconds(frame->best_effort_timestamp);
            if (std::isnan(clockStart))
                clockStart = std::isnan(seconds) ? 0.0 : seconds;
            seconds = std::isnan(seconds) ? 0.0 : seconds - clockStart;
            auto converted = convert(frame.get(), seconds);
            av_frame_unref(frame.get());
            if (!converted)
                continue;
            {
                std::lock_guard lock(recordingLock);
                if (recording && !finishing) {
                    if (frames.size() < kMostFramesWaiting) {
                        frames.push_back(converted);
                        framesWaiting.notify_one();
                    }
                }
            }
            if (viewfinder)
                viewfinder(std::move(converted));
        }
    }
}

void CaptureSession::State::runEncoder() {
    FrameHandle picture(av_frame_alloc());
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width;
    picture->height = height;
    av_frame_get_buffer(picture.get(), 0);
    for (;;) {
        std::shared_ptr<const CapturedFrame> next;
        {
            std::unique_lock lock(recordingLock);
            framesWaiting.wait(lock, [&] { return !frames.empty() || finishing; });
            if (frames.empty())
                break; // finishing, and everything is encoded
            next = frames.front();
            frames.pop_front();
            if (recordingFailure)
                continue; // nothing more is written once writing failed
            if (std::isnan(firstSeconds))
                firstSeconds = next->seconds;
        }
        av_frame_make_writable(picture.get());
        const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
        const std::uint8_t* y = next->yuv.data();
        const std::uint8_t* u = y + std::size_t(width) * height;
        const std::uint8_t* v = u + std::size_t(chromaWidth) * chromaHeight;
        for (int row = 0; row < height; ++row)
            std::copy_n(y + std::size_t(row) * width, width,
                        picture->data[0] + std::size_t(row) * picture->linesize[0]);
        for (int row = 0; row < chromaHeight; ++row) {
            std::copy_n(u + std::size_t(row) * chromaWidth, chromaWidth,
                        picture->data[1] + std::size_t(row) * picture->linesize[1]);
            std::copy_n(v + std::size_t(row) * chromaWidth, chromaWidth,
                        picture->data[2] + std::size_t(row) * picture->linesize[2]);
        }
        // Timed by the camera's own clock, never by when encoding got to it.
        std::int64_t pts =
            std::llround((next->seconds - firstSeconds) * kVideoTimeBase.den / kVideoTimeBase.num);
        if (pts <= lastPts)
            pts = lastPts + 1;
        lastPts = pts;
        picture->pts = pts;
        auto encoded = encode(videoEncoder.get(), videoStream, picture.get());
        std::lock_guard lock(recordingLock);
        if (!encoded) {
            failRecording(encoded.error());
            continue;
        }
        lastSeconds = next->seconds;
        ++framesWritten;
    }
}

void CaptureSession::State::runMicrophone() {
    PacketHandle packet(av_packet_alloc());
    FrameHandle frame(av_frame_alloc());
    while (!stopping) {
        const int read = av_read_frame(microphone->format.get(), packet.get());
        if (read == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (read < 0)
            return; // the recording goes on without sound
        if (packet->stream_index != microphone->stream ||
            avcodec_send_packet(microphone->decoder.get(), packet.get()) < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        av_packet_unref(packet.get());
        while (avcodec_receive_frame(microphone->decoder.get(), frame.get()) == 0) {
            std::lock_guard lock(recordingLock);
            if (!recording || finishing || recordingFailure || !audioEncoder ||
                std::isnan(firstSeconds)) {
                av_frame_unref(frame.get()); // sound starts with the first picture
                continue;
            }
            // Resampled into the encoder's format, then encoded a frame's
            // worth of samples at a time.
            const int capacity = swr_get_out_samples(resampler.get(), frame->nb_samples);
            FrameHandle converted(av_frame_alloc());
            converted->format = audioEncoder->sample_fmt;
            av_channel_layout_copy(&converted->ch_layout, &audioEncoder->ch_layout);
            converted->sample_rate = audioEncoder->sample_rate;
            converted->nb_samples = capacity;
            av_frame_get_buffer(converted.get(), 0);
            const int made = swr_convert(resampler.get(), converted->data, capacity,
                                         const_cast<const std::uint8_t**>(frame->extended_data),
                                         frame->nb_samples);
            av_frame_unref(frame.get());
            if (made <= 0)
                continue;
            av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(converted->data), made);
            const int size = audioEncoder->frame_size;
            while (av_audio_fifo_size(fifo.get()) >= size) {
                FrameHandle chunk(av_frame_alloc());
                chunk->format = audioEncoder->sample_fmt;
                av_channel_layout_copy(&chunk->ch_layout, &audioEncoder->ch_layout);
                chunk->sample_rate = audioEncoder->sample_rate;
                chunk->nb_samples = size;
                av_frame_get_buffer(chunk.get(), 0);
                av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(chunk->data), size);
                chunk->pts = audioSamples;
                audioSamples += size;
                if (auto encoded = encode(audioEncoder.get(), audioStream, chunk.get()); !encoded)
                    failRecording(encoded.error());
            }
        }
    }
}

CaptureSession::CaptureSession(std::unique_ptr<State> state) : state_(std::move(state)) {}

Result<std::unique_ptr<CaptureSession>>
CaptureSession::open(const CaptureInput& camera, const std::vector<CaptureInput>& microphones,
                     FrameSink viewfinder) {
    auto state = std::make_unique<State>();
    auto video = LiveInput::open(camera, AVMEDIA_TYPE_VIDEO);
    if (!video)
        return video.error();
    state->camera = std::move(*video);
    const AVCodecContext* decoder = state->camera.decoder.get();
    // Even sizes: the recording is 4:2:0.
    state->width = decoder->width & ~1;
    state->height = decoder->height & ~1;
    if (state->width <= 0 || state->height <= 0)
        return makeError("capture.no_video", camera.url + " gives pictures of no size.");
    const AVStream* stream = state->camera.format->streams[state->camera.stream];
    const AVRational rate =
        stream->avg_frame_rate.num ? stream->avg_frame_rate : stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        state->frameRate = av_q2d(rate);
    for (const CaptureInput& microphone : microphones) {
        if (auto sound = LiveInput::open(microphone, AVMEDIA_TYPE_AUDIO)) {
            state->microphone = std::move(*sound);
            break;
        }
    }
    state->viewfinder = std::move(viewfinder);
    State* running = state.get();
    state->cameraThread = std::thread([running] { running->runCamera(); });
    if (state->microphone)
        state->microphoneThread = std::thread([running] { running->runMicrophone(); });
    return std::unique_ptr<CaptureSession>(new CaptureSession(std::move(state)));
}

CaptureSession::~CaptureSession() {
    if (isRecording()) {
        auto ended = stopRecording(); // a recording nobody ends is not kept
        if (ended) {
            std::error_code ec;
            fs::remove(*ended, ec);
        }
    }
    state_->stopping = true;
    if (state_->cameraThread.joinable())
        state_->cameraThread.join();
    if (state_->microphoneThread.joinable())
        state_->microphoneThread.join();
}

int CaptureSession::width() const {
    return state_->width;
}
int CaptureSession::height() const {
    return state_->height;
}
double CaptureSession::frameRate() const {
    return state_->frameRate;
}
bool CaptureSession::hasSound() const {
    return state_->microphone.has_value();
}

std::optional<Error> CaptureSession::captureFailure() const {
    std::lock_guard lock(state_->failureLock);
    return state_->captureFailure;
}

std::optional<Error> CaptureSession::recordingFailure() const {
    std::lock_guard lock(state_->recordingLock);
    return state_->recordingFailure;
}

bool CaptureSession::isRecording() const {
    std::lock_guard lock(state_->recordingLock);
    return state_->recording;
}

double CaptureSession::recordedSeconds() const {
    std::lock_guard lock(state_->recordingLock);
    if (std::isnan(state_->firstSeconds) || std::isnan(state_->lastSeconds))
        return 0.0;
    return state_->lastSeconds - state_->firstSeconds;
}

Result<void> CaptureSession::startRecording(const fs::path& destination) {
    State& s = *state_;
    std::lock_guard lock(s.recordingLock);
    if (s.recording)
        return makeError("capture.busy", "A recording is already running.");
    const fs::path part =
        destination.parent_path() / ("." + destination.filename().string() + ".part");
    AVFormatContext* raw = nullptr;
    if (const int made = avformat_alloc_output_context2(&raw, nullptr, "mp4", part.c_str());
        made < 0)
        return ffmpegError("capture.write", "Cannot make " + destination.string(), made);
    OutputHandle output(raw);

    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264)
        return makeError("capture.write", "FFmpeg has no H.264 encoder here.");
    CodecHandle video(avcodec_alloc_context3(h264));
    video->width = s.width;
    video->height = s.height;
    video->pix_fmt = AV_PIX_FMT_YUV420P;
    video->time_base = kVideoTimeBase;
    video->framerate = av_d2q(s.frameRate, 1000);
    video->gop_size = int(std::lround(s.frameRate * 2));
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(video->priv_data, "preset", "veryfast", 0);
    av_opt_set(video->priv_data, "crf", "20", 0);
    if (const int ready = avcodec_open2(video.get(), h264, nullptr); ready < 0)
        return ffmpegError("capture.write", "Cannot start the H.264 encoder", ready);
    AVStream* videoStream = avformat_new_stream(output.get(), nullptr);
    avcodec_parameters_from_context(videoStream->codecpar, video.get());
    videoStream->time_base = kVideoTimeBase;

    CodecHandle audio;
    AVStream* audioStream = nullptr;
    ResamplerHandle resampler;
    FifoHandle fifo;
    if (s.microphone) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        AVCodecContext* heard = s.microphone->decoder.get();
        audio.reset(aac ? avcodec_alloc_context3(aac) : nullptr);
        if (audio) {
            audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
            audio->sample_rate = heard->sample_rate > 0 ? heard->sample_rate : 48000;
            av_channel_layout_default(&audio->ch_layout,
                                      std::clamp(heard->ch_layout.nb_channels, 1, 2));
            audio->bit_rate = 128000;
            audio->time_base = AVRational{1, audio->sample_rate};
            if (output->oformat->flags & AVFMT_GLOBALHEADER)
                audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            SwrContext* swr = nullptr;
            if (avcodec_open2(audio.get(), aac, nullptr) < 0 ||
                swr_alloc_set_opts2(&swr, &audio->ch_layout, audio->sample_fmt, audio->sample_rate,
                                    &heard->ch_layout, heard->sample_fmt, heard->sample_rate, 0,
                                    nullptr) < 0 ||
                swr_init(swr) < 0) {
                swr_free(&swr);
                audio.reset(); // the recording goes on without sound
            } else {
                resampler.reset(swr);
                fifo.reset(av_audio_fifo_alloc(audio->sample_fmt, audio->ch_layout.nb_channels,
                                               audio->frame_size * 4));
                audioStream = avformat_new_stream(output.get(), nullptr);
                avcodec_parameters_from_context(audioStream->codecpar, audio.get());
                audioStream->time_base = audio->time_base;
            }
        }
    }

    std::error_code ec;
    fs::remove(part, ec);
    if (const int opened = avio_open(&output->pb, part.c_str(), AVIO_FLAG_WRITE); opened < 0)
        return ffmpegError("capture.write", "Cannot write in " + part.parent_path().string(),
                           opened);
    if (const int header = avformat_write_header(output.get(), nullptr); header < 0) {
        output.reset();
        fs::remove(part, ec);
        return ffmpegError("capture.write", "Cannot write " + destination.string(), header);
    }
    s.output = std::move(output);
    s.videoEncoder = std::move(video);
    s.videoStream = videoStream;
    s.audioEncoder = std::move(audio);
    s.audioStream = audioStream;
    s.resampler = std::move(resampler);
    s.fifo = std::move(fifo);
    s.audioSamples = 0;
    s.frames.clear();
    s.firstSeconds = NAN;
    s.lastSeconds = NAN;
    s.lastPts = -1;
    s.framesWritten = 0;
    s.recordingFailure.reset();
    s.partFile = part;
    s.destination = destination;
    s.finishing = false;
    s.recording = true;
    State* running = &s;
    s.encoderThread = std::thread([running] { running->runEncoder(); });
    return {};
}

Result<fs::path> CaptureSession::stopRecording() {
    State& s = *state_;
    {
        std::lock_guard lock(s.recordingLock);
        if (!s.recording)
            return makeError("capture.idle", "Nothing is being recorded.");
        s.finishing = true;
        s.framesWaiting.notify_all();
    }
    if (s.encoderThread.joinable())
        s.encoderThread.join();

    std::lock_guard lock(s.recordingLock);
    // What the encoders still hold, then the file's index.
    if (!s.recordingFailure && s.framesWritten > 0) {
        if (auto flushed = s.encode(s.videoEncoder.get(), s.videoStream, nullptr); !flushed)
            s.failRecording(flushed.error());
        if (s.audioEncoder && !s.recordingFailure) {
            if (auto flushed = s.encode(s.audioEncoder.get(), s.audioStream, nullptr); !flushed)
                s.failRecording(flushed.error());
        }
        if (!s.recordingFailure) {
            std::lock_guard writing(s.writeLock);
            if (const int ended = av_write_trailer(s.output.get()); ended < 0)
                s.failRecording(
                    ffmpegError("capture.write", "Finishing the recording failed", ended));
        }
    }
    if (s.output && s.output->pb) {
        avio_flush(s.output->pb);
        if (s.output->pb->error < 0)
            s.failRecording(
                ffmpegError("capture.write", "Writing the recording failed", s.output->pb->error));
    }
    s.output.reset();
    s.videoEncoder.reset();
    s.audioEncoder.reset();
    s.resampler.reset();
    s.fifo.reset();
    s.recording = false;
    s.finishing = false;

    std::error_code ec;
    if (s.recordingFailure) {
        fs::remove(s.partFile, ec);
        return *s.recordingFailure;
    }
    if (s.framesWritten == 0) {
        fs::remove(s.partFile, ec);
        return makeError("capture.empty", "Nothing was recorded.");
    }
    if (auto moved = moveWithoutReplacing(s.partFile, s.destination); !moved) {
        fs::remove(s.partFile, ec);
        return moved.error();
    }
    return s.destination;
}

} // namespace flickbook::media
