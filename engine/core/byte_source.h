#pragma once

// A forward-only byte stream over a file or a block of memory. Files are read
// in chunks so that a caller who stops early (the first frame of a GIF) never
// reads the rest of the file.

#include "core/result.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace flickbook {

class ByteSource {
public:
    static Result<ByteSource> openFile(const std::filesystem::path& path);
    // The memory must outlive the source.
    static ByteSource fromMemory(std::span<const std::uint8_t> bytes);

    // Copies exactly n bytes into dst; false at the end of the data (dst then
    // holds whatever was available).
    bool read(std::uint8_t* dst, std::size_t n);
    // The next byte, or -1 at the end of the data.
    int readByte();
    bool skip(std::size_t n);
    // True when reading failed for a reason other than reaching the end.
    bool ioFailed() const { return ioFailed_; }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    bool refill();

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<std::uint8_t> buffer_;
    std::span<const std::uint8_t> window_; // unread bytes
    bool ioFailed_ = false;
};

} // namespace flickbook
