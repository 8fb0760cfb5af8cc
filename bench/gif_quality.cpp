// How close a GIF's frames are to their sources: SSIM of the luma, on 8×8
// windows every 4 pixels, per frame; prints "frames mean min".
//
//   gif_quality video GIF VIDEO [SPACING]
//                                   frame k against the video at the frame's start time, or
//                                   at k × SPACING seconds for GIFs whose frames were taken
//                                   at a spacing other than their delays
//   gif_quality images GIF PNG...   frame k against picture k fitted into the canvas

#include "gif/animation.h"
#include "image/fit.h"
#include "image/png_io.h"
#include "media/frame_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace flickbook;

namespace {

std::vector<float> luma(const std::vector<std::uint8_t>& rgba) {
    std::vector<float> y(rgba.size() / 4);
    for (std::size_t i = 0; i < y.size(); ++i) {
        // GIF frames with transparency left are shown over black.
        const float a = rgba[i * 4 + 3] / 255.0f;
        y[i] = a * (0.299f * rgba[i * 4] + 0.587f * rgba[i * 4 + 1] + 0.114f * rgba[i * 4 + 2]);
    }
    return y;
}

double ssim(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int w, int h) {
    const auto ya = luma(a), yb = luma(b);
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    long windows = 0;
    for (int y = 0; y + 8 <= h; y += 4) {
        for (int x = 0; x + 8 <= w; x += 4) {
            double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
            for (int j = 0; j < 8; ++j) {
                const float* pa = &ya[std::size_t(y + j) * std::size_t(w) + std::size_t(x)];
                const float* pb = &yb[std::size_t(y + j) * std::size_t(w) + std::size_t(x)];
                for (int i = 0; i < 8; ++i) {
                    sa += pa[i];
                    sb += pb[i];
                    saa += double(pa[i]) * pa[i];
                    sbb += double(pb[i]) * pb[i];
                    sab += double(pa[i]) * pb[i];
                }
            }
            const double n = 64, ma = sa / n, mb = sb / n;
            const double va = saa / n - ma * ma, vb = sbb / n - mb * mb, cov = sab / n - ma * mb;
            total +=
                ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    }
    return windows ? total / double(windows) : 1.0;
}

int report(const std::vector<double>& scores) {
    if (scores.empty()) {
        std::fprintf(stderr, "no frames compared\n");
        return 1;
    }
    double sum = 0;
    for (double s : scores)
        sum += s;
    std::printf("%zu %.4f %.4f\n", scores.size(), sum / double(scores.size()),
                *std::min_element(scores.begin(), scores.end()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: gif_quality video GIF VIDEO | images GIF PNG...\n");
        return 1;
    }
    const std::string mode = argv[1];
    auto gif = gif::decodeAnimation(std::filesystem::path(argv[2]));
    if (!gif) {
        std::fprintf(stderr, "%s: %s\n", argv[2], gif.error().message.c_str());
        return 1;
    }
    const int w = int(gif->screen.width), h = int(gif->screen.height);
    std::vector<double> scores;
    if (mode == "images") {
        for (int i = 3; i < argc && std::size_t(i - 3) < gif->frames.size(); ++i) {
            auto picture = image::readPng(argv[i]);
            if (!picture)
                return std::fprintf(stderr, "%s\n", picture.error().message.c_str()), 1;
            auto placed = image::placeCentred(*picture, {std::uint32_t(w), std::uint32_t(h)});
            scores.push_back(ssim(gif->frames[std::size_t(i - 3)].rgba, placed->pixels, w, h));
        }
        return report(scores);
    }
    auto source = media::VideoSource::open(argv[3]);
    if (!source)
        return std::fprintf(stderr, "%s\n", source.error().message.c_str()), 1;
    const double fps = source->frameRate();
    media::FrameReader reader(std::move(*source));
    const double spacing = argc > 4 ? std::atof(argv[4]) : 0;
    double start = 0;
    bool have = false;
    for (const auto& frame : gif->frames) {
        while (!have || reader.currentTime() + 0.5 / fps < start) {
            auto more = reader.next();
            if (!more || !*more)
                break;
            have = true;
        }
        auto picture = reader.currentImage(w, h, true);
        if (!picture)
            return std::fprintf(stderr, "%s\n", picture.error().message.c_str()), 1;
        auto fitted = image::resize(*picture, {std::uint32_t(w), std::uint32_t(h)});
        scores.push_back(ssim(frame.rgba, fitted->pixels, w, h));
        start += spacing > 0 ? spacing : frame.delayCs / 100.0;
    }
    return report(scores);
}
