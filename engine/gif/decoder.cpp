#include "gif/decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace flickbook::gif {

namespace {

constexpr int kExtension = 0x21;
constexpr int kImageSeparator = 0x2C;
constexpr int kTrailer = 0x3B;
constexpr int kGraphicControlLabel = 0xF9;
constexpr int kApplicationLabel = 0xFF;

constexpr std::uint32_t kOpaqueBlack = [] {
    // R G B A in memory order, whatever the byte order of the machine.
    const std::uint8_t bytes[4] = {0, 0, 0, 255};
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}();

std::uint16_t le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

std::uint32_t packRgba(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const std::uint8_t bytes[4] = {r, g, b, 255};
    std::uint32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}

// Row of the image that the k-th decoded row of an interlaced image lands on.
class InterlacedRows {
public:
    explicit InterlacedRows(std::uint32_t height) : height_(height) { settle(); }
    std::uint32_t row() const { return row_; }
    void advance() {
        row_ += kStep[pass_];
        settle();
    }

private:
    void settle() {
        while (pass_ < 4 && row_ >= height_) {
            ++pass_;
            row_ = pass_ < 4 ? kStart[pass_] : height_;
        }
    }
    static constexpr std::uint32_t kStart[4] = {0, 4, 2, 1};
    static constexpr std::uint32_t kStep[4] = {8, 8, 4, 2};
    std::uint32_t height_;
    std::uint32_t row_ = 0;
    int pass_ = 0;
};

// Whole mebibytes, or two decimals below ten ("0.01 MiB" rather than "0 MiB").
std::string mib(std::uint64_t bytes) {
    if (bytes >= (std::uint64_t(10) << 20))
        return std::to_string(bytes >> 20) + " MiB";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MiB", double(bytes) / double(1 << 20));
    return text;
}

Error outOfMemory() {
    return makeError("gif.out_of_memory", "There is not enough memory to decode the GIF.");
}

} // namespace

Decoder::Decoder(ByteSource source, DecodeOptions options)
    : source_(std::move(source)), options_(options), budget_(options.limits.maxDecodedBytes),
      lzw_(std::make_unique<LzwDecoder>()) {
    std::fill(std::begin(globalPalette_), std::end(globalPalette_), kOpaqueBlack);
    std::fill(std::begin(localPalette_), std::end(localPalette_), kOpaqueBlack);
}

