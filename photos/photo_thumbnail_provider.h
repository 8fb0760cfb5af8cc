#pragma once

// Photo thumbnails for the picker: "image://photo/<encoded path>", made on
// QML's image threads at 500 × 500 (upright, aspect kept). A photo that
// cannot be read gives no image, and its cell keeps the "img" placeholder.

#include <QQuickImageProvider>

namespace flickbook::photos {

class PhotoThumbnailProvider : public QQuickImageProvider {
public:
    PhotoThumbnailProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    static QUrl sourceFor(const QString& path);
};

} // namespace flickbook::photos
