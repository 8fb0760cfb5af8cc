#include "gif/frame_quantizer.h"

#include "gif/lzw_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace flickbook::gif {

namespace {

constexpr std::size_t kMaxColours = 255; // one index stays free for transparency

int luma(const std::uint8_t* p) {
    return (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
}

// Maps colours to palette indices through a cache on a 6-bit grid, so that
// the nearest-colour search runs once per grid cell and frame, not per pixel.
// The grid (512 KB) stays with its thread between frames and only the cells
// a frame filled are cleared: filling it afresh cost more than a small
// frame's own dithering.
class IndexCache {
public:
    explicit IndexCache(const PaletteMatcher& matcher) : matcher_(matcher), cache_(spareGrid()) {
        if (cache_.size() != kCells)
            cache_.assign(kCells, kUnset);
        filled_.reserve(4096);
    }
    ~IndexCache() {
        for (const std::uint32_t key : filled_)
            cache_[key] = kUnset;
    }
    IndexCache(const IndexCache&) = delete;
    IndexCache& operator=(const IndexCache&) = delete;

    int lookup(int r, int g, int b) {
        const std::uint32_t key =
            std::uint32_t(r >> 2) << 12 | std::uint32_t(g >> 2) << 6 | std::uint32_t(b >> 2);
        std::uint16_t& slot = cache_[key];
        if (slot == kUnset) {
            filled_.push_back(key); // first, so that a cell filled is always cleared
            slot = std::uint16_t(matcher_.nearest(
                toOklab(float(r | 1) + 0.5f, float(g | 1) + 0.5f, float(b | 1) + 0.5f)));
        }
        return slot;
    }

private:
    static constexpr std::uint16_t kUnset = 0xFFFF;
    static constexpr std::size_t kCells = std::size_t(1) << 18;
    // One grid per thread; a thread dithers one frame at a time.
    static std::vector<std::uint16_t>& spareGrid() {
        thread_local std::vector<std::uint16_t> grid;
        return grid;
    }
    const PaletteMatcher& matcher_;
    std::vector<std::uint16_t>& cache_;
    std::vector<std::uint32_t> filled_;
};

// Exact colours: a frame with few colours is stored without any loss.
class ExactIndex {
public:
    explicit ExactIndex(const std::vector<Rgb>& palette) : slots_(1024, 0), values_(1024, 0) {
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const std::uint32_t key = keyOf(palette[i].r, palette[i].g, palette[i].b);
            std::uint32_t slot = slotOf(key);
            while (slots_[slot] != 0 && slots_[slot] != key)
                slot = (slot + 1) & 1023;
            if (slots_[slot] == 0) {
                slots_[slot] = key;
                values_[slot] = std::uint8_t(i);
            }
        }
    }
    // -1 when the colour is not in the palette.
    int find(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
        const std::uint32_t key = keyOf(r, g, b);
        for (std::uint32_t slot = slotOf(key); slots_[slot] != 0; slot = (slot + 1) & 1023)
            if (slots_[slot] == key)
                return values_[slot];
        return -1;
    }

private:
    static std::uint32_t keyOf(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return (std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b) + 1;
    }
    static std::uint32_t slotOf(std::uint32_t key) { return (key * 2654435761u) >> 22; }
    std::vector<std::uint32_t> slots_;
    std::vector<std::uint8_t> values_;
};

bool allExact(const std::vector<Rgb>& colours, const ExactIndex& index) {
    return std::all_of(colours.begin(), colours.end(),
                       [&](const Rgb& c) { return index.find(c.r, c.g, c.b) >= 0; });
}

// Floyd–Steinberg in serpentine order, diffusing a share of the error.
// Kept pixels become transparent and take no error: what is on screen
// there does not change, so neither may the noise around it.
void ditherInto(const FrameJob& job, const std::vector<Rgb>& palette, const PaletteMatcher& matcher,
                int transparent, std::vector<std::uint8_t>& out) {
    const auto w = std::size_t(job.rect.width), h = std::size_t(job.rect.height);
    IndexCache cache(matcher);
    std::vector<float> rowA((w + 2) * 3, 0), rowB((w + 2) * 3, 0);
    float* cur = rowA.data();
    float* nxt = rowB.data();
    const float s = job.ditherStrength;
    for (std::size_t y = 0; y < h; ++y) {
        std::fill(nxt, nxt + (w + 2) * 3, 0.0f);
        const bool forward = (y % 2) == 0;
        for (std::size_t step = 0; step < w; ++step) {
            const std::size_t x = forward ? step : w - 1 - step;
            const std::size_t i = y * w + x;
            if (job.keep[i]) {
                out[i] = std::uint8_t(transparent);
                continue;
            }
            const std::uint8_t* p = &job.rgb[i * 3];
            float* e = &cur[(x + 1) * 3];
            const float v[3] = {std::clamp(p[0] + e[0], 0.0f, 255.0f),
                                std::clamp(p[1] + e[1], 0.0f, 255.0f),
                                std::clamp(p[2] + e[2], 0.0f, 255.0f)};
            const int index = cache.lookup(int(v[0] + 0.5f), int(v[1] + 0.5f), int(v[2] + 0.5f));
            out[i] = std::uint8_t(index);
            const Rgb& c = palette[std::size_t(index)];
            const float err[3] = {(v[0] - c.r) * s, (v[1] - c.g) * s, (v[2] - c.b) * s};
            const std::ptrdiff_t ahead = forward ? 1 : -1;
            for (int k = 0; k < 3; ++k) {
                cur[std::ptrdiff_t(x + 1 + ahead) * 3 + k] += err[k] * (7.0f / 16);
                nxt[std::ptrdiff_t(x + 1 - ahead) * 3 + k] += err[k] * (3.0f / 16);
                nxt[(x + 1) * 3 + k] += err[k] * (5.0f / 16);
                nxt[std::ptrdiff_t(x + 1 + ahead) * 3 + k] += err[k] * (1.0f / 16);
            }
        }
        std::swap(cur, nxt);
    }
}

void mapExact(const FrameJob& job, const ExactIndex& index, int transparent,
              std::vector<std::uint8_t>& out) {
    for (std::size_t i = 0; i < job.keep.size(); ++i) {
        if (job.keep[i]) {
            out[i] = std::uint8_t(transparent);
            continue;
        }
        const std::uint8_t* p = &job.rgb[i * 3];
        out[i] = std::uint8_t(index.find(p[0], p[1], p[2]));
    }
}

} // namespace

