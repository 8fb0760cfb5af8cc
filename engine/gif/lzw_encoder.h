#pragma once

// The LZW stage of GIF image data, encoding side.
//
// The string table is a small open-addressed hash from (prefix code, next
// index) to code. Each table reset bumps a generation number instead of
// clearing the slots, so a reset costs nothing and no code allocates.

#include <cstdint>
#include <span>
#include <vector>

namespace flickbook::gif {

class LzwEncoder {
public:
    LzwEncoder();

    // Appends the image data of one frame to out: the minimum code size byte,
    // the codes packed into sub-blocks of at most 255 bytes, and the block
    // terminator. Every index must be below 1 << minCodeSize (2 to 8).
    void encode(std::span<const std::uint8_t> indices, int minCodeSize,
                std::vector<std::uint8_t>& out);

private:
    static constexpr int kMaxCodes = 4096;
    static constexpr std::uint32_t kSlots = 8192; // twice the table: short probes
    void resetTable();
    void packSubBlocks(std::vector<std::uint8_t>& out) const;

    std::vector<std::uint32_t> keys_; // generation << 20 | prefix << 8 | index
    std::vector<std::uint16_t> codes_;
    std::uint32_t generation_ = 0;
    std::vector<std::uint8_t> packed_; // the code stream before sub-blocking
};

} // namespace flickbook::gif
