#include "media_fixtures.h"

#include <cmath>
#include <cstdlib>
#include <iostream>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace flickbook::testsupport {

bool makeCounterClip(const std::filesystem::path& out, const ClipParameters& spec) {
    const std::string size = std::to_string(spec.width) + "x" + std::to_string(spec.height);
    std::string cmd =
        "SVT_LOG=1 ffmpeg -nostdin -loglevel error -y -f lavfi -i \"nullsrc=s=" + size +
        ":r=" + std::to_string(spec.fps) + ":d=" + std::to_string(spec.seconds) +
        ",geq=lum='if(lt(X,W/2),mod(N,16)*12+22,floor(N/16)*12+22)':cb=128:cr=128\"";
    const std::string extension = out.extension().string();
    const bool webm = extension == ".webm";
    std::string audioCodec = spec.audioCodec;
    if (audioCodec.empty())
        audioCodec = webm ? "libopus" : extension == ".ts" || extension == ".m2ts" ? "mp2" : "aac";
    if (spec.audio)
        cmd +=
            " -f lavfi -i \"sine=f=440:d=" + std::to_string(spec.seconds) + "\" -c:a " + audioCodec;
    const std::string keyframes = " -g " + std::to_string(spec.keyframeInterval) + " -keyint_min " +
                                  std::to_string(spec.keyframeInterval);
    if (spec.codec == "vp8" || spec.codec == "vp9") {
        // Realtime speed, high quality; no hidden reference frames, so
        // every packet is one shown frame.
        cmd += " -c:v " + std::string(spec.codec == "vp8" ? "libvpx" : "libvpx-vp9") +
               " -deadline realtime -cpu-used 8 -crf 10 -b:v 2M -auto-alt-ref 0 -lag-in-frames 0" +
               keyframes;
    } else if (spec.codec == "av1") {
        cmd += " -c:v libsvtav1 -preset 12 -crf 20 -svtav1-params lp=2:enable-stat-report=0" +
               keyframes;
    } else if (spec.codec == "mpeg4" || spec.codec == "mpeg2video") {
        cmd +=
            " -c:v " + spec.codec + " -q:v 2" + keyframes + " -bf " + std::to_string(spec.bFrames);
    } else {
        const bool hevc = spec.codec == "hevc";
        cmd += std::string(hevc ? " -c:v libx265 -x265-params log-level=none:open-gop=0"
                                : " -c:v libx264") +
               " -preset ultrafast" + keyframes + " -sc_threshold 0 -bf " +
               std::to_string(spec.bFrames);
        if (hevc && (extension == ".mp4" || extension == ".mov"))
            cmd += " -tag:v hvc1";
    }
    cmd += " -pix_fmt yuv420p";
    if (spec.faststart)
        cmd += " -movflags +faststart";
    cmd += " \"" + out.string() + "\"";
    return std::system(cmd.c_str()) == 0;
}

bool remuxWithRotation(const std::filesystem::path& in, const std::filesystem::path& out,
                       int clockwiseDegrees) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, in.c_str(), nullptr, nullptr) < 0)
        return false;
    avformat_find_stream_info(input, nullptr);
    AVFormatContext* output = nullptr;
    avformat_alloc_output_context2(&output, nullptr, nullptr, out.c_str());
    bool ok = output != nullptr;
    for (unsigned i = 0; ok && i < input->nb_streams; ++i) {
        AVStream* s = avformat_new_stream(output, nullptr);
        avcodec_parameters_copy(s->codecpar, input->streams[i]->codecpar);
        s->codecpar->codec_tag = 0;
        s->time_base = input->streams[i]->time_base;
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            auto* matrix = reinterpret_cast<std::int32_t*>(
                av_stream_new_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
            // Written this way, FFmpeg's own tools report -degrees and turn the
            // picture clockwise when showing it, as they do for phone videos.
            av_display_rotation_set(matrix, clockwiseDegrees);
        }
    }
    ok = ok && avio_open(&output->pb, out.c_str(), AVIO_FLAG_WRITE) >= 0 &&
         avformat_write_header(output, nullptr) >= 0;
    AVPacket* packet = av_packet_alloc();
    while (ok && av_read_frame(input, packet) >= 0) {
        av_packet_rescale_ts(packet, input->streams[packet->stream_index]->time_base,
                             output->streams[packet->stream_index]->time_base);
        ok = av_interleaved_write_frame(output, packet) >= 0;
        av_packet_unref(packet);
    }
    ok = ok && av_write_trailer(output) >= 0;
    av_packet_free(&packet);
    if (output && output->pb)
        avio_closep(&output->pb);
    avformat_free_context(output);
    avformat_close_input(&input);
    return ok;
}

int readCounter(const image::RgbaImage& picture, int clockwiseDegrees) {
    // Where the clip's left (low digit) and right (high digit) halves landed.
    auto grey = [&](double fx, double fy) {
        const auto x = std::uint32_t(fx * picture.width), y = std::uint32_t(fy * picture.height);
        return double(picture.pixels[(std::size_t(y) * picture.width + x) * 4 + 1]);
    };
    double low = 0, high = 0;
    switch ((clockwiseDegrees % 360 + 360) % 360) {
    case 0:
        low = grey(0.25, 0.5);
        high = grey(0.75, 0.5);
        break;
    case 90:
        low = grey(0.5, 0.25);
        high = grey(0.5, 0.75);
        break;
    case 180:
        low = grey(0.75, 0.5);
        high = grey(0.25, 0.5);
        break;
    default:
        low = grey(0.5, 0.75);
        high = grey(0.5, 0.25);
        break;
    }
    // Limited-range video: Y = 16 + rgb × 219 / 255, and Y = 22 + digit × 12.
    auto digit = [](double rgb) {
        const double y = rgb * 219.0 / 255.0 + 16.0;
        return int(std::lround((y - 22.0) / 12.0));
    };
    return digit(high) * 16 + digit(low);
}

} // namespace flickbook::testsupport
