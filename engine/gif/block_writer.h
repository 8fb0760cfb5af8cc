#pragma once

// The blocks of a GIF89a file, appended to a byte buffer in file order.

#include "gif/frame_quantizer.h"

#include <cstdint>
#include <vector>

namespace flickbook::gif {

// Header, logical screen descriptor and global colour table (the shared
// palette padded to 1 << tableBits entries).
void writeHeader(std::vector<std::uint8_t>& out, std::uint16_t width, std::uint16_t height,
                 const std::vector<Rgb>& globalColours, int tableBits);

// The NETSCAPE2.0 application extension: loops 0 means forever.
void writeLoopExtension(std::vector<std::uint8_t>& out, std::uint16_t loops);

// Graphic control extension, image descriptor, local colour table and image
// data. Every frame leaves its pixels in place for the next one to draw over.
void writeFrame(std::vector<std::uint8_t>& out, const EncodedFrame& frame,
                std::uint16_t delayCentiseconds);

void writeTrailer(std::vector<std::uint8_t>& out);

} // namespace flickbook::gif
