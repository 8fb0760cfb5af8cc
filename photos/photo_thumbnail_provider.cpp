#include "photos/photo_thumbnail_provider.h"

#include "common/common_utils.h"
#include "platform/photo_library.h"

#include <QUrl>

namespace flickbook::photos {

PhotoThumbnailProvider::PhotoThumbnailProvider()
    : QQuickImageProvider(QQuickImageProvider::Image,
                          QQmlImageProviderBase::ForceAsynchronousImageLoading) {}

QUrl PhotoThumbnailProvider::sourceFor(const QString& path) {
    return QUrl(QStringLiteral("image://photo/") +
                QString::fromLatin1(QUrl::toPercentEncoding(path)));
}

QImage PhotoThumbnailProvider::requestImage(const QString& id, QSize* size,
                                            const QSize& requestedSize) {
    Q_UNUSED(requestedSize); // always the picker's 500 × 500
    const platform::PhotoAsset asset{QUrl::fromPercentEncoding(id.toLatin1()), {}};
    const QImage thumbnail = common::thumbnailForAsset(asset, 500.0, 500.0);
    if (size)
        *size = thumbnail.size();
    return thumbnail;
}

} // namespace flickbook::photos
