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
// image when the file cannot be read, with the reason in error.
QImage readPictureUpright(const QString& path, std::optional<image::Size> bound = std::nullopt,
                          QString* error = nullptr);

// Reads a picture file upright. With a bound, large pictures are decoded at
// a reduced size that still covers the bound (far faster for JPEG).
Result<image::RgbaImage> loadPicture(const QString& path,
                                     std::optional<image::Size> bound = std::nullopt);

} // namespace flickbook::components
