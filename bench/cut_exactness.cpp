// How exact a cut of the counter clip is, as FFmpeg's libraries read it: its
// duration, how many frames it shows, and how far its first and last frames
// are from the frames on screen at the start and just before the end.
//
// usage: cut_exactness CUT START END FPS
// The clip carries a frame counter in its top-left 160×120 corner (see
// bench/run-media); the counter counts frames modulo 256.

#include "media/frame_reader.h"
#include "media/probe.h"
#include "media_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace flickbook;

int counterOf(const image::RgbaImage& frame) {
    image::RgbaImage corner{160, 120, {}};
    corner.pixels.resize(160 * 120 * 4);
    for (std::uint32_t y = 0; y < 120; ++y)
        std::copy_n(frame.pixels.begin() + std::ptrdiff_t((y * frame.width) * 4), 160 * 4,
                    corner.pixels.begin() + std::ptrdiff_t(y * 160 * 4));
    return testsupport::readCounter(corner);
}

// Signed distance in frames between two counter values, modulo 256.
int offset(int shown, long expected) {
    int d = int(((shown - expected) % 256 + 256) % 256);
    return d > 128 ? d - 256 : d;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: cut_exactness CUT START END FPS\n");
        return 2;
    }
    const double start = std::atof(argv[2]), end = std::atof(argv[3]), fps = std::atof(argv[4]);
    auto info = media::probe(argv[1]);
    auto source = media::VideoSource::open(argv[1]);
    if (!info || !source) {
        std::printf("unreadable\n");
        return 1;
    }
    media::FrameReader reader(std::move(*source));
    int first = -1, last = -1, frames = 0;
    for (;;) {
        auto more = reader.next();
        if (!more || !*more)
            break;
        auto picture = reader.currentImage(1920, 1080);
        if (!picture)
            break;
        last = counterOf(*picture);
        if (frames++ == 0)
            first = last;
    }
    const long firstExpected = std::lround(std::floor(start * fps + 1e-6));
    const long lastExpected = std::lround(std::ceil(end * fps - 1e-6)) - 1;
    std::printf("duration %.3f frames %d first %+d last %+d\n", info->durationSeconds, frames,
                offset(first, firstExpected), offset(last, lastExpected));
    return 0;
}
