#pragma once

// Frames of one size kept on disk while a GIF is written, so that a bounce
// can play them again backwards without holding them all in memory. The
// file has no name: it is gone when the spool is, or when the process ends
// however it ends.

#include "core/result.h"
#include "image/png_io.h"

#include <cstddef>
#include <filesystem>

namespace flickbook::render {

class FrameSpool {
public:
    // A spool in folder (on the file system where the GIF is being made).
    // Errors: "file.create".
    static Result<FrameSpool> open(const std::filesystem::path& folder);

    FrameSpool(FrameSpool&& other) noexcept;
    FrameSpool& operator=(FrameSpool&&) = delete;
    ~FrameSpool();

    // Every frame must have the size of the first. Errors: "file.write",
    // "render.frame_size".
    Result<void> append(const image::RgbaImage& frame);
    // Frame i, 0-based, as it was appended. Errors: "file.read".
    Result<image::RgbaImage> read(std::size_t index) const;

    std::size_t size() const { return count_; }

private:
    explicit FrameSpool(int fd) : fd_(fd) {}

    int fd_ = -1;
    std::uint32_t width_ = 0, height_ = 0;
    std::size_t count_ = 0;
};

} // namespace flickbook::render
