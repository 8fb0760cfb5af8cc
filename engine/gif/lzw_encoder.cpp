#include "gif/lzw_encoder.h"

#include <algorithm>
#include <cassert>

namespace flickbook::gif {

namespace {

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void put(std::uint32_t code, int size) {
        bits_ |= std::uint64_t(code) << count_;
        count_ += size;
        while (count_ >= 8) {
            out_.push_back(std::uint8_t(bits_));
            bits_ >>= 8;
            count_ -= 8;
        }
    }

    // Bits written so far.
    std::size_t bitCount() const { return out_.size() * 8 + std::size_t(count_); }

    void flush() {
        if (count_ > 0)
            out_.push_back(std::uint8_t(bits_));
        bits_ = 0;
        count_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

std::uint32_t slotFor(std::uint32_t key) {
    // Fibonacci hashing of the 20-bit key onto 13 bits.
    return (key * 2654435761u) >> 19;
}

} // namespace

LzwEncoder::LzwEncoder() : keys_(kSlots, 0), codes_(kSlots, 0) {}

void LzwEncoder::resetTable() {
    ++generation_;
    if (generation_ >= (1u << 12)) { // the generation field is 12 bits wide
        std::fill(keys_.begin(), keys_.end(), 0);
        generation_ = 1;
    }
}

void LzwEncoder::encode(std::span<const std::uint8_t> indices, int minCodeSize,
                        std::vector<std::uint8_t>& out) {
    // Both ways of handling a full table, keeping the shorter: clearing at
    // once suits content that keeps changing, keeping the table suits
    // content that repeats what it has learnt (transparent runs, flat areas).
    codes(indices, minCodeSize, ClearPolicy::WhenFull, packed_);
    codes(indices, minCodeSize, ClearPolicy::WhenWorse, alternative_);
    if (alternative_.size() < packed_.size())
        packed_.swap(alternative_);
    out.push_back(std::uint8_t(minCodeSize));
    packSubBlocks(out);
}

void LzwEncoder::codes(std::span<const std::uint8_t> indices, int minCodeSize, ClearPolicy policy,
                       std::vector<std::uint8_t>& packed) {
    assert(minCodeSize >= 2 && minCodeSize <= 8);
    const std::uint32_t clearCode = 1u << minCodeSize;
    const std::uint32_t endCode = clearCode + 1;

    packed.clear();
    packed.reserve(indices.size() / 2 + 16);
    BitWriter writer(packed);

    int codeSize = minCodeSize + 1;
    std::uint32_t nextCode = endCode + 1;
    resetTable();
    writer.put(clearCode, codeSize);

    // WhenWorse keeps a full table (a deferred clear) for as long as it codes
    // stretches of input at least nearly as well as the best stretch since it
    // filled; a worse stretch clears it so it learns the new content.
    bool full = false;
    double bestRate = 0.0; // pixels per bit over a stretch, since the table filled
    std::size_t stretchStart = 0, stretchBits = 0;

    if (!indices.empty()) {
        std::uint32_t prefix = indices[0];
        std::uint32_t generationTag = generation_ << 20;
        for (std::size_t i = 1; i < indices.size(); ++i) {
            if (full && i - stretchStart >= kCheckEvery) {
                const double rate =
                    double(i - stretchStart) /
                    double(std::max<std::size_t>(1, writer.bitCount() - stretchBits));
                if (rate < bestRate * kWorseBy) {
                    writer.put(prefix, codeSize);
                    writer.put(clearCode, codeSize);
                    codeSize = minCodeSize + 1;
                    nextCode = endCode + 1;
                    resetTable();
                    generationTag = generation_ << 20;
                    full = false;
                    prefix = indices[i];
                    continue;
                }
                bestRate = std::max(bestRate, rate);
                stretchStart = i;
                stretchBits = writer.bitCount();
            }
            const std::uint32_t index = indices[i];
            const std::uint32_t key = generationTag | prefix << 8 | index;
            std::uint32_t slot = slotFor(key & 0xFFFFF);
            bool found = false;
            while (keys_[slot] >> 20 == generationTag >> 20) {
                if (keys_[slot] == key) {
                    prefix = codes_[slot];
                    found = true;
                    break;
                }
                slot = (slot + 1) & (kSlots - 1);
            }
            if (found)
                continue;

            writer.put(prefix, codeSize);
            // The decoder adds its entry one code later, and widens its codes
            // as soon as the table reaches the current width.
            if (nextCode == (1u << codeSize) && codeSize < 12)
                ++codeSize;
            if (nextCode < kMaxCodes) {
                keys_[slot] = key;
                codes_[slot] = std::uint16_t(nextCode++);
            } else if (policy == ClearPolicy::WhenFull) {
                writer.put(clearCode, codeSize);
                codeSize = minCodeSize + 1;
                nextCode = endCode + 1;
                resetTable();
                generationTag = generation_ << 20;
            } else if (!full) {
                full = true;
                bestRate = 0.0;
                stretchStart = i;
                stretchBits = writer.bitCount();
            }
            prefix = index;
        }
        writer.put(prefix, codeSize);
        if (nextCode == (1u << codeSize) && codeSize < 12)
            ++codeSize;
    }
    writer.put(endCode, codeSize);
    writer.flush();
}

void LzwEncoder::packSubBlocks(std::vector<std::uint8_t>& out) const {
    out.reserve(out.size() + packed_.size() + packed_.size() / 255 + 2);
    for (std::size_t at = 0; at < packed_.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, packed_.size() - at);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), packed_.begin() + std::ptrdiff_t(at),
                   packed_.begin() + std::ptrdiff_t(at + n));
    }
    out.push_back(0);
}

} // namespace flickbook::gif
