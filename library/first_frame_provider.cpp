#include "library/first_frame_provider.h"

#include "gif/animation.h"
#include "platform/decode_budgets.h"

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
    // Several cells decode at once, beside whatever else the app is doing:
    // each within a desktop's share, so a file declaring a huge canvas is
    // refused rather than growing the process.
    gif::DecodeOptions options;
    options.limits.maxDecodedBytes = platform::kFirstFrameDecodeBytes;
    if (auto frame = gif::decodeFirstFrame(path.toStdString(), options)) {
        const int width = int(frame->canvasWidth);
        const int height = int(frame->canvasHeight);
        // Read in place; the scaled picture or the one copy outlives the frame.
        const QImage decoded(frame->rgba.data(), width, height, width * 4, QImage::Format_RGBA8888);
        if (requestedSize.isValid() &&
            (width > requestedSize.width() || height > requestedSize.height()))
            picture = decoded.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        else
            picture = decoded.copy();
    }
    if (size)
        *size = picture.size();
    return picture;
}

} // namespace flickbook::library
