#include "library/animated_gif.h"

#include "gif/animation.h"
#include "platform/desktop.h"

namespace flickbook::library {

namespace {

std::optional<platform::AnimatedImage> fromAnimation(const Result<gif::Animation>& decoded,
                                                     const QString& what) {
    if (!decoded) {
        platform::consoleLine(QStringLiteral("%1 does not play: %2")
                                  .arg(what, QString::fromStdString(decoded.error().message)));
        return std::nullopt;
    }
    const gif::Animation& animation = *decoded;
    const int width = int(animation.screen.width);
    const int height = int(animation.screen.height);
    // One picture per frame; the list's entries are runs of them, so memory
    // follows the frames, not the delays.
    platform::AnimatedImage image;
    image.images.reserve(qsizetype(animation.frames.size()));
    for (const gif::DecodedFrame& frame : animation.frames) {
        QImage picture(frame.rgba.data(), width, height, width * 4, QImage::Format_RGBA8888);
        image.images << picture.copy();
    }
    for (const gif::FrameList::Run& run : animation.frameList.runs)
        image.appendRun(qsizetype(run.frame), run.count);
    image.duration = animation.frameList.durationSeconds();
    return image;
}

} // namespace

std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFURL(const QUrl& url) {
    if (!url.isLocalFile()) {
        platform::consoleLine(QStringLiteral("%1 is not a file").arg(url.toString()));
        return std::nullopt;
    }
    return fromAnimation(gif::decodeAnimation(url.toLocalFile().toStdString()), url.fileName());
}

std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFData(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.constData());
    return fromAnimation(gif::decodeAnimation(std::span(bytes, std::size_t(data.size()))),
                         QStringLiteral("The GIF data"));
}

} // namespace flickbook::library
