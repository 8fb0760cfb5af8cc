#include "library/first_frame_provider.h"

#include "gif/animation.h"

#include <QUrl>

namespace flickbook::library {

FirstFrameProvider::FirstFrameProvider()
    : QQuickImageProvider(QQuickImageProvider::Image,
                          QQmlImageProviderBase::ForceAsynchronousImageLoading) {}

QUrl FirstFrameProvider::sourceFor(const QString& path) {
    return QUrl(QStringLiteral("image://firstframe/") +
                QString::fromLatin1(QUrl::toPercentEncoding(path)));
}

QImage FirstFrameProvider::requestImage(const QString& id, QSize* size,
                                        const QSize& requestedSize) {
    const QString path = QUrl::fromPercentEncoding(id.toLatin1());
    QImage picture;
    if (auto frame = gif::decodeFirstFrame(path.toStdString())) {
        const int width = int(frame->canvasWidth);
        const int height = int(frame->canvasHeight);
        picture =
            QImage(frame->rgba.data(), width, height, width * 4, QImage::Format_RGBA8888).copy();
        if (requestedSize.isValid() && !picture.isNull() &&
            (picture.width() > requestedSize.width() || picture.height() > requestedSize.height()))
            picture = picture.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (size)
        *size = picture.size();
    return picture;
}

} // namespace flickbook::library
