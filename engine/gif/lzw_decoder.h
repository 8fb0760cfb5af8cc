#pragma once

// The variable-length-code LZW stage of GIF image data.
//
// Every table entry past the literals is a string that already appeared in
// the output, so the table stores where it appeared and how long it is, and
// emitting a code is one copy from earlier output. No allocation per code.

#include "core/result.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace flickbook::gif {

struct LzwOutcome {
    std::size_t written = 0; // pixel indices produced
    bool sawEndCode = false; // the stream closed itself properly
    bool overflowed = false; // the data held more pixels than the image has
};

class LzwDecoder {
public:
    // minCodeSize is the byte that precedes the image data (2 to 8 in valid
    // files; 1 is accepted because some encoders write it for two colours).
    // Decodes into out, stopping at the end code, at the end of data or when
    // out is full. An invalid code is an error.
    Result<LzwOutcome> decode(std::span<const std::uint8_t> data, int minCodeSize,
                              std::span<std::uint8_t> out);

private:
    static constexpr int kMaxCodes = 4096;
    std::uint32_t offset_[kMaxCodes];
    std::uint16_t length_[kMaxCodes];
};

} // namespace flickbook::gif
