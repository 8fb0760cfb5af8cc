#include "image/exif.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace flickbook::image {

namespace {

constexpr std::uint16_t kExifIfdPointer = 0x8769;
constexpr std::uint16_t kDateTimeOriginal = 0x9003;
constexpr std::uint16_t kAsciiType = 2;

// The TIFF structure inside APP1, in its own byte order.
class Tiff {
public:
    explicit Tiff(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool readHeader() {
        if (bytes_.size() < 8)
            return false;
        if (bytes_[0] == 'I' && bytes_[1] == 'I')
            little_ = true;
        else if (bytes_[0] == 'M' && bytes_[1] == 'M')
            little_ = false;
        else
            return false;
        return u16(2) == std::optional<std::uint16_t>(42);
    }

    std::optional<std::uint16_t> u16(std::size_t at) const {
        if (at + 2 > bytes_.size())
            return std::nullopt;
        return little_ ? std::uint16_t(bytes_[at] | bytes_[at + 1] << 8)
                       : std::uint16_t(bytes_[at] << 8 | bytes_[at + 1]);
    }
    std::optional<std::uint32_t> u32(std::size_t at) const {
        if (at + 4 > bytes_.size())
            return std::nullopt;
        const std::uint32_t b0 = bytes_[at], b1 = bytes_[at + 1], b2 = bytes_[at + 2],
                            b3 = bytes_[at + 3];
        return little_ ? (b0 | b1 << 8 | b2 << 16 | b3 << 24)
                       : (b0 << 24 | b1 << 16 | b2 << 8 | b3);
    }

    // Offset of the 12-byte entry for tag in the IFD at ifd.
    std::optional<std::size_t> findEntry(std::size_t ifd, std::uint16_t tag) const {
        const auto count = u16(ifd);
        if (!count)
            return std::nullopt;
        for (std::size_t i = 0; i < *count; ++i) {
            const std::size_t entry = ifd + 2 + i * 12;
            const auto entryTag = u16(entry);
            if (!entryTag)
                return std::nullopt;
            if (*entryTag == tag)
                return entry;
        }
        return std::nullopt;
    }

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
    bool little_ = true;
};

std::optional<ExifDateTime> parseDate(std::span<const std::uint8_t> text) {
    // "YYYY:MM:DD HH:MM:SS"
    if (text.size() < 19)
        return std::nullopt;
    auto number = [&](std::size_t at, std::size_t digits) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            const std::uint8_t c = text[at + i];
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2), hour = number(11, 2),
               minute = number(14, 2), second = number(17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    if (*year == 0 || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 ||
        *minute > 59 || *second > 60)
        return std::nullopt;
    return ExifDateTime{*year, *month, *day, *hour, *minute, *second};
}

std::optional<ExifDateTime> fromTiff(std::span<const std::uint8_t> tiffBytes) {
    Tiff tiff(tiffBytes);
    if (!tiff.readHeader())
        return std::nullopt;
    const auto ifd0 = tiff.u32(4);
    if (!ifd0)
        return std::nullopt;
    const auto pointer = tiff.findEntry(*ifd0, kExifIfdPointer);
    if (!pointer)
        return std::nullopt;
    const auto exifIfd = tiff.u32(*pointer + 8);
    if (!exifIfd)
        return std::nullopt;
    const auto entry = tiff.findEntry(*exifIfd, kDateTimeOriginal);
    if (!entry || tiff.u16(*entry + 2) != std::optional<std::uint16_t>(kAsciiType))
        return std::nullopt;
    const auto count = tiff.u32(*entry + 4);
    const auto offset = tiff.u32(*entry + 8);
    if (!count || !offset || *count < 19 || *offset > tiffBytes.size() ||
        tiffBytes.size() - *offset < 19)
        return std::nullopt;
    return parseDate(tiffBytes.subspan(*offset, 19));
}

} // namespace

std::optional<ExifDateTime> exifDateTimeOriginal(std::span<const std::uint8_t> jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        if (jpeg[at] != 0xFF)
            return std::nullopt;
        const std::uint8_t marker = jpeg[at + 1];
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
            return std::nullopt;
        const std::size_t length = std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (length < 2 || at + 2 + length > jpeg.size())
            return std::nullopt;
        const auto segment = jpeg.subspan(at + 4, length - 2);
        static constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker == 0xE1 && segment.size() > 6 &&
            std::equal(std::begin(kExifHeader), std::end(kExifHeader), segment.begin()))
            return fromTiff(segment.subspan(6));
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<ExifDateTime> exifDateTimeOriginal(const std::filesystem::path& path) {
    // APP1 is at most 64 KiB and comes before the picture data.
    constexpr std::size_t kHead = 128 * 1024;
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    std::vector<std::uint8_t> head(kHead);
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    return exifDateTimeOriginal(std::span<const std::uint8_t>(head));
}

} // namespace flickbook::image