Result<Decoder> Decoder::openFile(const std::filesystem::path& path, DecodeOptions options) {
    try {
        auto source = ByteSource::openFile(path);
        if (!source)
            return source.error();
        Decoder decoder(std::move(*source), options);
        if (auto header = decoder.readHeader(); !header)
            return header.error();
        return decoder;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

Result<Decoder> Decoder::openMemory(std::span<const std::uint8_t> bytes, DecodeOptions options) {
    try {
        Decoder decoder(ByteSource::fromMemory(bytes), options);
        if (auto header = decoder.readHeader(); !header)
            return header.error();
        return decoder;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

Error Decoder::overBudget() const {
    return makeError("gif.too_large", "Decoding the GIF would take more than its memory limit of " +
                                          mib(budget_.limit()) + ".");
}

Error Decoder::fail(Error error) {
    state_ = State::Failed;
    error_ = error;
    return error;
}

Error Decoder::truncated(const char* where) {
    if (source_.ioFailed())
        return fail(makeError("io.read", std::string("Reading the file failed in ") + where + "."));
    return fail(
        makeError("gif.truncated", std::string("The file ends in the middle of ") + where + "."));
}

// Header and logical screen descriptor (GIF89a sections 17 and 18).
Result<void> Decoder::readHeader() {
    // Zeroed, so that a file shorter than the signature reads as no GIF
    // whatever the bytes after it held.
    std::uint8_t header[13] = {};
    if (!source_.read(header, sizeof header)) {
        if (std::memcmp(header, "GIF", 3) != 0)
            return fail(makeError("gif.not_gif", "The file is not a GIF image."));
        return truncated("the header");
    }
    if (std::memcmp(header, "GIF", 3) != 0)
        return fail(makeError("gif.not_gif", "The file is not a GIF image."));
    if (std::memcmp(header + 3, "87a", 3) != 0 && std::memcmp(header + 3, "89a", 3) != 0)
        return fail(makeError("gif.bad_version", "The GIF version is neither 87a nor 89a."));

    screen_.width = le16(header + 6);
    screen_.height = le16(header + 8);
    const std::uint8_t packed = header[10];
    if (screen_.width == 0 || screen_.height == 0)
        return fail(makeError("gif.bad_screen", "The GIF's canvas has no area."));
    const auto& limits = options_.limits;
    if (screen_.width > limits.maxCanvasSide || screen_.height > limits.maxCanvasSide)
        return fail(makeError("gif.too_large",
                              "The GIF's canvas of " + std::to_string(screen_.width) + "×" +
                                  std::to_string(screen_.height) + " exceeds the limit of " +
                                  std::to_string(limits.maxCanvasSide) + " pixels a side."));
    // The canvas itself is made with the first frame, counted then.
    const std::uint64_t canvasBytes = std::uint64_t(screen_.width) * screen_.height * 4;
    if (options_.drawFrames && canvasBytes > limits.maxDecodedBytes)
        return fail(
            makeError("gif.too_large", "One frame of this GIF exceeds the memory limit of " +
                                           mib(limits.maxDecodedBytes) + "."));

    screen_.globalPalette = (packed & 0x80) != 0;
    if (screen_.globalPalette) {
        if (auto r = readPalette(2 << (packed & 7), globalPalette_); !r)
            return r;
    }
    return {};
}

Result<void> Decoder::readPalette(int entries, std::uint32_t* palette) {
    std::uint8_t rgb[256 * 3];
    if (!source_.read(rgb, std::size_t(entries) * 3))
        return truncated("a colour table");
    std::fill(palette, palette + 256, kOpaqueBlack);
    for (int i = 0; i < entries; ++i)
        palette[i] = packRgba(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    return {};
}

Result<bool> Decoder::next() {
    if (state_ == State::Failed)
        return error_;
    if (state_ == State::Done)
        return false;
    try {
        return advance();
    } catch (const std::bad_alloc&) {
        return fail(outOfMemory());
    }
}

Result<bool> Decoder::advance() {
    for (;;) {
        const int introducer = source_.readByte();
        switch (introducer) {
        case kExtension:
            if (auto r = readExtension(); !r)
                return r.error();
            break;
        case kImageSeparator:
            if (auto r = readImage(); !r)
                return r.error();
            return true;
        case kTrailer:
            state_ = State::Done;
            return false;
        case -1:
            if (frameCount_ > 0 && options_.tolerances.acceptMissingTrailer &&
                !source_.ioFailed()) {
                state_ = State::Done;
                return false;
            }
            return truncated("the block list");
        default:
            return fail(makeError("gif.bad_block", "The file holds an unknown block type " +
                                                       std::to_string(introducer) + "."));
        }
    }
}

Result<void> Decoder::skipSubBlocks() {
    for (;;) {
        const int size = source_.readByte();
        if (size < 0)
            return truncated("an extension");
        if (size == 0)
            return {};
        if (!source_.skip(std::size_t(size)))
            return truncated("an extension");
    }
}

// Extensions: graphic control (section 23) and the looping application
// extension are read; comments, plain text and unknown ones are skipped.
Result<void> Decoder::readExtension() {
    const int label = source_.readByte();
    if (label < 0)
        return truncated("an extension");
    const int size = source_.readByte();
    if (size < 0)
        return truncated("an extension");
    std::uint8_t block[255];
    if (!source_.read(block, std::size_t(size)))
        return truncated("an extension");
    const std::span<const std::uint8_t> first(block, std::size_t(size));
    if (size > 0) {
        if (label == kGraphicControlLabel) {
            if (auto r = readGraphicControl(first); !r)
                return r;
        } else if (label == kApplicationLabel) {
            return readApplication(first);
        }
        return skipSubBlocks();
    }
    return {};
}

Result<void> Decoder::readGraphicControl(std::span<const std::uint8_t> block) {
    if (block.size() < 4)
        return fail(makeError("gif.bad_extension", "A graphic control extension is too short."));
    GraphicControl control;
    const std::uint8_t packed = block[0];
    const int disposal = (packed >> 2) & 7;
    control.disposal = disposal == 4  ? Disposal::RestorePrevious
                       : disposal > 4 ? Disposal::Keep
                                      : Disposal(disposal);
    control.delayCs = le16(block.data() + 1);
    if (packed & 1)
        control.transparentIndex = block[3];
    pendingControl_ = control;
    return {};
}

Result<void> Decoder::readApplication(std::span<const std::uint8_t> first) {
    const bool looping = first.size() == 11 && (std::memcmp(first.data(), "NETSCAPE2.0", 11) == 0 ||
                                                std::memcmp(first.data(), "ANIMEXTS1.0", 11) == 0);
    for (;;) {
        const int size = source_.readByte();
        if (size < 0)
            return truncated("an application extension");
        if (size == 0)
            return {};
        std::uint8_t data[255];
        if (!source_.read(data, std::size_t(size)))
            return truncated("an application extension");
        if (looping && size >= 3 && data[0] == 1)
            loopCount_ = le16(data + 1);
    }
}

// Reads the image's sub-blocks one by one into the LZW stage, so that the
// compressed data is never held whole. An LZW error is reported only once the
// data has been read to its end, so that a file cut short in the data reads
// as truncated whatever the bytes before the cut.
Result<void> Decoder::readImageData(int minCodeSize, std::span<std::uint8_t> out,
                                    std::size_t pixels) {
    auto started = options_.drawFrames ? lzw_->begin(minCodeSize, out)
                                       : lzw_->beginCounting(minCodeSize, pixels);
    std::optional<Error> lzwError;
    if (!started)
        lzwError = started.error();
    std::uint8_t block[255];
    for (;;) {
        const int size = source_.readByte();
        if (size < 0)
            return truncated("the image data");
        if (size == 0)
            break;
        if (!source_.read(block, std::size_t(size)))
            return truncated("the image data");
        if (lzwError || lzw_->stopped())
            continue;
        if (auto fed = lzw_->feed(std::span<const std::uint8_t>(block, std::size_t(size))); !fed)
            lzwError = fed.error();
    }
    if (lzwError)
        return fail(*lzwError);
    return {};
}

// Takes from the budget, then allocates, everything drawing this image needs
// that is not there yet: the canvas with the first frame, the saved canvas
// with the first "restore previous" frame, and an index buffer as large as
// the image. Buffers are kept for later frames and counted while they live.
Result<void> Decoder::makeRoomFor(const FrameInfo& info) {
    const std::size_t canvasBytes = std::size_t(screen_.width) * screen_.height * 4;
    const std::size_t pixels = std::size_t(info.width) * info.height;
    const bool restores = info.control && info.control->disposal == Disposal::RestorePrevious;
    if (!reserveCounted(canvas_, canvasBytes, budget_) ||
        (restores && !reserveCounted(saved_, canvasBytes, budget_)) ||
        !reserveCounted(indices_, pixels, budget_))
        return fail(overBudget());
    if (canvas_.size() != canvasBytes)
        canvas_.assign(canvasBytes, 0);
    indices_.resize(pixels);
    return {};
}

// Image descriptor (section 20), local colour table and table-based image data.
Result<void> Decoder::readImage() {
    std::uint8_t desc[9];
    if (!source_.read(desc, sizeof desc))
        return truncated("an image descriptor");
    FrameInfo info;
    info.index = frameCount_;
    info.left = le16(desc);
    info.top = le16(desc + 2);
    info.width = le16(desc + 4);
    info.height = le16(desc + 6);
    const std::uint8_t packed = desc[8];
    info.interlaced = (packed & 0x40) != 0;
    info.localPalette = (packed & 0x80) != 0;
    info.control = pendingControl_;
    pendingControl_.reset();

    const auto& limits = options_.limits;
    if (info.width > limits.maxCanvasSide || info.height > limits.maxCanvasSide)
        return fail(makeError("gif.too_large", "An image in the GIF exceeds the limit of " +
                                                   std::to_string(limits.maxCanvasSide) +
                                                   " pixels a side."));
    if (info.localPalette) {
        if (auto r = readPalette(2 << (packed & 7), localPalette_); !r)
            return r;
    }
    const int minCodeSize = source_.readByte();
    if (minCodeSize < 0)
        return truncated("the image data");
    const bool draw = options_.drawFrames;
    if (draw) {
        if (auto room = makeRoomFor(info); !room)
            return room;
    }
    const std::size_t pixels = std::size_t(info.width) * info.height;
    if (auto r = readImageData(minCodeSize,
                               draw ? std::span<std::uint8_t>(indices_) : std::span<std::uint8_t>(),
                               pixels);
        !r)
        return r;

    const LzwOutcome lzw = lzw_->outcome();
    const auto& tolerances = options_.tolerances;
    if (lzw.written < pixels && !tolerances.acceptShortImageData)
        return fail(makeError("gif.short_image", "An image's data ends before its last pixel."));
    if (lzw.overflowed && !tolerances.acceptExtraImageData)
        return fail(makeError("gif.long_image", "An image's data holds more pixels than it has."));

    if (draw)
        disposePrevious();
    frame_ = info;
    haveFrame_ = true;
    ++frameCount_;
    if (!draw)
        return {};
    if (frame_.control && frame_.control->disposal == Disposal::RestorePrevious)
        saved_.assign(canvas_.begin(), canvas_.end());
    composite(indices_, lzw.written);
    return {};
}

// Clipped rectangle of the current frame on the canvas.
struct CanvasRect {
    std::uint32_t x0, y0, x1, y1;
};

static CanvasRect clip(const FrameInfo& f, const ScreenInfo& s) {
    const auto x0 = std::min<std::uint32_t>(f.left, s.width);
    const auto y0 = std::min<std::uint32_t>(f.top, s.height);
    const auto x1 = std::min<std::uint32_t>(std::uint32_t(f.left) + f.width, s.width);
    const auto y1 = std::min<std::uint32_t>(std::uint32_t(f.top) + f.height, s.height);
    return {x0, y0, x1, y1};
}

void Decoder::disposePrevious() {
    if (!haveFrame_ || !frame_.control)
        return;
    const Disposal disposal = frame_.control->disposal;
    if (disposal != Disposal::RestoreBackground && disposal != Disposal::RestorePrevious)
        return;
    const CanvasRect r = clip(frame_, screen_);
    const std::size_t stride = std::size_t(screen_.width) * 4;
    for (std::uint32_t y = r.y0; y < r.y1; ++y) {
        const std::size_t at = y * stride + r.x0 * 4;
        const std::size_t n = std::size_t(r.x1 - r.x0) * 4;
        if (disposal == Disposal::RestoreBackground)
            std::memset(canvas_.data() + at, 0, n);
        else
            std::memcpy(canvas_.data() + at, saved_.data() + at, n);
    }
}

void Decoder::composite(std::span<const std::uint8_t> indices, std::size_t written) {
    const CanvasRect r = clip(frame_, screen_);
    if (r.x0 >= r.x1 || r.y0 >= r.y1)
        return;
    const std::uint32_t* palette = frame_.localPalette ? localPalette_ : globalPalette_;
    const int transparent =
        frame_.control && frame_.control->transparentIndex ? *frame_.control->transparentIndex : -1;
    const std::size_t stride = std::size_t(screen_.width) * 4;
    const std::uint32_t w = frame_.width;
    const std::uint32_t visible = r.x1 - r.x0;

    InterlacedRows interlaced(frame_.height);
    for (std::uint32_t k = 0; k < frame_.height; ++k) {
        std::uint32_t row = k;
        if (frame_.interlaced) {
            row = interlaced.row();
            interlaced.advance();
        }
        const std::size_t start = std::size_t(k) * w;
        if (start >= written)
            break;
        const std::uint32_t y = frame_.top + row;
        if (y >= r.y1)
            continue;
        const std::uint32_t count = std::uint32_t(std::min<std::size_t>(visible, written - start));
        const std::uint8_t* src = indices.data() + start;
        std::uint8_t* dst = canvas_.data() + y * stride + std::size_t(r.x0) * 4;
        if (transparent < 0) {
            for (std::uint32_t x = 0; x < count; ++x)
                std::memcpy(dst + 4 * x, &palette[src[x]], 4);
        } else {
            for (std::uint32_t x = 0; x < count; ++x) {
                if (src[x] != transparent)
                    std::memcpy(dst + 4 * x, &palette[src[x]], 4);
            }
        }
    }
}

} // namespace flickbook::gif
