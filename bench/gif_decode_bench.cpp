// Decoding throughput: megabytes of composited RGBA per second, the engine's
// streaming decoder against giflib's DGifSlurp followed by the same browser
// compositing, on the same files in the same run. Prints a table and ratios.

#include "gif/decoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gif_lib.h>
#include <string>
#include <vector>

namespace {

struct Outcome {
    double seconds = 0;
    std::uint64_t rgbaBytes = 0;
    std::uint32_t checksum = 0;
};

std::uint32_t sample(const std::uint8_t* canvas, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; i += 4093)
        sum = sum * 31 + canvas[i];
    return sum;
}

Outcome decodeWithEngine(const char* path) {
    Outcome out;
    auto start = std::chrono::steady_clock::now();
    flickbook::gif::DecodeOptions options;
    options.limits.maxDecodedBytes = ~std::uint64_t(0);
    auto decoder = flickbook::gif::Decoder::openFile(path, options);
    if (!decoder) {
        std::fprintf(stderr, "engine: %s\n", decoder.error().message.c_str());
        std::exit(1);
    }
    for (;;) {
        auto more = decoder->next();
        if (!more || !*more)
            break;
        out.rgbaBytes += decoder->canvas().size();
        out.checksum += sample(decoder->canvas().data(), decoder->canvas().size());
    }
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return out;
}

// giflib gives palette indices per image; compositing follows the same rules
// as the engine, written with the same row-at-a-time care.
Outcome decodeWithGiflib(const char* path) {
    Outcome out;
    auto start = std::chrono::steady_clock::now();
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        std::fprintf(stderr, "giflib: cannot decode %s\n", path);
        std::exit(1);
    }
    const int w = gif->SWidth, h = gif->SHeight;
    std::vector<std::uint8_t> canvas(std::size_t(w) * h * 4, 0), saved;
    int prevDisposal = 0;
    GifImageDesc prev{};
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &gcb);
        if (prevDisposal == DISPOSE_BACKGROUND || prevDisposal == DISPOSE_PREVIOUS) {
            const int x1 = std::min(w, prev.Left + prev.Width);
            for (int y = prev.Top; y < std::min(h, prev.Top + prev.Height); ++y) {
                if (prev.Left >= x1)
                    break;
                const std::size_t at = (std::size_t(y) * w + prev.Left) * 4;
                const std::size_t n = std::size_t(x1 - prev.Left) * 4;
                if (prevDisposal == DISPOSE_BACKGROUND)
                    std::memset(&canvas[at], 0, n);
                else
                    std::memcpy(&canvas[at], &saved[at], n);
            }
        }
        if (gcb.DisposalMode == DISPOSE_PREVIOUS)
            saved = canvas;
        const GifImageDesc& d = image.ImageDesc;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        std::uint32_t palette[256];
        for (int c = 0; c < 256; ++c) {
            const std::uint8_t px[4] = {
                std::uint8_t(map && c < map->ColorCount ? map->Colors[c].Red : 0),
                std::uint8_t(map && c < map->ColorCount ? map->Colors[c].Green : 0),
                std::uint8_t(map && c < map->ColorCount ? map->Colors[c].Blue : 0), 255};
            std::memcpy(&palette[c], px, 4);
        }
        const int x1 = std::min(w, d.Left + d.Width);
        for (int y = 0; y < d.Height && d.Top + y < h; ++y) {
            const GifByteType* src = image.RasterBits + std::size_t(y) * d.Width;
            std::uint8_t* dst = &canvas[(std::size_t(d.Top + y) * w + d.Left) * 4];
            for (int x = 0; x < x1 - d.Left; ++x)
                if (src[x] != gcb.TransparentColor)
                    std::memcpy(dst + 4 * x, &palette[src[x]], 4);
        }
        out.rgbaBytes += canvas.size();
        out.checksum += sample(canvas.data(), canvas.size());
        prevDisposal = gcb.DisposalMode;
        prev = d;
    }
    DGifCloseFile(gif, &error);
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return out;
}

template <typename F> Outcome median(F decode, const char* path, int runs) {
    std::vector<Outcome> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(decode(path));
    std::sort(all.begin(), all.end(),
              [](const Outcome& a, const Outcome& b) { return a.seconds < b.seconds; });
    return all[all.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gif_decode_bench FILE.gif... (see bench/run-gif-decode)\n");
        return 1;
    }
    const int runs = 5;
    std::printf("%-28s %12s %12s %8s\n", "input", "engine MB/s", "giflib MB/s", "ratio");
    double product = 1;
    for (int i = 1; i < argc; ++i) {
        // Interleave the two so that neither profits from a warmer machine.
        decodeWithEngine(argv[i]);
        decodeWithGiflib(argv[i]);
        Outcome ours = median(decodeWithEngine, argv[i], runs);
        Outcome theirs = median(decodeWithGiflib, argv[i], runs);
        if (ours.rgbaBytes != theirs.rgbaBytes || ours.checksum != theirs.checksum) {
            std::fprintf(stderr, "%s: the decoders disagree\n", argv[i]);
            return 1;
        }
        const double a = ours.rgbaBytes / 1e6 / ours.seconds;
        const double b = theirs.rgbaBytes / 1e6 / theirs.seconds;
        const char* name = std::strrchr(argv[i], '/') ? std::strrchr(argv[i], '/') + 1 : argv[i];
        std::printf("%-28s %12.0f %12.0f %7.2fx\n", name, a, b, a / b);
        product *= a / b;
    }
    std::printf("geometric mean ratio: %.2fx (target: at least 1.5x)\n",
                std::pow(product, 1.0 / (argc - 1)));
    return 0;
}
