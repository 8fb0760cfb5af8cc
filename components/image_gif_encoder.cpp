#include "image_gif_encoder.h"

#include "picture_loading.h"
#include "platform/dispatch.h"
#include "render/gif_render.h"

namespace flickbook::components {

render::PictureSource ImageGifEncoder::picturesOf(QList<QImage> images) {
    return [images = std::move(images)](std::size_t i) -> Result<image::RgbaImage> {
        const QImage& picture = images[qsizetype(i)];
        if (picture.isNull())
            return makeError("picture.empty", "Picture " + std::to_string(i + 1) + " is empty.");
        // No picture is shown larger than the canvas's long edge, so big
        // photos are shrunk first: the engine then fits a few megapixels,
        // not dozens, and memory holds one small copy per frame in flight.
        const int bound = int(image::kMaxCanvasLongEdge);
        if (picture.width() > bound || picture.height() > bound)
            return toRgba(
                picture.scaled(bound, bound, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        return toRgba(picture);
    };
}

render::SizedPictureSource ImageGifEncoder::picturesAt(QList<QImage> images) {
    auto whole = picturesOf(images);
    return [whole = std::move(whole), images = std::move(images)](
               std::size_t i, std::uint32_t longEdge) -> Result<image::RgbaImage> {
        const auto sizeOf = [](const QImage& image) {
            return image::Size{std::uint32_t(image.width()), std::uint32_t(image.height())};
        };
        // At the canvas the GIF has at its largest, the pictures are those
        // made without a size, so a GIF made as asked stays the same file.
        const std::uint32_t largest = image::kMaxCanvasLongEdge;
        const image::Size canvas = image::fitInside(sizeOf(images[0]), {longEdge, longEdge}, false);
        if (canvas == image::fitInside(sizeOf(images[0]), {largest, largest}, false))
            return whole(i);
        const QImage& picture = images[qsizetype(i)];
        if (picture.isNull())
            return makeError("picture.empty", "Picture " + std::to_string(i + 1) + " is empty.");
        // Scaled once, from the photo itself, to the GIF's canvas: the first
        // picture sets it, the others fit inside it.
        const image::Size fitted = image::fitInside(sizeOf(picture), canvas, false);
        if (fitted == sizeOf(picture))
            return toRgba(picture);
        return toRgba(picture.scaled(int(fitted.width), int(fitted.height), Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation));
    };
}

std::optional<QString> ImageGifEncoder::render(const QList<QImage>& images, int loopCount,
                                               double frameDelay, const QUrl& destination,
                                               const render::OutputSize& output,
                                               render::Loop loop) {
    if (!destination.isLocalFile())
        return tr("The destination is not a local file: %1").arg(destination.toString());
    render::ImagesRequest request;
    request.count = std::size_t(images.size());
    request.picture = picturesOf(images);
    request.pictureAt = picturesAt(images);
    request.delaySeconds = frameDelay;
    request.loopCount = std::uint16_t(std::clamp(loopCount, 0, 65535));
    request.destination = destination.toLocalFile().toStdString();
    request.output = output;
    request.loop = loop;
    auto done = render::imagesToGif(request);
    if (!done)
        return QString::fromStdString(done.error().message);
    return std::nullopt;
}

void ImageGifEncoder::createGIF(QList<QImage> images, int loopCount, double frameDelay,
                                QUrl destination, Completion completion,
                                const render::OutputSize& output, render::Loop loop) {
    platform::dispatch::background([images = std::move(images), loopCount, frameDelay,
                                    destination = std::move(destination),
                                    completion = std::move(completion), output, loop] {
        auto error = render(images, loopCount, frameDelay, destination, output, loop);
        if (completion)
            completion(QByteArray(), error);
    });
}

} // namespace flickbook::components
