#pragma once

// The trimmer strip: a video's frames as a row of thumbnails with two handles
// that choose a stretch of it, and a position bar. The page draws it and
// reports the user's drags; the strip keeps the stretch between its minimum
// and maximum length and tells its delegate where the position bar is while
// a handle moves and once when it is let go.
//
// A long video does not squeeze into the strip: the strip shows a window of
// it in which the maximum length spans most of the width, scrolled by the
// user or by a handle dragged past its edge, so that a stretch can be chosen
// to the frame whatever the video's length.

#include <QColor>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QQuickImageProvider>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <atomic>
#include <memory>
#include <optional>

namespace flickbook::components {

class TrimmerViewDelegate {
public:
    virtual ~TrimmerViewDelegate() = default;
    // Sent while the user drags a handle, with the time under the position bar.
    virtual void didChangePositionBar(double playerTime) = 0;
    // Sent once when the user lets go.
    virtual void positionBarStoppedMoving(double playerTime) = 0;
};

class TrimmerView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A trimmer is an outlet of its screen")
    Q_PROPERTY(QColor mainColor READ mainColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor handleColor READ handleColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor positionBarColor READ positionBarColor NOTIFY colorsChanged)
    // 0 until the asset's length is known.
    Q_PROPERTY(double duration READ durationOrZero NOTIFY assetLoaded)
    Q_PROPERTY(bool ready READ isReady NOTIFY assetLoaded)
    // Width ÷ height of the picture, upright.
    Q_PROPERTY(double aspectRatio READ aspectRatio NOTIFY assetLoaded)
    // The whole video is the stretch and cannot be changed (shorter than the minimum).
    Q_PROPERTY(bool fixed READ isFixed NOTIFY assetLoaded)
    Q_PROPERTY(double startSeconds READ startSeconds NOTIFY selectionChanged)
    Q_PROPERTY(double endSeconds READ endSeconds NOTIFY selectionChanged)
    Q_PROPERTY(double positionSeconds READ positionSeconds NOTIFY positionChanged)
    Q_PROPERTY(QString startText READ startText NOTIFY selectionChanged)
    Q_PROPERTY(QString endText READ endText NOTIFY selectionChanged)
    Q_PROPERTY(QString lengthText READ lengthText NOTIFY selectionChanged)
    // The stretch of the video the strip shows.
    Q_PROPERTY(double visibleStart READ visibleStart NOTIFY viewportChanged)
    Q_PROPERTY(double visibleSpan READ visibleSpan NOTIFY viewportChanged)
    Q_PROPERTY(bool zoomed READ isZoomed NOTIFY viewportChanged)
    Q_PROPERTY(int thumbnailCount READ thumbnailCount NOTIFY thumbnailsChanged)

public:
    enum Handle { StartHandle, EndHandle, SelectionHandle };
    Q_ENUM(Handle)

    explicit TrimmerView(QObject* parent = nullptr);
    ~TrimmerView() override;

    double minDuration() const { return minDuration_; }
    void setMinDuration(double seconds);
    double maxDuration() const { return maxDuration_; }
    void setMaxDuration(double seconds);

    QUrl asset() const { return asset_; }
    // Reads the video's length and frames off the GUI thread; the strip is
    // ready (with a stretch from the start) when that is done.
    void setAsset(const QUrl& asset);

    TrimmerViewDelegate* delegate() const { return delegate_; }
    void setDelegate(TrimmerViewDelegate* delegate) { delegate_ = delegate; }

    QColor mainColor() const { return mainColor_; }
    void setMainColor(const QColor& color);
    QColor handleColor() const { return handleColor_; }
    void setHandleColor(const QColor& color);
    QColor positionBarColor() const { return positionBarColor_; }
    void setPositionBarColor(const QColor& color);

    // Moves the position bar to a time (the stretch stays as it is).
    void seek(double toTime);

