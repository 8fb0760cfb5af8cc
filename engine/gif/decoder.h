#pragma once

// Streaming GIF87a/GIF89a decoder. Each call to next() decodes one image and
// composites it onto a full-canvas RGBA buffer the way browsers show GIFs:
// the canvas starts transparent, "restore to background" clears to
// transparent, and images reaching past the logical screen are clipped.
//
// Stages: open() reads the header and logical screen descriptor; next()
// walks extensions up to the next image descriptor and decodes that image.
// After an error the decoder refuses every further call with the same error.

#include "core/byte_source.h"
#include "core/memory_budget.h"
#include "core/result.h"
#include "gif/lzw_decoder.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace flickbook::gif {

struct DecodeLimits {
    std::uint32_t maxCanvasSide = 16384;
    // Every byte the file makes the decoder and its caller hold at once: the
    // canvas, the canvas saved for "restore previous", the image's index
    // buffer, and what a caller keeps on the decoder's budget (the frames and
    // per-frame records of decodeAnimation). A decode that would pass it is
    // refused with gif.too_large before the memory is allocated. The
    // decoder's own fixed buffers (under 100 KiB) are not counted.
    std::uint64_t maxDecodedBytes = std::uint64_t(1) << 30;
};

// How far the decoder bends for files that break the format in ways real
// encoders are known to. Each tolerance is on by default, as in browsers.
struct Tolerances {
    // Image data that ends (end code or data exhausted) before every pixel
    // was given: the missing pixels leave the canvas as it was.
    bool acceptShortImageData = true;
    // Image data that holds more pixels than the image: the surplus is dropped.
    bool acceptExtraImageData = true;
    // A missing trailer after the last image counts as the end of the file.
    bool acceptMissingTrailer = true;
};

struct DecodeOptions {
    DecodeLimits limits;
    Tolerances tolerances;
    // False: every image is read and its data checked exactly as for drawing
    // (the same frames, the same damage), but nothing is drawn and no canvas
    // is held; canvas() stays empty. For tools that need only the timing.
    bool drawFrames = true;
};

// The file's values 0 to 3; as in browsers, 4 also restores the previous
// canvas and 5 to 7 keep it.
enum class Disposal : std::uint8_t {
    Unspecified = 0,
    Keep = 1,
    RestoreBackground = 2,
    RestorePrevious = 3,
};

struct GraphicControl {
    std::uint16_t delayCs = 0; // as written in the file
    Disposal disposal = Disposal::Unspecified;
    std::optional<std::uint8_t> transparentIndex;
};

struct FrameInfo {
    std::uint32_t index = 0;
    // The image rectangle as the file states it; it may reach past the canvas.
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    bool localPalette = false;
    std::optional<GraphicControl> control;
};

struct ScreenInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool globalPalette = false;
};

class Decoder {
public:
    static Result<Decoder> openFile(const std::filesystem::path& path, DecodeOptions options = {});
    // The bytes must outlive the decoder.
    static Result<Decoder> openMemory(std::span<const std::uint8_t> bytes,
                                      DecodeOptions options = {});

    const ScreenInfo& screen() const { return screen_; }

    // Decodes the next frame onto the canvas: true when a frame is ready in
    // canvas() and frame(), false when the file has no more frames.
    Result<bool> next();

    const FrameInfo& frame() const { return frame_; }
    // width × height × 4 bytes, R G B A, rows top to bottom; empty before the
    // first frame and when frames are not drawn.
    std::span<const std::uint8_t> canvas() const { return canvas_; }

    // The budget of DecodeLimits::maxDecodedBytes. A caller keeping memory
    // for this file (copies of frames, per-frame records) takes it from here
    // first, and reports overBudget() when it cannot.
    MemoryBudget& memory() { return budget_; }
    const MemoryBudget& memory() const { return budget_; }
    Error overBudget() const;

    // The looping extension's count (0 = forever) once it has been read; absent
    // when the file has none, which means the animation plays once.
    std::optional<std::uint16_t> loopCount() const { return loopCount_; }

private:
    enum class State { Ready, Done, Failed };

    Decoder(ByteSource source, DecodeOptions options);
    Result<void> readHeader();
    Result<bool> advance();
    Error fail(Error error);
    Error truncated(const char* where);

    Result<void> readExtension();
    Result<void> readGraphicControl(std::span<const std::uint8_t> block);
    Result<void> readApplication(std::span<const std::uint8_t> first);
    Result<void> skipSubBlocks();
    Result<void> readPalette(int entries, std::uint32_t* palette);
    Result<void> readImage();
    Result<void> makeRoomFor(const FrameInfo& info);
    Result<void> readImageData(int minCodeSize, std::span<std::uint8_t> out, std::size_t pixels);
    void disposePrevious();
    void composite(std::span<const std::uint8_t> indices, std::size_t written);

    ByteSource source_;
    DecodeOptions options_;
    State state_ = State::Ready;
    Error error_;

    ScreenInfo screen_;
    std::uint32_t globalPalette_[256];
    std::uint32_t localPalette_[256];
    std::optional<std::uint16_t> loopCount_;
    std::optional<GraphicControl> pendingControl_;

    FrameInfo frame_;
    bool haveFrame_ = false;
    std::uint32_t frameCount_ = 0;

    MemoryBudget budget_;
    std::vector<std::uint8_t> canvas_;
    std::vector<std::uint8_t> saved_; // canvas before a RestorePrevious frame was drawn
    std::vector<std::uint8_t> indices_;
    std::unique_ptr<LzwDecoder> lzw_;
};

} // namespace flickbook::gif
