#include "video_gif_encoder.h"

#include "render/gif_render.h"

#include <QDebug>

namespace flickbook::components {

void VideoGifEncoder::createGIFFromSource(const QUrl& source,
                                          std::optional<QUrl> destinationFileURL, int frameCount,
                                          float delayTime, int loopCount, std::optional<QSize> size,
                                          const Progress& progress, const Completion& completion,
                                          const EndsEarly& endsEarly,
                                          const render::OutputSize& output, render::Loop loop) {
    auto finish = [&](std::optional<QUrl> gif, const QString& failure = {}) {
        if (!gif)
            qWarning().noquote() << "VideoGifEncoder: no GIF made from" << source.toString() << "-"
                                 << failure;
        if (completion)
            completion(std::move(gif), failure);
    };
    if (!source.isLocalFile())
        return finish(std::nullopt, tr("The video is not a local file."));
    render::VideoRequest request;
    request.source = source.toLocalFile().toStdString();
    if (destinationFileURL)
        request.destination = destinationFileURL->toLocalFile().toStdString();
    request.frameCount = std::size_t(std::max(0, frameCount));
    request.delaySeconds = delayTime;
    request.loopCount = std::uint16_t(std::clamp(loopCount, 0, 65535));
    if (size && size->isValid())
        request.size = image::Size{std::uint32_t(size->width()), std::uint32_t(size->height())};
    request.progress = progress;
    request.endsEarly = endsEarly;
    request.output = output;
    request.loop = loop;
    auto gif = render::videoToGif(request);
    if (!gif)
        return finish(std::nullopt, QString::fromStdString(gif.error().message));
    finish(QUrl::fromLocalFile(QString::fromStdString(gif->string())));
}

} // namespace flickbook::components
