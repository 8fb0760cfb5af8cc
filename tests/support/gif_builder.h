#pragma once

// Writes GIF files byte by byte for tests, with control over every field the
// decoder reads: code sizes, interlacing, palettes, extensions, and LZW
// streams that clear or keep a full code table.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flickbook::testsupport {

struct LzwOptions {
    bool clearFirst = true;    // start with a clear code
    bool clearWhenFull = true; // false: keep coding with a full table (deferred clear)
    bool endCode = true;
};

std::vector<std::uint8_t> lzwEncode(const std::vector<std::uint8_t>& indices, int minCodeSize,
                                    LzwOptions options = {});

struct FrameDescription {
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<std::uint8_t> localPalette; // RGB triples; empty for none
    std::vector<std::uint8_t> indices;      // width × height, rows top to bottom
    int minCodeSize = 0;                    // 0: from the palette size
    LzwOptions lzw;
    // Graphic control extension written before the image when set.
    std::optional<int> delayCs;
    int disposal = 0;
    std::optional<std::uint8_t> transparentIndex;
};

class GifBuilder {
public:
    GifBuilder(std::uint16_t width, std::uint16_t height, std::vector<std::uint8_t> globalPalette,
               bool gif89 = true);
    GifBuilder& loop(std::uint16_t count);
    GifBuilder& comment(const std::string& text);
    GifBuilder& unknownExtension();
    GifBuilder& image(const FrameDescription& spec);
    std::vector<std::uint8_t> finish(bool trailer = true);

private:
    void palette(const std::vector<std::uint8_t>& rgb);
    void subBlocks(const std::vector<std::uint8_t>& data);
    void u16(std::uint16_t v);
    std::vector<std::uint8_t> out_;
    int globalEntries_ = 0;
};

// Number of bits for a colour table of this many RGB triples (2 to 256 entries).
int paletteBits(std::size_t rgbBytes);

// A palette of 2^bits distinct colours.
std::vector<std::uint8_t> rampPalette(int bits, std::uint32_t seed = 1);

} // namespace flickbook::testsupport
