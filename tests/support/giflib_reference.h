#pragma once

// giflib as the reference decoder: its slurped images composited with plain,
// obviously-correct loops using the same browser rules as the engine.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flickbook::testsupport {

struct ReferenceAnimation {
    int width = 0, height = 0;
    std::vector<std::vector<std::uint8_t>> frames; // RGBA canvases
    std::vector<int> delaysCs;                     // -1 without a graphic control extension
    std::optional<int> loopCount;
};

// An error message instead when giflib refuses the bytes.
std::optional<ReferenceAnimation> giflibDecode(const std::vector<std::uint8_t>& bytes,
                                               std::string* error = nullptr);

} // namespace flickbook::testsupport
