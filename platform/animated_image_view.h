#pragma once

// An image view that plays an AnimatedImage: entry after entry, each for its
// share of the duration, looping, from the moment the image is set. The page
// draws the current entry through the "animation" image provider, and tells
// the view how many device pixels it draws in (pixelSize), so that whoever
// makes the pictures can make them that size (platform/view_pictures.h) and
// drawing one never means resizing it.

#include "animated_image.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQuickImageProvider>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class AnimatedImageView : public QObject {
    Q_OBJECT
    // Named apart from the page component that draws it.
    QML_NAMED_ELEMENT(AnimatedImageOutlet)
    QML_UNCREATABLE("An animated image view belongs to its screen.")
    // "image://animation/<view>/<revision>/<picture>", empty with no image;
    // the revision changes with the pictures.
    Q_PROPERTY(QUrl frameSource READ frameSource NOTIFY frameChanged)
    Q_PROPERTY(qint64 currentEntry READ currentEntry NOTIFY entryChanged)
    Q_PROPERTY(bool animating READ isAnimating NOTIFY imageChanged)
    Q_PROPERTY(QSize imageSize READ imageSize NOTIFY imageChanged)
    // The area the page draws pictures in, in device pixels; empty until the
    // page is laid out.
    Q_PROPERTY(QSize pixelSize READ pixelSize WRITE setPixelSize NOTIFY pixelSizeChanged)

public:
    explicit AnimatedImageView(QObject* parent = nullptr);
    ~AnimatedImageView() override;

    const AnimatedImage& image() const { return image_; }
    // Shows the image from its first entry; an empty image ends any animation
    // and lets the previous pictures go.
    void setImage(AnimatedImage image);

    // The same entries drawn with pictures made again (for another view
    // size): one for each picture held, in the same order. The animation
    // runs on where it was; false, changing nothing, when the count differs.
    bool setPictures(QList<QImage> pictures);

    // Stops on the entry showing; the pictures stay.
    void stopAnimating();

    QUrl frameSource() const;
    qint64 currentEntry() const { return qint64(entry_); }
    bool isAnimating() const { return timer_.isActive(); }
    QSize imageSize() const;
    QSize pixelSize() const { return pixelSize_; }
    void setPixelSize(QSize size);

    // The picture at an entry of the view with the given id, for the provider.
    // A picture of the view's image (not an entry: entries share pictures).
    static QImage pictureImage(quint64 viewId, qsizetype picture);

signals:
    void imageChanged();
    // The picture shown changed (frameSource).
    void frameChanged();
    // The list moved on by one or more entries, whether or not the picture
    // changed with it.
    void entryChanged();
    void pixelSizeChanged();

private:
    void advance();

    quint64 id_;
    quint64 revision_ = 0;
    AnimatedImage image_;
    quint64 entry_ = 0;
    qsizetype picture_ = 0;
    QSize pixelSize_;
    QTimer timer_;
    QElapsedTimer clock_;
};

// Serves the entries of live AnimatedImageViews to QML Images.
class AnimatedImageProvider : public QQuickImageProvider {
public:
    AnimatedImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

} // namespace flickbook::platform
