#include "core/byte_source.h"

#include <cerrno>
#include <cstring>

namespace flickbook {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
}

Result<ByteSource> ByteSource::openFile(const std::filesystem::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        int err = errno;
        return makeError(err == ENOENT ? "io.not_found" : "io.open",
                         "Cannot open " + path.string() + ": " + std::strerror(err));
    }
    ByteSource source;
    source.file_.reset(f);
    source.buffer_.resize(kChunk);
    return source;
}

ByteSource ByteSource::fromMemory(std::span<const std::uint8_t> bytes) {
    ByteSource source;
    source.window_ = bytes;
    return source;
}

bool ByteSource::refill() {
    if (!file_)
        return false;
    std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    if (got == 0 && std::ferror(file_.get()))
        ioFailed_ = true;
    window_ = std::span<const std::uint8_t>(buffer_.data(), got);
    return got > 0;
}

bool ByteSource::read(std::uint8_t* dst, std::size_t n) {
    while (n > 0) {
        if (window_.empty() && !refill())
            return false;
        std::size_t take = std::min(n, window_.size());
        std::memcpy(dst, window_.data(), take);
        window_ = window_.subspan(take);
        dst += take;
        n -= take;
    }
    return true;
}

int ByteSource::readByte() {
    if (window_.empty() && !refill())
        return -1;
    int b = window_[0];
    window_ = window_.subspan(1);
    return b;
}

bool ByteSource::skip(std::size_t n) {
    while (n > 0) {
        if (window_.empty() && !refill())
            return false;
        std::size_t take = std::min(n, window_.size());
        window_ = window_.subspan(take);
        n -= take;
    }
    return true;
}

} // namespace flickbook
