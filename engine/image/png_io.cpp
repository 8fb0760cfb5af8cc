#include "image/png_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <png.h>

namespace flickbook::image {

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f)
            std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

Result<RgbaImage> readPng(const fs::path& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return makeError("png.read", "Cannot read " + path.string() + ": " + image.message);
    image.format = PNG_FORMAT_RGBA;
    RgbaImage out;
    out.width = image.width;
    out.height = image.height;
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        std::string message = image.message;
        png_image_free(&image);
        return makeError("png.read", "Cannot decode " + path.string() + ": " + message);
    }
    return out;
}

Result<void> writePng(const fs::path& path, std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> rgba) {
    if (rgba.size() != std::size_t(width) * height * 4)
        return makeError("png.size", "The pixel buffer does not match the image size.");
    fs::path temporary = path;
    temporary += ".part";
    {
        File file(std::fopen(temporary.c_str(), "wb"));
        if (!file)
            return makeError("io.open",
                             "Cannot write " + temporary.string() + ": " + std::strerror(errno));
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = width;
        image.height = height;
        image.format = PNG_FORMAT_RGBA;
        const bool written =
            png_image_write_to_stdio(&image, file.get(), 0, rgba.data(), 0, nullptr) != 0;
        const bool flushed = std::fflush(file.get()) == 0 && !std::ferror(file.get());
        if (!written || !flushed) {
            std::string message = written ? std::strerror(errno) : image.message;
            file.reset();
            std::error_code ec;
            fs::remove(temporary, ec);
            return makeError("png.write", "Cannot write " + path.string() + ": " + message);
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return makeError("io.rename", "Cannot place " + path.string() + ": " + ec.message());
    }
    return {};
}

} // namespace flickbook::image
