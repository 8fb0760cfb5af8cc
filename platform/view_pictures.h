#pragma once

// Pictures as an image view holds them: fitted inside the view's size in
// device pixels (never enlarged) and stored compactly, so that drawing one is
// a copy to the screen, not a resize, and a long animation holds little.

#include <QImage>
#include <QSize>
#include <QtGlobal>

namespace flickbook::platform {

// The largest size with picture's aspect inside box, at least 1 × 1; the
// picture's own size when it fits already or when box is empty.
QSize fittedSize(QSize picture, QSize box);

// The picture fitted inside box (smoothly shrunk when larger), then in the
// most compact format that keeps every pixel of the fitted picture: 8-bit
// indexed with its colour table when it has at most 256 colours, else RGB888
// when it is opaque, else premultiplied ARGB32.
QImage viewPicture(const QImage& picture, QSize box);

// The same for a size given exactly: the picture resized to it (smoothly,
// aspect as given), then held as compactly.
QImage viewPictureOfSize(const QImage& picture, QSize size);

// The memory a held picture takes: its pixels, its colour table and the
// image's own record.
quint64 heldBytes(const QImage& picture);

} // namespace flickbook::platform
