#pragma once

// Pictures to an animated GIF, for the photo flow. One instance per render.

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace flickbook::components {

class ImageGifEncoder {
    Q_DECLARE_TR_FUNCTIONS(ImageGifEncoder)

public:
    // data is empty (the file is at the destination); error is absent on
    // success, and then the destination holds the complete GIF.
    using Completion =
        std::function<void(std::optional<QByteArray> data, std::optional<QString> error)>;

    // Renders on a background thread and calls completion there. An existing
    // file at the destination is an error, never overwritten.
    void createGIF(QList<QImage> images, int loopCount, double frameDelay, QUrl destination,
                   Completion completion);

    // The same work on the calling thread.
    static std::optional<QString> render(const QList<QImage>& images, int loopCount,
                                         double frameDelay, const QUrl& destination);
};

} // namespace flickbook::components