int tableBitsFor(std::size_t entries) {
    int bits = 1;
    while ((std::size_t(1) << bits) < entries)
        ++bits;
    return bits;
}

void gatherColours(const FrameJob& job, ColourHistogram& histogram) {
    const auto w = std::size_t(job.rect.width), h = std::size_t(job.rect.height);
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t i = y * w + x;
            if (job.keep[i])
                continue;
            const std::uint8_t* p = &job.rgb[i * 3];
            // Errors in smooth areas show as bands; in busy ones they hide.
            const int here = luma(p);
            const int right = x + 1 < w ? luma(p + 3) : here;
            const int below = y + 1 < h ? luma(p + w * 3) : here;
            const int contrast = std::abs(here - right) + std::abs(here - below);
            const float weight = 0.5f + 1.5f / (1.0f + float(contrast) * 0.125f);
            histogram.add(p[0], p[1], p[2], weight);
        }
    }
}

std::vector<Rgb> paletteForFrame(const FrameJob& job, std::size_t maxColours) {
    ColourHistogram histogram;
    gatherColours(job, histogram);
    if (!histogram.exactOverflowed() && histogram.exactColours().size() <= maxColours)
        return histogram.exactColours();
    const auto samples = histogram.samples();
    return choosePalette(samples, maxColours);
}

EncodedFrame encodeFrame(const FrameJob& job, const SharedPalette& shared) {
    EncodedFrame result;
    result.rect = job.rect;
    std::vector<std::uint8_t> indices(job.keep.size(), 0);

    ColourHistogram histogram;
    gatherColours(job, histogram);
    const bool exact = !histogram.exactOverflowed();
    const std::vector<Rgb>* palette = &shared.colours;
    const PaletteMatcher* matcher = &shared.matcher;
    std::vector<Rgb> local;
    PaletteMatcher localMatcher;

    if (exact) {
        // Few colours: the shared table serves if it holds every one of them.
        const ExactIndex sharedIndex(shared.colours);
        if (!job.useSharedPalette && !allExact(histogram.exactColours(), sharedIndex))
            local = histogram.exactColours();
    } else if (!job.useSharedPalette) {
        const auto samples = histogram.samples();
        local = choosePalette(samples, kMaxColours);
        localMatcher = PaletteMatcher(local);
        double weight = 0;
        for (const auto& s : samples)
            weight += s.weight;
        const double localError = localMatcher.error(samples) / weight;
        const double sharedError = shared.matcher.error(samples) / weight;
        // A local table costs up to 768 bytes; it pays off only when the
        // shared one is visibly worse for this frame's colours.
        const double slack = weight < 4096 ? 4e-4 : 1e-4;
        if (sharedError <= localError * 1.15 + slack)
            local.clear();
    }
    if (!local.empty()) {
        palette = &local;
        if (!exact)
            matcher = &localMatcher;
    }

    const bool isShared = palette == &shared.colours;
    const std::size_t colours = isShared ? shared.colours.size() + 1 : palette->size();
    if (job.hasKept)
        result.transparentIndex = int(isShared ? shared.colours.size() : palette->size());
    result.tableBits = tableBitsFor(
        std::max<std::size_t>(2, isShared ? colours : colours + (job.hasKept ? 1 : 0)));
    if (!isShared)
        result.localPalette = *palette;

    if (exact) {
        const ExactIndex index(*palette);
        mapExact(job, index, result.transparentIndex, indices);
    } else {
        ditherInto(job, *palette, *matcher, result.transparentIndex, indices);
    }

    LzwEncoder lzw;
    lzw.encode(indices, std::max(2, result.tableBits), result.imageData);
    return result;
}

} // namespace flickbook::gif
