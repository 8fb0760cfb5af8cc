#include "gif/lzw_decoder.h"

#include <cstring>

namespace flickbook::gif {

namespace {

// Reads little-endian, least-significant-bit-first codes of a varying width.
class CodeReader {
public:
    explicit CodeReader(std::span<const std::uint8_t> data) : data_(data) {}

    // -1 when the data runs out before a whole code.
    int next(int width) {
        while (bitCount_ < width) {
            if (pos_ >= data_.size())
                return -1;
            bits_ |= std::uint64_t(data_[pos_++]) << bitCount_;
            bitCount_ += 8;
        }
        int code = int(bits_ & ((1u << width) - 1));
        bits_ >>= width;
        bitCount_ -= width;
        return code;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
};

inline void copyShort(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    if (n <= 16) {
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = src[i];
    } else {
        std::memcpy(dst, src, n);
    }
}

} // namespace

Result<LzwOutcome> LzwDecoder::decode(std::span<const std::uint8_t> data, int minCodeSize,
                                      std::span<std::uint8_t> out) {
    if (minCodeSize < 1 || minCodeSize > 8)
        return makeError("gif.bad_code_size", "The image data has an invalid LZW code size of " +
                                                  std::to_string(minCodeSize) + ".");

    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    int width = minCodeSize + 1;
    int next = clearCode + 2;
    int prev = -1; // previous code, -1 right after a clear
    std::size_t prevPos = 0;

    std::uint8_t* const base = out.data();
    const std::size_t capacity = out.size();
    std::size_t pos = 0;
    LzwOutcome outcome;
    CodeReader reader(data);

    for (;;) {
        const int code = reader.next(width);
        if (code < 0)
            break;
        if (code == clearCode) {
            width = minCodeSize + 1;
            next = clearCode + 2;
            prev = -1;
            continue;
        }
        if (code == endCode) {
            outcome.sawEndCode = true;
            break;
        }

        std::size_t len;
        if (code < clearCode) {
            len = 1;
            if (pos >= capacity) {
                outcome.overflowed = true;
                break;
            }
            base[pos] = std::uint8_t(code);
        } else if (prev >= 0 && code < next) {
            len = length_[code];
            if (pos + len > capacity) {
                outcome.overflowed = true;
                break;
            }
            copyShort(base + pos, base + offset_[code], len);
        } else if (prev >= 0 && code == next) {
            // The string being defined right now: previous string plus its own first byte.
            const std::size_t prevLen = prev < clearCode ? 1 : length_[prev];
            len = prevLen + 1;
            if (pos + len > capacity) {
                outcome.overflowed = true;
                break;
            }
            copyShort(base + pos, base + prevPos, prevLen);
            base[pos + prevLen] = base[prevPos];
        } else {
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

    outcome.written = pos;
    return outcome;
}

} // namespace flickbook::gif
