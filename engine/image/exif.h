#pragma once

// The one EXIF field Flickbook reads: when a photo was taken
// (DateTimeOriginal), from a JPEG's APP1 segment. Every offset in the file is
// checked against the bytes at hand; anything malformed gives nothing.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace flickbook::image {

struct ExifDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// From the first bytes of a JPEG file (the APP1 segment sits near the start).
std::optional<ExifDateTime> exifDateTimeOriginal(std::span<const std::uint8_t> jpeg);

// Reads the start of the file; nothing for files that are not JPEG.
std::optional<ExifDateTime> exifDateTimeOriginal(const std::filesystem::path& path);

} // namespace flickbook::image
