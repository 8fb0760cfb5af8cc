#pragma once

// Fitting pictures into frames: sizes with the aspect kept, smooth resizing,
// and centring on a black canvas.

#include "core/result.h"
#include "image/png_io.h"

#include <cstdint>
#include <optional>

namespace flickbook::image {

struct Size {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// The largest size with w:h's aspect inside maxWidth × maxHeight, at least
// 1 × 1; never larger than w × h unless allowEnlarge.
Size fitInside(Size image, Size box, bool allowEnlarge);

// The canvas for a series of pictures: the first picture's size with its
// long edge brought down to at most maxLongEdge.
inline constexpr std::uint32_t kMaxCanvasLongEdge = 1920;
Size canvasFor(Size first, std::uint32_t maxLongEdge = kMaxCanvasLongEdge);

// Smooth resampling (area averaging when shrinking, bicubic when growing).
Result<RgbaImage> resize(const RgbaImage& in, Size to);

// The picture fitted inside the canvas (shrunk or grown), centred on opaque
// black.
Result<RgbaImage> placeCentred(const RgbaImage& in, Size canvas);

// One picture of a sequence on the sequence's canvas: the first picture sets
// it, and a later one of another size is placed centred on it, as pictures
// of mixed sizes are in a GIF.
Result<void> ontoCanvas(RgbaImage& picture, std::optional<Size>& canvas);

} // namespace flickbook::image
