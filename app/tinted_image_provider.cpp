#include "app/tinted_image_provider.h"

#include <QImageReader>
#include <QPainter>

namespace flickbook::app {

TintedImageProvider::TintedImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage TintedImageProvider::requestImage(const QString& id, QSize* size,
                                         const QSize& requestedSize) {
    const qsizetype slash = id.indexOf(QLatin1Char('/'));
    const QColor tint(QLatin1Char('#') + id.left(slash));
    QImageReader reader(QLatin1Char(':') + id.mid(slash + 1));
    if (requestedSize.isValid())
        reader.setScaledSize(requestedSize);
    QImage image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!image.isNull() && tint.isValid()) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), tint);
    }
    if (size)
        *size = image.size();
    return image;
}

} // namespace flickbook::app
