#include "animated_image_view.h"

#include <QHash>
#include <cmath>

namespace flickbook::platform {

namespace {

// Live views by id, touched on the GUI thread only (views live there and
// the provider serves synchronous Images there).
QHash<quint64, AnimatedImageView*>& liveViews() {
    static QHash<quint64, AnimatedImageView*> views;
    return views;
}

quint64 nextViewId() {
    static quint64 next = 0;
    return ++next;
}

} // namespace

AnimatedImageView::AnimatedImageView(QObject* parent) : QObject(parent), id_(nextViewId()) {
    liveViews().insert(id_, this);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &AnimatedImageView::advance);
}

AnimatedImageView::~AnimatedImageView() {
    liveViews().remove(id_);
}

void AnimatedImageView::setImage(AnimatedImage image) {
    timer_.stop();
    image_ = std::move(image);
    ++revision_;
    entry_ = 0;
    picture_ = image_.isEmpty() ? 0 : image_.pictureAt(0);
    const double entrySeconds = image_.entrySeconds();
    if (entrySeconds > 0.0) {
        clock_.start();
        // Ticks at the entry rate; advance() reads the clock, so late ticks
        // never make the animation run slow.
        timer_.start(std::max(1, int(std::lround(entrySeconds * 1000.0))));
    }
    Q_EMIT imageChanged();
    Q_EMIT entryChanged();
    Q_EMIT frameChanged();
}

bool AnimatedImageView::setPictures(QList<QImage> pictures) {
    if (pictures.size() != image_.images.size())
        return false;
    image_.images = std::move(pictures);
    ++revision_;
    Q_EMIT imageChanged();
    Q_EMIT frameChanged();
    return true;
}

void AnimatedImageView::stopAnimating() {
    if (!timer_.isActive())
        return;
    timer_.stop();
    Q_EMIT imageChanged();
}

void AnimatedImageView::advance() {
    const double entrySeconds = image_.entrySeconds();
    if (entrySeconds <= 0.0 || image_.isEmpty())
        return;
    const double elapsed = double(clock_.nsecsElapsed()) / 1e9;
    const double count = double(image_.entryCount());
    const auto entry = quint64(std::fmod(std::floor(elapsed / entrySeconds + 1e-6), count));
    if (entry == entry_)
        return;
    entry_ = entry;
    Q_EMIT entryChanged();
    // The page reloads only when the picture changes, not at every entry of
    // a run.
    const qsizetype picture = image_.pictureAt(entry);
    if (picture != picture_) {
        picture_ = picture;
        Q_EMIT frameChanged();
    }
}

QUrl AnimatedImageView::frameSource() const {
    if (image_.images.isEmpty())
        return QUrl();
    return QUrl(QStringLiteral("image://animation/%1/%2/%3").arg(id_).arg(revision_).arg(picture_));
}

QSize AnimatedImageView::imageSize() const {
    return image_.images.isEmpty() ? QSize() : image_.images.first().size();
}

void AnimatedImageView::setPixelSize(QSize size) {
    if (size == pixelSize_)
        return;
    pixelSize_ = size;
    Q_EMIT pixelSizeChanged();
}

QImage AnimatedImageView::pictureImage(quint64 viewId, qsizetype picture) {
    AnimatedImageView* view = liveViews().value(viewId);
    if (!view || picture < 0 || picture >= view->image_.images.size())
        return QImage();
    return view->image_.images[picture];
}

QImage AnimatedImageProvider::requestImage(const QString& id, QSize* size,
                                           const QSize& requestedSize) {
    const QStringList parts = id.split(QLatin1Char('/'));
    QImage image;
    if (parts.size() == 3)
        image = AnimatedImageView::pictureImage(parts[0].toULongLong(), parts[2].toLongLong());
    // Pictures are normally made at the view's size already; one that is
    // larger still (a size the page asked for after it was made) is shrunk
    // to what is shown, roughly first (cheap), then smoothly.
    if (!image.isNull() && requestedSize.isValid() && requestedSize.width() > 0 &&
        requestedSize.height() > 0 &&
        (image.width() > requestedSize.width() || image.height() > requestedSize.height())) {
        const QSize target = image.size().scaled(requestedSize, Qt::KeepAspectRatio);
        if (image.width() > 2 * target.width())
            image = image.scaled(target * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (size)
        *size = image.size();
    return image;
}

} // namespace flickbook::platform
