#include "picture_loading.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <QImageReader>
#include <cstring>

namespace flickbook::components {

image::RgbaImage toRgba(const QImage& picture) {
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    image::RgbaImage out;
    out.width = std::uint32_t(rgba.width());
    out.height = std::uint32_t(rgba.height());
    out.pixels.resize(std::size_t(out.width) * out.height * 4);
    for (int y = 0; y < rgba.height(); ++y)
        std::memcpy(&out.pixels[std::size_t(y) * out.width * 4], rgba.constScanLine(y),
                    std::size_t(out.width) * 4);
    return out;
}

QImage readPictureUpright(const QString& path, std::optional<image::Size> bound, QString* error) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (bound) {
        QSize size = reader.size();
        // The stored size is before rotation; a quarter turn swaps the sides.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            size.transpose();
        const auto fitted = image::fitInside(
            {std::uint32_t(std::max(0, size.width())), std::uint32_t(std::max(0, size.height()))},
            *bound, false);
        // Decode at no less than the size it will be shown at.
        if (size.isValid() && fitted.width < std::uint32_t(size.width())) {
            QSize scaled(int(fitted.width), int(fitted.height));
            if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                scaled.transpose();
            reader.setScaledSize(scaled.expandedTo(QSize(1, 1)));
        }
    }
    QImage picture = reader.read();
    if (picture.isNull() && error)
        *error = reader.errorString();
    return picture;
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
    QString reason;
    const QImage picture = readPictureUpright(path, bound, &reason);
    if (picture.isNull())
        return makeError("picture.unreadable",
                         path.toStdString() + " cannot be read: " + reason.toStdString() + ".");
    return toRgba(picture);
}

} // namespace flickbook::components
