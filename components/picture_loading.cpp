#include "picture_loading.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

namespace flickbook::components {

namespace {

// Qt's conversions and smooth scaling split a large picture over its global
// thread pool and wait for the parts. When the process cannot start a thread
// (its address space is capped and nearly used up) the part is never run and
// the wait never ends; a band of at most this many pixels is converted on the
// calling thread alone.
constexpr qsizetype kPixelsPerBand = qsizetype(1) << 16;

// Qt refuses to decode a picture of more than its allocation limit (128 MB):
// a 6000 × 4000 photo with 16 bits a channel needs 192 MB. Such a picture is
// read with the limit raised to what it needs, up to this much.
constexpr qint64 kLargestDecodeMegabytes = 1024;
// The limit is the whole process's: large reads take turns.
std::mutex allocationLimitLock;

int bytesPerPixel(QImage::Format format) {
    const int bits = QImage::toPixelFormat(format).bitsPerPixel();
    return bits > 0 ? (bits + 7) / 8 : 8; // unknown: as much as 16-bit RGBA
}

// The stored size; the quarter turns of the camera's orientation swap it.
QSize uprightSize(const QImageReader& reader) {
    QSize size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

QSize stored(QSize upright, const QImageReader& reader) {
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        upright.transpose();
    return upright;
}

image::Size toSize(QSize size) {
    return {std::uint32_t(std::max(0, size.width())), std::uint32_t(std::max(0, size.height()))};
}

// Reads with the allocation limit raised when the decoded picture needs it;
// a picture past the budget is refused with the reason.
QImage readWithinBudget(QImageReader& reader, QSize decoded, QString* error) {
    const qint64 megabytes =
        (qint64(decoded.width()) * decoded.height() * bytesPerPixel(reader.imageFormat()) >> 20) +
        1;
    if (!decoded.isValid() || megabytes <= QImageReader::allocationLimit()) {
        QImage picture = reader.read();
        if (picture.isNull() && error)
            *error = reader.errorString();
        return picture;
    }
    if (megabytes > kLargestDecodeMegabytes) {
        if (error)
            *error = QObject::tr("The picture would take %1 MB to decode, more than the %2 MB "
                                 "a picture may take.")
                         .arg(megabytes)
                         .arg(kLargestDecodeMegabytes);
        return {};
    }
    const std::lock_guard lock(allocationLimitLock);
    const int before = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(int(megabytes));
    QImage picture = reader.read();
    QImageReader::setAllocationLimit(before);
    if (picture.isNull() && error)
        *error = reader.errorString();
    return picture;
}

// The largest of the reductions JPEG decodes directly (1/2, 1/4, 1/8) that
// divides the picture exactly and still covers the bound: Qt's reader then
// gives that size as decoded, with no scaling of its own.
QSize jpegReduction(QSize size, image::Size cover) {
    for (const int denominator : {8, 4, 2})
        if (size.width() % denominator == 0 && size.height() % denominator == 0 &&
            std::uint32_t(size.width() / denominator) >= cover.width &&
            std::uint32_t(size.height() / denominator) >= cover.height)
            return size / denominator;
    return {};
}

} // namespace

image::RgbaImage toRgba(const QImage& picture) {
    image::RgbaImage out;
    out.width = std::uint32_t(picture.width());
    out.height = std::uint32_t(picture.height());
    out.pixels.resize(std::size_t(out.width) * out.height * 4);
    if (out.pixels.empty())
        return out;
    const int rowsPerBand = int(std::max<qsizetype>(1, kPixelsPerBand / picture.width()));
    for (int y = 0; y < picture.height(); y += rowsPerBand) {
        const int rows = std::min(rowsPerBand, picture.height() - y);
        // The band's rows as they are in the picture, not copied.
        QImage band(picture.constScanLine(y), picture.width(), rows, picture.bytesPerLine(),
                    picture.format());
        if (picture.colorCount() > 0)
            band.setColorTable(picture.colorTable());
        const QImage rgba = band.convertToFormat(QImage::Format_RGBA8888);
        if (rgba.isNull())
            throw std::bad_alloc();
        for (int r = 0; r < rows; ++r)
            std::memcpy(&out.pixels[(std::size_t(y) + std::size_t(r)) * out.width * 4],
                        rgba.constScanLine(r), std::size_t(out.width) * 4);
    }
    return out;
}

QImage readPictureUpright(const QString& path, std::optional<image::Size> bound, QString* error) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = uprightSize(reader);
    QSize decoded = stored(size, reader);
    if (bound && size.isValid()) {
        const auto fitted = image::fitInside(toSize(size), *bound, false);
        // Decode at no less than the size it will be shown at.
        if (fitted.width < std::uint32_t(size.width())) {
            const QSize scaled = stored(QSize(int(fitted.width), int(fitted.height)), reader);
            reader.setScaledSize(scaled.expandedTo(QSize(1, 1)));
            // Formats that cannot decode at a reduced size decode whole first.
            if (reader.format() == "jpeg")
                decoded = scaled;
        }
    }
    return readWithinBudget(reader, decoded, error);
}

Result<image::RgbaImage> loadPicture(const QString& path, std::optional<image::Size> bound) {
    if (!QFileInfo::exists(path))
        return makeError("picture.not_found", path.toStdString() + " does not exist.");
    if (QFileInfo(path).isDir())
        return makeError("picture.unreadable", path.toStdString() + " is a folder, not a picture.");
    // Qt's reader says "File not found" for a file it may not open; the
    // system's own reason is clearer.
    if (std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb"))
        std::fclose(file);
    else
        return makeError("picture.unreadable",
                         path.toStdString() + " cannot be read: " + std::strerror(errno) + ".");
    auto unreadable = [&](const QString& reason) {
        return makeError("picture.unreadable",
                         path.toStdString() + " cannot be read: " + reason.toStdString() + ".");
    };
    try {
        // Decoded whole, or at a reduction JPEG makes itself; what shrinking
        // is left is done here, on this thread.
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QSize size = uprightSize(reader);
        QSize decoded = stored(size, reader);
        std::optional<image::Size> fitted;
        if (bound && size.isValid()) {
            fitted = image::fitInside(toSize(size), *bound, false);
            const QSize reduced =
                reader.format() == "jpeg" ? jpegReduction(decoded, *fitted) : QSize();
            if (reduced.isValid()) {
                reader.setScaledSize(reduced);
                decoded = reduced;
            }
        }
        QString reason;
        QImage picture = readWithinBudget(reader, decoded, &reason);
        if (picture.isNull())
            return unreadable(reason);
        image::RgbaImage rgba = toRgba(picture);
        picture = QImage(); // the decoded picture goes before the shrinking
        if (!fitted || (fitted->width == rgba.width && fitted->height == rgba.height))
            return rgba;
        return image::resize(rgba, *fitted);
    } catch (const std::bad_alloc&) {
        return unreadable(QObject::tr("there is not enough memory for it"));
    }
}

} // namespace flickbook::components
