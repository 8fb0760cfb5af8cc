#pragma once

// One frame of an animation turned into palette indices and LZW data: the
// part of the encoder that runs in parallel, one frame per task.

#include "gif/oklab.h"
#include "gif/palette.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace flickbook::gif {

struct Rect {
    std::uint32_t left = 0, top = 0, width = 0, height = 0;
};

// The colours every frame may use without a table of its own (the global
// colour table). Its last slot is kept for transparency.
struct SharedPalette {
    std::vector<Rgb> colours; // at most 255
    PaletteMatcher matcher;
};

// What the sequential part of the encoder hands to a task: the rectangle
// that changed, its pixels, and which of them stay as they are on screen.
struct FrameJob {
    Rect rect;
    std::vector<std::uint8_t> rgb;  // rect.width × rect.height × 3
    std::vector<std::uint8_t> keep; // 1 where the pixel on screen stays
    bool hasKept = false;
    bool useSharedPalette = false; // the first frame always does
    float ditherStrength = 0.15f;
};

struct EncodedFrame {
    Rect rect;
    std::vector<Rgb> localPalette; // empty when the shared palette serves
    int tableBits = 1;             // the colour table holds 1 << tableBits entries
    int transparentIndex = -1;
    std::vector<std::uint8_t> imageData; // minimum code size, sub-blocks, terminator
};

// Gathers the colours of the pixels that are not kept, weighted by how
// smooth their neighbourhood is.
void gatherColours(const FrameJob& job, ColourHistogram& histogram);

// A palette of at most maxColours for the frame, exact when it has few colours.
std::vector<Rgb> paletteForFrame(const FrameJob& job, std::size_t maxColours);

// The smallest colour-table size, as a power of two, holding this many entries.
int tableBitsFor(std::size_t entries);

EncodedFrame encodeFrame(const FrameJob& job, const SharedPalette& shared);

} // namespace flickbook::gif
