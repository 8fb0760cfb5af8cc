#include "media/movie_edits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <sys/types.h>

namespace flickbook::media {

namespace {

struct Box {
    std::string_view type; // points into `name`
    std::array<char, 4> name{};
    off_t payload = 0; // after the header
    off_t end = 0;
};

class BoxFile {
public:
    explicit BoxFile(std::FILE* file) : file_(file) {}

    std::optional<std::uint64_t> readBig(off_t at, int bytes) {
        std::array<std::uint8_t, 8> buffer{};
        if (::fseeko(file_, at, SEEK_SET) != 0 ||
            std::fread(buffer.data(), 1, std::size_t(bytes), file_) != std::size_t(bytes))
            return std::nullopt;
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | buffer[std::size_t(i)];
        return value;
    }

    bool writeBig(off_t at, int bytes, std::uint64_t value) {
        std::array<std::uint8_t, 8> buffer{};
        for (int i = bytes - 1; i >= 0; --i, value >>= 8)
            buffer[std::size_t(i)] = std::uint8_t(value);
        return ::fseeko(file_, at, SEEK_SET) == 0 &&
               std::fwrite(buffer.data(), 1, std::size_t(bytes), file_) == std::size_t(bytes);
    }

    // Calls `visit` for each box between `from` and `to`; false when a box
    // header is damaged.
    bool forEachBox(off_t from, off_t to, const std::function<bool(Box&)>& visit) {
        for (off_t at = from; at + 8 <= to;) {
            auto size = readBig(at, 4);
            auto type = readBig(at + 4, 4);
            if (!size || !type)
                return false;
            Box box;
            for (int i = 0; i < 4; ++i)
                box.name[std::size_t(i)] = char(*type >> (24 - 8 * i));
            box.type = std::string_view(box.name.data(), 4);
            box.payload = at + 8;
            if (*size == 1) {
                auto large = readBig(at + 8, 8);
                if (!large)
                    return false;
                size = large;
                box.payload += 8;
            } else if (*size == 0) {
                size = std::uint64_t(to - at);
            }
            // Compared as sizes, before any offset arithmetic: a 64-bit size
            // near 2^64 would otherwise step backwards and loop for ever.
            if (*size < std::uint64_t(box.payload - at) || *size > std::uint64_t(to - at))
                return false;
            box.end = at + off_t(*size);
            if (!visit(box))
                return false;
            at = box.end;
        }
        return true;
    }

private:
    std::FILE* file_;
};

// The duration field of a full box (mvhd, tkhd) by its version.
struct DurationField {
    off_t at = 0;
    int bytes = 4;
};

} // namespace

Result<void> limitMovieDuration(std::FILE* file, double seconds) {
    BoxFile boxes(file);
    if (std::fflush(file) != 0 || ::fseeko(file, 0, SEEK_END) != 0)
        return makeError("file.write", "Cannot read back the new video.");
    const off_t size = ::ftello(file);

    std::optional<std::uint64_t> timescale;
    DurationField movieDuration;
    std::uint64_t longestTrack = 0;
    bool written = true;

    auto visitTrack = [&](Box& trak) {
        DurationField trackDuration;
        std::uint64_t total = 0;
        bool haveEdits = false;
        bool ok = boxes.forEachBox(trak.payload, trak.end, [&](Box& inner) {
            if (inner.type == "tkhd") {
                // version and flags, then (v1) created, modified: 8 + 8,
                // track id, reserved: 4 + 4, duration: 8; (v0) the same
                // fields with 4-byte times and duration.
                const auto version = boxes.readBig(inner.payload, 1);
                if (!version || *version > 1)
                    return false;
                trackDuration = *version == 1 ? DurationField{inner.payload + 4 + 8 + 8 + 4 + 4, 8}
                                              : DurationField{inner.payload + 4 + 4 + 4 + 4 + 4, 4};
                if (trackDuration.at + trackDuration.bytes > inner.end)
                    return false;
            } else if (inner.type == "edts") {
                return boxes.forEachBox(inner.payload, inner.end, [&](Box& elst) {
                    if (elst.type != "elst" || !timescale)
                        return true;
                    const auto version = boxes.readBig(elst.payload, 1);
                    const auto count = boxes.readBig(elst.payload + 4, 4);
                    if (!version || !count || *version > 1)
                        return false;
                    const int field = *version == 1 ? 8 : 4;
                    // Each entry: segment duration, media time, rate.
                    const std::uint64_t entryBytes = 2 * std::uint64_t(field) + 4;
                    const std::uint64_t room = std::uint64_t(elst.end - (elst.payload + 8));
                    if (elst.end < elst.payload + 8 || *count > room / entryBytes)
                        return false;
                    const double scaled = seconds * double(*timescale);
                    if (!(scaled >= 0) || scaled > 9e18)
                        return false;
                    const std::uint64_t limit = std::uint64_t(std::llround(scaled));
                    off_t entry = elst.payload + 8;
                    for (std::uint64_t i = 0; i < *count; ++i, entry += 2 * field + 4) {
                        auto segment = boxes.readBig(entry, field);
                        auto media = boxes.readBig(entry + field, field);
                        if (!segment || !media)
                            return false;
                        const bool empty = media == (field == 8 ? ~0ull : 0xffffffffull);
                        std::uint64_t kept = *segment;
                        if (!empty) {
                            kept = std::min(kept, limit > total ? limit - total : 0);
                            written = written && boxes.writeBig(entry, field, kept);
                        }
                        total += kept;
                    }
                    haveEdits = true;
                    return true;
                });
            }
            return true;
        });
        if (ok && haveEdits && trackDuration.at != 0) {
            written = written && boxes.writeBig(trackDuration.at, trackDuration.bytes, total);
            longestTrack = std::max(longestTrack, total);
        }
        return ok;
    };

    const bool parsed = boxes.forEachBox(0, size, [&](Box& top) {
        if (top.type != "moov")
            return true;
        return boxes.forEachBox(top.payload, top.end, [&](Box& box) {
            if (box.type == "mvhd") {
                // version and flags, created and modified (4 or 8 bytes
                // each), timescale: 4, duration: 4 or 8.
                const auto version = boxes.readBig(box.payload, 1);
                if (!version || *version > 1)
                    return false;
                const off_t scale = box.payload + 4 + (*version == 1 ? 16 : 8);
                movieDuration = {scale + 4, *version == 1 ? 8 : 4};
                if (movieDuration.at + movieDuration.bytes > box.end)
                    return false;
                timescale = boxes.readBig(scale, 4);
                return timescale.has_value() && *timescale > 0;
            }
            if (box.type == "trak")
                return visitTrack(box);
            return true;
        });
    });
    if (!parsed || !timescale)
        return makeError("file.write", "The new video's index cannot be read back.");
    if (longestTrack > 0)
        written = written && boxes.writeBig(movieDuration.at, movieDuration.bytes, longestTrack);
    if (!written || std::fflush(file) != 0)
        return makeError("file.write", "Cannot finish the new video's index.");
    return {};
}

} // namespace flickbook::media
