#include "render/frame_spool.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace flickbook::render {

namespace fs = std::filesystem;

namespace {

std::string systemError(int error) {
    return std::strerror(error);
}

// The whole buffer at offset, across short transfers and interruptions;
// `transfer` is pread or pwrite.
template <typename Byte, typename Transfer>
bool wholeAt(Transfer transfer, int fd, Byte* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

bool writeAt(int fd, const std::uint8_t* data, std::size_t size, off_t offset) {
    return wholeAt(::pwrite, fd, data, size, offset);
}

bool readAt(int fd, std::uint8_t* data, std::size_t size, off_t offset) {
    return wholeAt(::pread, fd, data, size, offset);
}

} // namespace

Result<FrameSpool> FrameSpool::open(const fs::path& folder) {
    const fs::path where = folder.empty() ? fs::path(".") : folder;
    int fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        // File systems without unnamed files: a named one, unlinked at once.
        std::string pattern = (where / ".flickbook-frames-XXXXXX").string();
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0)
            ::unlink(pattern.c_str());
    }
    if (fd < 0)
        return makeError("file.create", "Cannot keep frames in " + where.string() + ": " +
                                            systemError(errno) + ".");
    return FrameSpool(fd);
}

FrameSpool::FrameSpool(FrameSpool&& other) noexcept
    : fd_(other.fd_), width_(other.width_), height_(other.height_), count_(other.count_) {
    other.fd_ = -1;
}

FrameSpool::~FrameSpool() {
    if (fd_ >= 0)
        ::close(fd_);
}

Result<void> FrameSpool::append(const image::RgbaImage& frame) {
    if (count_ == 0) {
        width_ = frame.width;
        height_ = frame.height;
    }
    const std::size_t bytes = std::size_t(width_) * height_ * 4;
    if (frame.width != width_ || frame.height != height_ || frame.pixels.size() != bytes)
        return makeError("render.frame_size", "A frame to play back has a different size.");
    errno = 0;
    if (!writeAt(fd_, frame.pixels.data(), bytes, off_t(count_ * bytes)))
        return makeError("file.write", "Cannot keep a frame for the way back: " +
                                           systemError(errno ? errno : ENOSPC) + ".");
    ++count_;
    return {};
}

Result<image::RgbaImage> FrameSpool::read(std::size_t index) const {
    image::RgbaImage frame;
    frame.width = width_;
    frame.height = height_;
    const std::size_t bytes = std::size_t(width_) * height_ * 4;
    frame.pixels.resize(bytes);
    if (index >= count_ || !readAt(fd_, frame.pixels.data(), bytes, off_t(index * bytes)))
        return makeError("file.read", "Cannot read back a kept frame.");
    return frame;
}

} // namespace flickbook::render
