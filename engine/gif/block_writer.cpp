#include "gif/block_writer.h"

namespace flickbook::gif {

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v & 0xFF));
    out.push_back(std::uint8_t((v >> 8) & 0xFF));
}

void putColourTable(std::vector<std::uint8_t>& out, const std::vector<Rgb>& colours,
                    int tableBits) {
    const std::size_t entries = std::size_t(1) << tableBits;
    for (std::size_t i = 0; i < entries; ++i) {
        const Rgb c = i < colours.size() ? colours[i] : Rgb{};
        out.push_back(c.r);
        out.push_back(c.g);
        out.push_back(c.b);
    }
}

} // namespace

void writeHeader(std::vector<std::uint8_t>& out, std::uint16_t width, std::uint16_t height,
                 const std::vector<Rgb>& globalColours, int tableBits) {
    for (char c : {'G', 'I', 'F', '8', '9', 'a'})
        out.push_back(std::uint8_t(c));
    put16(out, width);
    put16(out, height);
    // Global table present, 8 bits of colour resolution, unsorted, size.
    out.push_back(std::uint8_t(0x80 | 0x70 | (tableBits - 1)));
    out.push_back(0); // background colour index
    out.push_back(0); // pixel aspect ratio: unstated (square)
    putColourTable(out, globalColours, tableBits);
}

void writeLoopExtension(std::vector<std::uint8_t>& out, std::uint16_t loops) {
    out.push_back(0x21);
    out.push_back(0xFF);
    out.push_back(11);
    for (char c : {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'})
        out.push_back(std::uint8_t(c));
    out.push_back(3);
    out.push_back(1);
    put16(out, loops);
    out.push_back(0);
}

void writeFrame(std::vector<std::uint8_t>& out, const EncodedFrame& frame,
                std::uint16_t delayCentiseconds) {
    // Graphic control extension: disposal 1 (leave in place), transparency.
    out.push_back(0x21);
    out.push_back(0xF9);
    out.push_back(4);
    out.push_back(std::uint8_t(1 << 2 | (frame.transparentIndex >= 0 ? 1 : 0)));
    put16(out, delayCentiseconds);
    out.push_back(std::uint8_t(frame.transparentIndex >= 0 ? frame.transparentIndex : 0));
    out.push_back(0);

    // Image descriptor.
    out.push_back(0x2C);
    put16(out, frame.rect.left);
    put16(out, frame.rect.top);
    put16(out, frame.rect.width);
    put16(out, frame.rect.height);
    if (frame.localPalette.empty()) {
        out.push_back(0);
    } else {
        out.push_back(std::uint8_t(0x80 | (frame.tableBits - 1)));
        putColourTable(out, frame.localPalette, frame.tableBits);
    }
    out.insert(out.end(), frame.imageData.begin(), frame.imageData.end());
}

void writeTrailer(std::vector<std::uint8_t>& out) {
    out.push_back(0x3B);
}

} // namespace flickbook::gif
