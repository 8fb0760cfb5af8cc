#pragma once

// Pictures as the engine takes them: Qt images in, 8-bit RGBA out, with the
// camera's orientation applied.

#include "core/result.h"
#include "image/fit.h"

#include <QImage>
#include <QString>
#include <optional>

namespace flickbook::components {

image::RgbaImage toRgba(const QImage& picture);

// Reads a picture file upright, fitted inside bound when it is larger (never
// enlarged), decoded at that reduced size where the format allows; a null
// image when the file cannot be read, with the reason in error. A picture
// larger than Qt's usual allocation limit (a 16-bit photo of 24 MP) is read
// all the same, up to 1 GB decoded.
QImage readPictureUpright(const QString& path, std::optional<image::Size> bound = std::nullopt,
                          QString* error = nullptr);

// Reads a picture file upright, fitted inside bound when it is larger (never
// enlarged). A JPEG is decoded at a reduced size that still covers the bound
// (far faster); every conversion and the shrinking run on the calling thread
// alone, so a process that cannot start threads still loads its pictures.
// Running out of memory is an error, as is a picture past the 1 GB budget.
Result<image::RgbaImage> loadPicture(const QString& path,
                                     std::optional<image::Size> bound = std::nullopt);

} // namespace flickbook::components
