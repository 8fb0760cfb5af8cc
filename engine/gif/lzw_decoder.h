#pragma once

// The variable-length-code LZW stage of GIF image data.
//
// Every table entry past the literals is a string that already appeared in
// the output, so the table stores where it appeared and how long it is, and
// emitting a code is one copy from earlier output. No allocation per code.
//
// The data can be given in pieces as the file's sub-blocks arrive (codes may
// straddle pieces), so the compressed image never has to be held whole. In
// counting mode nothing is written: the codes are checked and the pixels
// counted exactly as a decode would, for callers that need only to know that
// an image is sound and how far it goes.

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
    // Starts an image that decodes into out.
    Result<void> begin(int minCodeSize, std::span<std::uint8_t> out);
    // Starts an image of `pixels` pixels whose indices are only counted.
    Result<void> beginCounting(int minCodeSize, std::size_t pixels);

    // Decodes the next piece of the image data, stopping for good at the end
    // code or when the output is full; later pieces are then ignored. An
    // invalid code is an error.
    Result<void> feed(std::span<const std::uint8_t> data);
    bool stopped() const { return stopped_; }
    const LzwOutcome& outcome() const { return outcome_; }

    // The whole image data at once: begin, feed, outcome.
    Result<LzwOutcome> decode(std::span<const std::uint8_t> data, int minCodeSize,
                              std::span<std::uint8_t> out);

private:
    Result<void> start(int minCodeSize, std::uint8_t* out, std::size_t capacity);
    template <bool kWrite> Result<void> run(std::span<const std::uint8_t> data);

    static constexpr int kMaxCodes = 4096;
    std::uint32_t offset_[kMaxCodes];
    std::uint16_t length_[kMaxCodes];

    // The state between pieces.
    std::uint8_t* base_ = nullptr; // null when counting
    std::size_t capacity_ = 0;
    std::size_t pos_ = 0;
    int minCodeSize_ = 2;
    int clearCode_ = 4;
    int width_ = 3;
    int next_ = 6;
    int prev_ = -1; // previous code, -1 right after a clear
    std::size_t prevPos_ = 0;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    bool stopped_ = true;
    LzwOutcome outcome_;
};

} // namespace flickbook::gif
