#pragma once

// PNG files of 8-bit RGBA pixels, through libpng.

#include "core/result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace flickbook::image {

struct RgbaImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels; // width × height × 4, R G B A
};

// Any PNG (palette, grey, 16-bit, with or without alpha) read as 8-bit RGBA.
Result<RgbaImage> readPng(const std::filesystem::path& path);

// Writes to a temporary file beside the destination, then renames it into place.
Result<void> writePng(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> rgba);

} // namespace flickbook::image
