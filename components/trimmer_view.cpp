#include "trimmer_view.h"

#include "media/thumbnails.h"
#include "media/video_source.h"
#include "platform/dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cmath>

namespace flickbook::components {

namespace {

// Live trimmers by id, touched on the GUI thread only.
QHash<quint64, TrimmerView*>& liveTrimmers() {
    static QHash<quint64, TrimmerView*> trimmers;
    return trimmers;
}

quint64 nextTrimmerId() {
    static quint64 next = 0;
    return ++next;
}

// A strip shows the whole video up to twice the maximum length; a longer
// video is shown through a window one and a half times the maximum, so the
// longest stretch still spans two thirds of the strip.
constexpr double kWholeVideoUpTo = 2.0;
constexpr double kWindowOfMaximum = 1.5;

// Thumbnails are made for this many device pixels per strip pixel.
constexpr double kThumbnailScale = 2.0;

QImage toQImage(const image::RgbaImage& picture) {
    QImage made(int(picture.width), int(picture.height), QImage::Format_RGBA8888);
    for (int y = 0; y < made.height(); ++y)
        std::copy_n(picture.pixels.data() + std::size_t(y) * picture.width * 4,
                    std::size_t(picture.width) * 4, made.scanLine(y));
    return made;
}

} // namespace

TrimmerView::TrimmerView(QObject* parent) : QObject(parent), id_(nextTrimmerId()) {
    liveTrimmers().insert(id_, this);
    // Scrolling and resizing settle before thumbnails are made for them.
    thumbnailDelay_.setSingleShot(true);
    thumbnailDelay_.setInterval(120);
    connect(&thumbnailDelay_, &QTimer::timeout, this, &TrimmerView::requestThumbnails);
}

TrimmerView::~TrimmerView() {
    ++*generation_;
    liveTrimmers().remove(id_);
}

void TrimmerView::setMinDuration(double seconds) {
    minDuration_ = seconds;
}

void TrimmerView::setMaxDuration(double seconds) {
    maxDuration_ = seconds;
}

void TrimmerView::setMainColor(const QColor& color) {
    mainColor_ = color;
    Q_EMIT colorsChanged();
}

void TrimmerView::setHandleColor(const QColor& color) {
    handleColor_ = color;
    Q_EMIT colorsChanged();
}

void TrimmerView::setPositionBarColor(const QColor& color) {
    positionBarColor_ = color;
    Q_EMIT colorsChanged();
}

void TrimmerView::setAsset(const QUrl& asset) {
    asset_ = asset;
    duration_.reset();
    thumbnails_.clear();
    requested_.reset();
    ++*generation_;
    const std::string path = asset.toLocalFile().toStdString();
    QPointer<TrimmerView> self(this);
    platform::dispatch::background([self, path] {
        // The container's own headers say enough; decoding waits for the
        // thumbnails.
        double duration = 0.0, rate = 0.0, aspect = 16.0 / 9.0;
        if (auto source = media::VideoSource::open(path)) {
            const double length = source->durationSeconds();
            duration = std::isfinite(length) ? length : 0.0;
            rate = source->frameRate();
            const int width = source->decoder()->width, height = source->decoder()->height;
            const bool sideways = source->rotation() == 90 || source->rotation() == 270;
            if (width > 0 && height > 0)
                aspect = sideways ? double(height) / width : double(width) / height;
        }
        platform::dispatch::main([self, duration, rate, aspect] {
            if (self)
                self->loaded(duration, rate, aspect);
        });
    });
}

void TrimmerView::loaded(double duration, double frameRate, double aspectRatio) {
    duration_ = std::max(0.0, duration);
    frameRate_ = frameRate;
    aspectRatio_ = aspectRatio;
    visibleSpan_ =
        *duration_ <= maxDuration_ * kWholeVideoUpTo ? *duration_ : maxDuration_ * kWindowOfMaximum;
    visibleStart_ = 0.0;
    start_ = 0.0;
    // A video shorter than the minimum is taken whole.
    end_ = std::min(*duration_, maxDuration_);
    position_ = 0.0;
    Q_EMIT assetLoaded();
    Q_EMIT viewportChanged();
    Q_EMIT selectionChanged();
    Q_EMIT positionChanged();
    requestThumbnails();
}

std::optional<double> TrimmerView::startTime() const {
    return isReady() ? std::optional<double>(start_) : std::nullopt;
}

std::optional<double> TrimmerView::endTime() const {
    return isReady() ? std::optional<double>(end_) : std::nullopt;
}

double TrimmerView::toFrame(double seconds) const {
    return frameRate_ > 0 ? std::round(seconds * frameRate_) / frameRate_ : seconds;
}

double TrimmerView::ceilToFrame(double seconds) const {
    return frameRate_ > 0 ? std::ceil(seconds * frameRate_ - 1e-6) / frameRate_ : seconds;
}

double TrimmerView::floorToFrame(double seconds) const {
    return frameRate_ > 0 ? std::floor(seconds * frameRate_ + 1e-6) / frameRate_ : seconds;
}

void TrimmerView::moveHandle(Handle handle, double seconds) {
    if (!isReady() || isFixed() || !std::isfinite(seconds))
        return;
    const double duration = *duration_;
    const double t = toFrame(seconds);
    double start = start_, end = end_;
    switch (handle) {
    case StartHandle:
        // Not past the end less the minimum, not further back than the
        // maximum allows, not before the video.
        start = std::clamp(t, std::max(0.0, ceilToFrame(end - maxDuration_)),
                           std::max(0.0, floorToFrame(end - minDuration_)));
        setPosition(start);
        break;
    case EndHandle:
        end = std::clamp(t, std::min(duration, ceilToFrame(start + minDuration_)),
                         std::min(duration, floorToFrame(start + maxDuration_)));
        setPosition(end);
        break;
    case SelectionHandle: {
        const double length = end - start;
        start = std::clamp(t, 0.0, std::max(0.0, duration - length));
        end = std::min(duration, start + length);
        setPosition(start);
        break;
    }
    }
    lastMoved_ = handle;
    setSelection(start, end);
    keepVisible(handle == EndHandle ? end : start);
    if (handle == SelectionHandle)
        keepVisible(end);
    if (delegate_)
        delegate_->didChangePositionBar(position_);
}

void TrimmerView::stopMoving() {
    if (!isReady())
        return;
    if (delegate_)
        delegate_->positionBarStoppedMoving(position_);
}

void TrimmerView::stepHandle(Handle handle, int frames) {
    if (!isReady())
        return;
    const double step = frameRate_ > 0 ? 1.0 / frameRate_ : 0.04;
    const double from = handle == EndHandle ? end_ : start_;
    moveHandle(handle, from + frames * step);
    stopMoving();
}

void TrimmerView::setSelection(double start, double end) {
    if (start == start_ && end == end_)
        return;
    start_ = start;
    end_ = end;
    Q_EMIT selectionChanged();
}

void TrimmerView::setPosition(double seconds) {
    if (position_ == seconds)
        return;
    position_ = seconds;
    Q_EMIT positionChanged();
}

void TrimmerView::seek(double toTime) {
    if (std::isfinite(toTime))
        setPosition(std::max(0.0, toTime));
}

void TrimmerView::keepVisible(double seconds) {
    if (!isZoomed())
        return;
    if (seconds < visibleStart_)
        scrollTo(seconds);
    else if (seconds > visibleStart_ + visibleSpan_)
        scrollTo(seconds - visibleSpan_);
}

void TrimmerView::scrollTo(double seconds) {
    if (!isReady())
        return;
    const double start = std::clamp(seconds, 0.0, std::max(0.0, *duration_ - visibleSpan_));
    if (start == visibleStart_)
        return;
    visibleStart_ = start;
    Q_EMIT viewportChanged();
    // The thumbnails shown belong to the old window until new ones come.
    thumbnails_.clear();
    ++*generation_;
    requested_.reset();
    Q_EMIT thumbnailsChanged();
    thumbnailDelay_.start();
}

void TrimmerView::setStripSize(double width, double height) {
    const QSize size(int(std::lround(width)), int(std::lround(height)));
    if (size == stripSize_ || size.isEmpty())
        return;
    const bool first = stripSize_.isEmpty();
    stripSize_ = size;
    // The first size is asked for at once; a window being resized settles
    // before its thumbnails are made again.
    if (first)
        requestThumbnails();
    else
        thumbnailDelay_.start();
}

void TrimmerView::requestThumbnails() {
    if (!isReady() || stripSize_.isEmpty() || visibleSpan_ <= 0.0)
        return;
    const double tileWidth = std::max(24.0, stripSize_.height() * aspectRatio_);
    const int count = std::max(1, int(std::ceil(stripSize_.width() / tileWidth - 1e-6)));
    const Request request{count, stripSize_, visibleStart_};
    if (requested_ == request)
        return; // the same thumbnails are on their way
    requested_ = request;
    const int generation = ++*generation_;
    thumbnails_.clear();
    thumbnailCount_ = count;
    Q_EMIT thumbnailsChanged();

    const std::string path = asset_.toLocalFile().toStdString();
    const int maxWidth = int(std::ceil(tileWidth * kThumbnailScale));
    const int maxHeight = int(std::ceil(stripSize_.height() * kThumbnailScale));
    const double step = visibleSpan_ / count;
    QPointer<TrimmerView> self(this);
    auto current = generation_;
    // Two halves of the strip, each read forward on its own core.
    const int halves = count > 1 ? 2 : 1;
    for (int half = 0; half < halves; ++half) {
        const int first = half * count / halves;
        const int last = (half + 1) * count / halves;
        const double from = visibleStart_ + first * step;
        const double to = visibleStart_ + last * step;
        platform::dispatch::background([=] {
            auto made = media::thumbnailStrip(
                path, last - first, maxWidth, maxHeight, from, to,
                [&](int offset, image::RgbaImage picture) {
                    if (current->load() != generation)
                        return false;
                    QImage thumbnail = toQImage(picture);
                    const int index = first + offset;
                    platform::dispatch::main(
                        [self, current, generation, index, thumbnail = std::move(thumbnail)] {
                            if (!self || current->load() != generation)
                                return;
                            self->thumbnails_.insert(index, thumbnail);
                            Q_EMIT self->thumbnailReady(index);
                        });
                    return true;
                },
                media::StripFrame::KeyframeInSpan);
            Q_UNUSED(made); // a video without frames keeps its placeholders
        });
    }
}

QUrl TrimmerView::thumbnailSource(int index) const {
    if (!thumbnails_.contains(index))
        return QUrl();
    return QUrl(
        QStringLiteral("image://trimmer/%1/%2/%3").arg(id_).arg(generation_->load()).arg(index));
}

QImage TrimmerView::thumbnailOf(quint64 trimmerId, int index) {
    TrimmerView* trimmer = liveTrimmers().value(trimmerId);
    return trimmer ? trimmer->thumbnails_.value(index) : QImage();
}

QString TrimmerView::formatTime(double seconds) {
    const auto centiseconds = qint64(std::llround(std::max(0.0, seconds) * 100.0));
    return QStringLiteral("%1:%2.%3")
        .arg(centiseconds / 6000)
        .arg((centiseconds / 100) % 60, 2, 10, QLatin1Char('0'))
        .arg(centiseconds % 100, 2, 10, QLatin1Char('0'));
}

QString TrimmerView::startText() const {
    return formatTime(start_);
}

QString TrimmerView::endText() const {
    return formatTime(end_);
}

QString TrimmerView::lengthText() const {
    return tr("%1 s").arg(end_ - start_, 0, 'f', 2);
}

QImage TrimmerThumbnailProvider::requestImage(const QString& id, QSize* size,
                                              const QSize& requestedSize) {
    const QStringList parts = id.split(QLatin1Char('/'));
    QImage thumbnail;
    if (parts.size() == 3)
        thumbnail = TrimmerView::thumbnailOf(parts[0].toULongLong(), parts[2].toInt());
    if (!thumbnail.isNull() && requestedSize.isValid())
        thumbnail = thumbnail.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (size)
        *size = thumbnail.size();
    return thumbnail;
}

} // namespace flickbook::components
