// Feeds frames made from arbitrary bytes through the encoder and decodes the
// result: the file must decode without damage to as many frames of the same
// size, delays and looping, each close to its source (a frame's colours put
// over black); a single frame of few colours at the highest quality must come
// back exactly.
//
// Input: width, height, frame count, quality, threads, a colour count (0 for
// any colour), then the bytes the pixels, alphas and delays are drawn from,
// in turn and over again.

#include "gif/animation.h"
#include "gif/encoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using namespace flickbook;

// Bytes taken in turn, from the start again when they run out.
class Bytes {
public:
    explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint8_t next() {
        if (data_.empty())
            return 0;
        const std::uint8_t b = data_[at_];
        at_ = (at_ + 1) % data_.size();
        return b;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
};

std::uint8_t overBlack(std::uint8_t c, std::uint8_t a) {
    return a == 255 ? c : std::uint8_t((unsigned(c) * a + 127) / 255);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 7)
        return 0;
    const std::uint32_t width = data[0] % 64 + 1;
    const std::uint32_t height = data[1] % 64 + 1;
    const std::size_t count = data[2] % 4 + 1;
    const int quality = data[3] % 100 + 1;
    const unsigned threads = data[4] % 3;
    const int colours = data[5] % 17; // 0: any
    Bytes bytes(std::span<const std::uint8_t>(data + 6, size - 6));

    // A small set of opaque colours when asked for, else every pixel free.
    std::vector<std::uint8_t> palette;
    for (int i = 0; i < colours * 3; ++i)
        palette.push_back(bytes.next());

    std::vector<image::RgbaImage> frames(count);
    std::vector<double> delays;
    for (auto& frame : frames) {
        frame.width = width;
        frame.height = height;
        frame.pixels.resize(std::size_t(width) * height * 4);
        for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
            std::uint8_t* p = &frame.pixels[i * 4];
            if (colours > 0) {
                const std::size_t c = bytes.next() % std::size_t(colours);
                p[0] = palette[c * 3];
                p[1] = palette[c * 3 + 1];
                p[2] = palette[c * 3 + 2];
                p[3] = 255;
            } else {
                for (int k = 0; k < 4; ++k)
                    p[k] = bytes.next();
            }
        }
        delays.push_back(bytes.next() / 50.0);
    }

    auto encoded = gif::encodeAnimation(frames, delays, 0, {quality, threads});
    if (!encoded)
        std::abort(); // every input here is a valid animation
    auto decoded = gif::decodeAnimation(std::span<const std::uint8_t>(*encoded));
    if (!decoded || decoded->damage || decoded->frames.size() != count ||
        decoded->screen.width != width || decoded->screen.height != height ||
        decoded->loopCount != std::optional<std::uint16_t>(0))
        std::abort();

    for (std::size_t f = 0; f < count; ++f) {
        const auto& back = decoded->frames[f];
        if (!back.info.control || back.info.control->delayCs != gif::delayToCentiseconds(delays[f]))
            std::abort();
        const auto& source = frames[f].pixels;
        double error = 0;
        for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
            if (back.rgba[i * 4 + 3] != 255)
                std::abort(); // the encoder makes opaque pictures
            for (int k = 0; k < 3; ++k)
                error += std::abs(int(back.rgba[i * 4 + k]) -
                                  int(overBlack(source[i * 4 + k], source[i * 4 + 3])));
        }
        // Noise of 16 million colours in a palette of 255, with the tolerance
        // of the lowest quality on top, stays well inside this.
        if (error / double(std::size_t(width) * height * 3) > 48.0)
            std::abort();
    }
    if (count == 1 && quality == 100 && colours > 0 && decoded->frames[0].rgba != frames[0].pixels)
        std::abort();
    return 0;
}
