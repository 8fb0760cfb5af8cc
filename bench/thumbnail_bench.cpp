// A strip of 10 thumbnails against decoding the whole clip once, on the same
// file in the same run. Prints both times and their ratio.

#include "media/frame_reader.h"
#include "media/thumbnails.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

template <typename F> double medianSeconds(F work, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: thumbnail_bench VIDEO (see bench/run-media)\n");
        return 1;
    }
    using namespace flickbook::media;
    int frames = 0;
    const double decodeOnce = medianSeconds(
        [&] {
            auto source = VideoSource::open(argv[1]);
            if (!source)
                std::exit(1);
            FrameReader reader(std::move(*source));
            frames = 0;
            while (true) {
                auto more = reader.next();
                if (!more || !*more)
                    break;
                ++frames;
            }
        },
        3);
    const double strip = medianSeconds(
        [&] {
            auto pictures = thumbnailStrip(argv[1], 10, 160, 160);
            if (!pictures || pictures->size() != 10)
                std::exit(1);
        },
        3);
    const double keyframes = medianSeconds(
        [&] {
            int made = 0;
            auto done = thumbnailStrip(
                argv[1], 10, 160, 160, 0.0, 1e9,
                [&](int, flickbook::image::RgbaImage) { return ++made > 0; },
                StripFrame::KeyframeInSpan);
            if (!done || made != 10)
                std::exit(1);
        },
        3);
    std::printf("decode all %d frames: %.3f s\nstrip of 10 thumbnails: %.3f s\n"
                "strip / decode-once: %.2f\nstrip of 10, a keyframe in each span: %.3f s\n",
                frames, decodeOnce, strip, strip / decodeOnce, keyframes);
    return 0;
}
