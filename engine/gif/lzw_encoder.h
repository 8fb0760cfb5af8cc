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
    // terminator. Every index must be below 1 << minCodeSize (2 to 8). The
    // frame is coded twice, clearing a full table at once and clearing it
    // only when it stops paying, and the shorter code stream is kept.
    void encode(std::span<const std::uint8_t> indices, int minCodeSize,
                std::vector<std::uint8_t>& out);

private:
    static constexpr int kMaxCodes = 4096;
    // How often a full table's compression is checked, in pixels, and how
    // much worse a stretch may code than the best one before a clear.
    static constexpr std::size_t kCheckEvery = 1024;
    static constexpr double kWorseBy = 0.95;
    static constexpr std::uint32_t kSlots = 8192; // twice the table: short probes
    enum class ClearPolicy { WhenFull, WhenWorse };
    void codes(std::span<const std::uint8_t> indices, int minCodeSize, ClearPolicy policy,
               std::vector<std::uint8_t>& packed);
    void resetTable();
    void packSubBlocks(std::vector<std::uint8_t>& out) const;

    std::vector<std::uint32_t> keys_; // generation << 20 | prefix << 8 | index
    std::vector<std::uint16_t> codes_;
    std::uint32_t generation_ = 0;
    std::vector<std::uint8_t> packed_;      // the code stream before sub-blocking
    std::vector<std::uint8_t> alternative_; // the other policy's code stream
};

} // namespace flickbook::gif
