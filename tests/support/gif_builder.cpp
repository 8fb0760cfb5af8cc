#include "gif_builder.h"

// GCC 12 reports a false overflow in std::vector<uint8_t>::insert after push_back
// (GCC bug 106199); the inserts here are all in bounds.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif

#include <stdexcept>
#include <unordered_map>

namespace flickbook::testsupport {

namespace {

class BitWriter {
public:
    void put(int code, int width) {
        bits_ |= std::uint64_t(code) << count_;
        count_ += width;
        while (count_ >= 8) {
            bytes.push_back(std::uint8_t(bits_ & 0xff));
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    void flush() {
        if (count_ > 0)
            bytes.push_back(std::uint8_t(bits_ & 0xff));
        bits_ = 0;
        count_ = 0;
    }
    std::vector<std::uint8_t> bytes;

private:
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

} // namespace

std::vector<std::uint8_t> lzwEncode(const std::vector<std::uint8_t>& indices, int minCodeSize,
                                    LzwOptions options) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    int width = minCodeSize + 1;
    int next = clear + 2;
    std::unordered_map<std::uint32_t, int> table;
    BitWriter w;
    if (options.clearFirst)
        w.put(clear, width);
    int current = -1;
    for (std::uint8_t px : indices) {
        if (px >= clear)
            throw std::invalid_argument("pixel index does not fit the code size");
        if (current < 0) {
            current = px;
            continue;
        }
        const std::uint32_t key = std::uint32_t(current) << 8 | px;
        if (auto it = table.find(key); it != table.end()) {
            current = it->second;
            continue;
        }
        w.put(current, width);
        if (next < 4096) {
            table[key] = next++;
            // The decoder widens once the next free code no longer fits.
            if (next > (1 << width) && width < 12)
                ++width;
        } else if (options.clearWhenFull) {
            w.put(clear, width);
            table.clear();
            width = minCodeSize + 1;
            next = clear + 2;
        }
        current = px;
    }
    if (current >= 0)
        w.put(current, width);
    if (options.endCode) {
        // The decoder adds an entry for the last code, which may widen codes.
        if (current >= 0 && next < 4096 && next + 1 > (1 << width) && width < 12)
            ++width;
        w.put(end, width);
    }
    w.flush();
    return w.bytes;
}

int paletteBits(std::size_t rgbBytes) {
    int bits = 1;
    while ((std::size_t(1) << bits) * 3 < rgbBytes)
        ++bits;
    return bits;
}

std::vector<std::uint8_t> rampPalette(int bits, std::uint32_t seed) {
    std::vector<std::uint8_t> rgb;
    std::uint32_t s = seed * 2654435761u + 12345;
    for (int i = 0; i < (1 << bits); ++i) {
        s = s * 1103515245u + 12345u;
        rgb.push_back(std::uint8_t(i * 255 / std::max(1, (1 << bits) - 1)));
        rgb.push_back(std::uint8_t(s >> 16));
        rgb.push_back(std::uint8_t(s >> 24));
    }
    return rgb;
}

GifBuilder::GifBuilder(std::uint16_t width, std::uint16_t height,
                       std::vector<std::uint8_t> globalPalette, bool gif89) {
    const char* magic = gif89 ? "GIF89a" : "GIF87a";
    out_.insert(out_.end(), magic, magic + 6);
    u16(width);
    u16(height);
    std::uint8_t packed = 0x70;
    if (!globalPalette.empty()) {
        const int bits = paletteBits(globalPalette.size());
        packed |= 0x80 | std::uint8_t(bits - 1);
        globalEntries_ = 1 << bits;
    }
    out_.push_back(packed);
    out_.push_back(0); // background index
    out_.push_back(0); // aspect
    if (!globalPalette.empty())
        palette(globalPalette);
}

void GifBuilder::u16(std::uint16_t v) {
    out_.push_back(std::uint8_t(v & 0xff));
    out_.push_back(std::uint8_t(v >> 8));
}

void GifBuilder::palette(const std::vector<std::uint8_t>& rgb) {
    const int entries = 1 << paletteBits(rgb.size());
    std::vector<std::uint8_t> padded = rgb;
    padded.resize(std::size_t(entries) * 3, 0);
    out_.insert(out_.end(), padded.begin(), padded.end());
}

void GifBuilder::subBlocks(const std::vector<std::uint8_t>& data) {
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        out_.push_back(std::uint8_t(n));
        out_.insert(out_.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    out_.push_back(0);
}

GifBuilder& GifBuilder::loop(std::uint16_t count) {
    const char* app = "NETSCAPE2.0";
    out_.push_back(0x21);
    out_.push_back(0xFF);
    out_.push_back(11);
    out_.insert(out_.end(), app, app + 11);
    out_.push_back(3);
    out_.push_back(1);
    u16(count);
    out_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::comment(const std::string& text) {
    out_.push_back(0x21);
    out_.push_back(0xFE);
    subBlocks(std::vector<std::uint8_t>(text.begin(), text.end()));
    return *this;
}

GifBuilder& GifBuilder::unknownExtension() {
    out_.push_back(0x21);
    out_.push_back(0x42);
    subBlocks(std::vector<std::uint8_t>(300, 0x21)); // bytes that look like introducers
    return *this;
}

GifBuilder& GifBuilder::image(const FrameDescription& spec) {
    if (spec.delayCs || spec.transparentIndex || spec.disposal) {
        out_.push_back(0x21);
        out_.push_back(0xF9);
        out_.push_back(4);
        out_.push_back(std::uint8_t((spec.disposal & 7) << 2 | (spec.transparentIndex ? 1 : 0)));
        u16(std::uint16_t(spec.delayCs.value_or(0)));
        out_.push_back(spec.transparentIndex.value_or(0));
        out_.push_back(0);
    }
    out_.push_back(0x2C);
    u16(spec.left);
    u16(spec.top);
    u16(spec.width);
    u16(spec.height);
    std::uint8_t packed = spec.interlaced ? 0x40 : 0;
    int entries = globalEntries_;
    if (!spec.localPalette.empty()) {
        const int bits = paletteBits(spec.localPalette.size());
        packed |= 0x80 | std::uint8_t(bits - 1);
        entries = 1 << bits;
    }
    out_.push_back(packed);
    if (!spec.localPalette.empty())
        palette(spec.localPalette);

    int codeSize = spec.minCodeSize;
    if (codeSize == 0) {
        codeSize = 2;
        while ((1 << codeSize) < entries)
            ++codeSize;
    }
    // Interlaced images store their rows pass by pass.
    std::vector<std::uint8_t> stored;
    if (spec.interlaced) {
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < spec.height; y += step[pass])
                stored.insert(stored.end(), spec.indices.begin() + long(y) * spec.width,
                              spec.indices.begin() + long(y + 1) * spec.width);
    } else {
        stored = spec.indices;
    }
    out_.push_back(std::uint8_t(codeSize));
    subBlocks(lzwEncode(stored, codeSize, spec.lzw));
    return *this;
}

std::vector<std::uint8_t> GifBuilder::finish(bool trailer) {
    if (trailer)
        out_.push_back(0x3B);
    return out_;
}

} // namespace flickbook::testsupport
