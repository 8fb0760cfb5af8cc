// Feeds arbitrary bytes to the EXIF reader as the start of a JPEG file. The
// reader must never read outside the bytes, and a date it finds must be a
// real calendar reading; the same bytes always give the same answer.

#include "image/exif.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

using namespace flickbook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so that reading one past the end is a
    // sanitizer report and not a read of the fuzzer's own buffer.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto date = image::exifDateTimeOriginal(std::span<const std::uint8_t>(bytes));
    if (!date)
        return 0;
    if (date->year < 1 || date->year > 9999 || date->month < 1 || date->month > 12 ||
        date->day < 1 || date->day > 31 || date->hour < 0 || date->hour > 23 || date->minute < 0 ||
        date->minute > 59 || date->second < 0 || date->second > 60)
        std::abort();
    const auto again = image::exifDateTimeOriginal(std::span<const std::uint8_t>(bytes));
    if (!again || again->year != date->year || again->second != date->second)
        std::abort();
    return 0;
}
