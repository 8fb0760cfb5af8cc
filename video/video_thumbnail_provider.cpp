#include "video/video_thumbnail_provider.h"

#include "common/common_utils.h"
#include "platform/photo_library.h"

#include <QRunnable>
#include <QThread>
#include <QUrl>

namespace flickbook::video {

namespace {

// Made on the provider's pool; the response may be gone by the time it is
// done (a cell scrolled away), so the picture travels by a signal.
class ThumbnailJob : public QObject, public QRunnable {
    Q_OBJECT
public:
    explicit ThumbnailJob(QString path) : path_(std::move(path)) {}
    void run() override {
        Q_EMIT done(common::thumbnailForAsset(platform::VideoAsset{path_, {}}, 300.0, 300.0));
    }
signals:
    void done(const QImage& thumbnail);

private:
    QString path_;
};

class ThumbnailResponse : public QQuickImageResponse {
    Q_OBJECT
public:
    ThumbnailResponse(const QString& path, QThreadPool& pool) {
        auto* job = new ThumbnailJob(path); // the pool deletes it once run
        connect(job, &ThumbnailJob::done, this, &ThumbnailResponse::arrived);
        pool.start(job);
    }
    QQuickTextureFactory* textureFactory() const override {
        return QQuickTextureFactory::textureFactoryForImage(thumbnail_);
    }

private:
    void arrived(const QImage& thumbnail) {
        thumbnail_ = thumbnail;
        Q_EMIT finished();
    }
    QImage thumbnail_;
};

} // namespace

VideoThumbnailProvider::VideoThumbnailProvider() {
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

VideoThumbnailProvider::~VideoThumbnailProvider() {
    pool_.waitForDone();
}

QUrl VideoThumbnailProvider::sourceFor(const QString& path) {
    return QUrl(QStringLiteral("image://video/") +
                QString::fromLatin1(QUrl::toPercentEncoding(path)));
}

QQuickImageResponse* VideoThumbnailProvider::requestImageResponse(const QString& id,
                                                                  const QSize& requestedSize) {
    Q_UNUSED(requestedSize); // always the picker's 300 × 300
    return new ThumbnailResponse(QUrl::fromPercentEncoding(id.toLatin1()), pool_);
}

} // namespace flickbook::video

#include "video_thumbnail_provider.moc"
