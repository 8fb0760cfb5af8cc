#pragma once

// First frames of GIFs for grid cells: "image://firstframe/<encoded path>".
// Decoded on QML's image threads, reading only the first frame, scaled to the
// size the cell asks for, within platform::kFirstFrameDecodeBytes. An unreadable file,
// or one that would pass that budget, gives no image, and the cell keeps its
// placeholder.

#include <QQuickImageProvider>

namespace flickbook::library {

class FirstFrameProvider : public QQuickImageProvider {
public:
    FirstFrameProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The provider URL of a file's first frame.
    static QUrl sourceFor(const QString& path);
};

} // namespace flickbook::library