    // The stretch; nothing until the video's length is known.
    std::optional<double> startTime() const;
    std::optional<double> endTime() const;

    bool isReady() const { return duration_.has_value(); }
    double durationOrZero() const { return duration_.value_or(0.0); }
    double frameRate() const { return frameRate_; }
    double aspectRatio() const { return aspectRatio_; }
    bool isFixed() const { return isReady() && *duration_ < minDuration_; }
    double startSeconds() const { return start_; }
    double endSeconds() const { return end_; }
    double positionSeconds() const { return position_; }
    QString startText() const;
    QString endText() const;
    QString lengthText() const;
    double visibleStart() const { return visibleStart_; }
    double visibleSpan() const { return visibleSpan_; }
    bool isZoomed() const { return isReady() && visibleSpan_ < *duration_ - 1e-9; }
    int thumbnailCount() const { return thumbnailCount_; }

    // --- what the page reports
    // The user dragged a handle (or the whole stretch, by its start) to a time.
    Q_INVOKABLE void moveHandle(Handle handle, double seconds);
    // The user let go.
    Q_INVOKABLE void stopMoving();
    // Arrow keys: the handle moves by whole frames, as a drag and a release.
    Q_INVOKABLE void stepHandle(Handle handle, int frames);
    // The strip scrolled to show the video from this time.
    Q_INVOKABLE void scrollTo(double seconds);
    // The strip's size in pixels decides how many thumbnails fill it.
    Q_INVOKABLE void setStripSize(double width, double height);
    // "image://trimmer/…" for thumbnail index, empty until it has been made.
    Q_INVOKABLE QUrl thumbnailSource(int index) const;

    // A thumbnail of a live trimmer, for the image provider (GUI thread).
    static QImage thumbnailOf(quint64 trimmerId, int index);

    // m:ss.cc
    static QString formatTime(double seconds);

signals:
    void colorsChanged();
    void assetLoaded();
    void selectionChanged();
    void positionChanged();
    void viewportChanged();
    void thumbnailsChanged();
    // One thumbnail arrived.
    void thumbnailReady(int index);

private:
    void loaded(double duration, double frameRate, double aspectRatio);
    void setSelection(double start, double end);
    void setPosition(double seconds);
    void keepVisible(double seconds);
    void requestThumbnails();
    double toFrame(double seconds) const;
    double ceilToFrame(double seconds) const;
    double floorToFrame(double seconds) const;

    quint64 id_;
    double minDuration_ = 1.0;
    double maxDuration_ = 10.0;
    QUrl asset_;
    TrimmerViewDelegate* delegate_ = nullptr;
    QColor mainColor_ = QColor(251, 67, 103);
    QColor handleColor_ = Qt::white;
    QColor positionBarColor_ = Qt::white;

    std::optional<double> duration_;
    double frameRate_ = 0.0;
    double aspectRatio_ = 16.0 / 9.0;
    double start_ = 0.0;
    double end_ = 0.0;
    double position_ = 0.0;
    double visibleStart_ = 0.0;
    double visibleSpan_ = 0.0;
    Handle lastMoved_ = StartHandle;

    QSize stripSize_;
    // What the thumbnails on their way were asked for.
    struct Request {
        int count;
        QSize size;
        double from;
        bool operator==(const Request&) const = default;
    };
    std::optional<Request> requested_;
    int thumbnailCount_ = 0;
    QHash<int, QImage> thumbnails_;
    // Raised for every new set of thumbnails; work for an older one stops.
    std::shared_ptr<std::atomic<int>> generation_ = std::make_shared<std::atomic<int>>(0);
    QTimer thumbnailDelay_;
};

// Serves the thumbnails of live trimmers to the strip's Images.
class TrimmerThumbnailProvider : public QQuickImageProvider {
public:
    TrimmerThumbnailProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}
    // id: "<trimmer>/<generation>/<index>"
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

} // namespace flickbook::components
