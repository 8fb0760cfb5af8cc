#pragma once

// Video thumbnails for the picker: "image://video/<encoded path>", a frame
// near the start, upright, fitted in 300 × 300. They are made on a pool of
// their own, one per core, so a screenful arrives together; a video that
// cannot be read gives the "img" placeholder.

#include <QQuickAsyncImageProvider>
#include <QThreadPool>

namespace flickbook::video {

class VideoThumbnailProvider : public QQuickAsyncImageProvider {
public:
    VideoThumbnailProvider();
    ~VideoThumbnailProvider() override;
    QQuickImageResponse* requestImageResponse(const QString& id,
                                              const QSize& requestedSize) override;

    static QUrl sourceFor(const QString& path);

private:
    QThreadPool pool_;
};

} // namespace flickbook::video
