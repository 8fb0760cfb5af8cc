#pragma once

// Pictures to an animated GIF, for the photo flow. One instance per render.

#include "render/gif_render.h"

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
    // file at the destination is an error, never overwritten. The output
    // size and loop default to up to 1920 pixels, no budget, forward.
    void createGIF(QList<QImage> images, int loopCount, double frameDelay, QUrl destination,
                   Completion completion, const render::OutputSize& output = {},
                   render::Loop loop = render::Loop::forward);

    // The same work on the calling thread.
    static std::optional<QString> render(const QList<QImage>& images, int loopCount,
                                         double frameDelay, const QUrl& destination,
                                         const render::OutputSize& output = {},
                                         render::Loop loop = render::Loop::forward);

    // The pictures as the engine takes them, each shrunk to the largest
    // canvas first; the source keeps its own (shared) copy of the list.
    static render::PictureSource picturesOf(QList<QImage> images);
    // The same at a long edge under the largest canvas (a size chosen, or a
    // budget's), each scaled once from the photo to the GIF's canvas there.
    static render::SizedPictureSource picturesAt(QList<QImage> images);
};

} // namespace flickbook::components
