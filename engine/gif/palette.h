#pragma once

// Choosing a palette for a set of colours, and finding the nearest palette
// entry for a colour, both in Oklab.

#include "gif/oklab.h"

#include <cstdint>
#include <span>
#include <vector>

namespace flickbook::gif {

// One colour of a frame with how much it matters: how many pixels carry it,
// weighted up where the picture is smooth and errors show as bands.
struct ColourSample {
    Lab lab;
    float weight = 0;
};

// Colours gathered on a 6-bit-per-channel grid, each cell remembering the
// weighted mean of what fell into it; plus an exact count of distinct colours
// up to a limit, so that frames with few colours are kept exact.
class ColourHistogram {
public:
    ColourHistogram();
    ~ColourHistogram();
    ColourHistogram(const ColourHistogram&) = delete;
    ColourHistogram& operator=(const ColourHistogram&) = delete;
    void add(std::uint8_t r, std::uint8_t g, std::uint8_t b, float weight);
    std::vector<ColourSample> samples() const;
    // The distinct colours added, in first-seen order, when there are at most
    // kExactLimit of them; empty otherwise.
    const std::vector<Rgb>& exactColours() const { return exact_; }
    bool exactOverflowed() const { return exactOverflow_; }
    static constexpr std::size_t kExactLimit = 255;

private:
    struct Cell {
        float weight = 0, r = 0, g = 0, b = 0;
    };
    // The grid's cells, cleared, kept by each thread between frames: a
    // fresh grid is 4 MB to fault in and zero, more than a small frame's
    // own work.
    static std::vector<Cell>& spareCells();
    std::vector<Cell> cells_;
    std::vector<std::uint32_t> used_;
    std::vector<Rgb> exact_;
    std::vector<std::uint32_t> exactSet_; // open-addressed, colour + 1, 0 is empty
    bool exactOverflow_ = false;
};

// Median cut on the weighted samples, then a few rounds of k-means.
std::vector<Rgb> choosePalette(std::span<const ColourSample> samples, std::size_t maxColours);

// Nearest palette entry in Oklab. Entries are searched outward from the
// nearest lightness, stopping once lightness alone is farther than the best.
class PaletteMatcher {
public:
    PaletteMatcher() = default;
    explicit PaletteMatcher(std::span<const Rgb> palette);
    explicit PaletteMatcher(std::span<const Lab> palette);
    int nearest(const Lab& c, float* distance2Out = nullptr) const;
    // Sum of weight × squared distance to the nearest entry.
    double error(std::span<const ColourSample> samples) const;

private:
    void sortByLightness();
    struct Entry {
        Lab lab;
        int index;
    };
    std::vector<Entry> entries_;
};

} // namespace flickbook::gif
