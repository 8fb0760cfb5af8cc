#include "gif/lzw_decoder.h"

#include <cstring>
#include <string>

namespace flickbook::gif {

namespace {

inline void copyShort(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    if (n <= 16) {
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = src[i];
    } else {
        std::memcpy(dst, src, n);
    }
}

} // namespace

Result<void> LzwDecoder::start(int minCodeSize, std::uint8_t* out, std::size_t capacity) {
    stopped_ = true;
    if (minCodeSize < 1 || minCodeSize > 8)
        return makeError("gif.bad_code_size", "The image data has an invalid LZW code size of " +
                                                  std::to_string(minCodeSize) + ".");
    base_ = out;
    capacity_ = capacity;
    pos_ = 0;
    minCodeSize_ = minCodeSize;
    clearCode_ = 1 << minCodeSize;
    width_ = minCodeSize + 1;
    next_ = clearCode_ + 2;
    prev_ = -1;
    prevPos_ = 0;
    bits_ = 0;
    bitCount_ = 0;
    outcome_ = {};
    stopped_ = false;
    return {};
}

Result<void> LzwDecoder::begin(int minCodeSize, std::span<std::uint8_t> out) {
    return start(minCodeSize, out.data(), out.size());
}

Result<void> LzwDecoder::beginCounting(int minCodeSize, std::size_t pixels) {
    return start(minCodeSize, nullptr, pixels);
}

Result<void> LzwDecoder::feed(std::span<const std::uint8_t> data) {
    if (stopped_)
        return {};
    return base_ ? run<true>(data) : run<false>(data);
}

// Codes are little-endian and least-significant-bit first, of a width that
// grows as the table fills. The state lives in locals while a piece is
// decoded and goes back into the members when the piece runs out.
template <bool kWrite> Result<void> LzwDecoder::run(std::span<const std::uint8_t> data) {
    const int clearCode = clearCode_;
    const int endCode = clearCode + 1;
    const int minCodeSize = minCodeSize_;
    std::uint8_t* const base = base_;
    const std::size_t capacity = capacity_;
    int width = width_;
    int next = next_;
    int prev = prev_;
    std::size_t prevPos = prevPos_;
    std::size_t pos = pos_;
    std::uint64_t bits = bits_;
    int bitCount = bitCount_;
    std::size_t at = 0;
    bool stop = false;

    for (;;) {
        while (bitCount < width && at < data.size()) {
            bits |= std::uint64_t(data[at++]) << bitCount;
            bitCount += 8;
        }
        if (bitCount < width)
            break; // the rest of the code is in the next piece
        const int code = int(bits & ((1u << width) - 1));
        bits >>= width;
        bitCount -= width;

        if (code == clearCode) {
            width = minCodeSize + 1;
            next = clearCode + 2;
            prev = -1;
            continue;
        }
        if (code == endCode) {
            outcome_.sawEndCode = true;
            stop = true;
            break;
        }

        std::size_t len;
        if (code < clearCode) {
            len = 1;
            if (pos >= capacity) {
                outcome_.overflowed = true;
                stop = true;
                break;
            }
            if constexpr (kWrite)
                base[pos] = std::uint8_t(code);
        } else if (prev >= 0 && code < next) {
            len = length_[code];
            if (pos + len > capacity) {
                outcome_.overflowed = true;
                stop = true;
                break;
            }
            if constexpr (kWrite)
                copyShort(base + pos, base + offset_[code], len);
        } else if (prev >= 0 && code == next) {
            // The string being defined right now: previous string plus its own first byte.
            const std::size_t prevLen = prev < clearCode ? 1 : length_[prev];
            len = prevLen + 1;
            if (pos + len > capacity) {
                outcome_.overflowed = true;
                stop = true;
                break;
            }
            if constexpr (kWrite) {
                copyShort(base + pos, base + prevPos, prevLen);
                base[pos + prevLen] = base[prevPos];
            }
        } else {
            stopped_ = true;
            outcome_.written = pos;
            return makeError("gif.bad_lzw_code", "The image data holds an invalid LZW code.");
        }

        // The new entry is the previous string followed by the first byte of
        // this one; in the output that is exactly the bytes from prevPos on.
        if (prev >= 0 && next < kMaxCodes) {
            offset_[next] = std::uint32_t(prevPos);
            length_[next] = std::uint16_t((prev < clearCode ? 1 : length_[prev]) + 1);
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        prev = code;
        prevPos = pos;
        pos += len;
    }

    width_ = width;
    next_ = next;
    prev_ = prev;
    prevPos_ = prevPos;
    pos_ = pos;
    bits_ = bits;
    bitCount_ = bitCount;
    stopped_ = stop;
    outcome_.written = pos;
    return {};
}

Result<LzwOutcome> LzwDecoder::decode(std::span<const std::uint8_t> data, int minCodeSize,
                                      std::span<std::uint8_t> out) {
    if (auto started = begin(minCodeSize, out); !started)
        return started.error();
    if (auto fed = feed(data); !fed)
        return fed.error();
    return outcome_;
}

} // namespace flickbook::gif
