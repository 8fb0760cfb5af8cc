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
    // One picture per frame; list entries repeating a frame share its pixels.
    QList<QImage> pictures;
    pictures.reserve(qsizetype(animation.frames.size()));
    for (const gif::DecodedFrame& frame : animation.frames) {
        QImage picture(frame.rgba.data(), width, height, width * 4, QImage::Format_RGBA8888);
        pictures << picture.copy();
    }
    // The view plays a list of equal entries, so the runs are written out
    // here; a list too long to write out does not play rather than exhaust
    // memory.
    const gif::FrameList& list = animation.frameList;
    constexpr std::uint64_t kMaxEntries = std::uint64_t(1) << 20;
    if (list.length() > kMaxEntries) {
        platform::consoleLine(QStringLiteral("%1 does not play: its frame list has %2 entries")
                                  .arg(what)
                                  .arg(qulonglong(list.length())));
        return std::nullopt;
    }
    platform::AnimatedImage image;
    image.images.reserve(qsizetype(list.length()));
    for (const gif::FrameList::Run& run : list.runs)
        for (std::uint64_t k = 0; k < run.count; ++k)
            image.images << pictures[qsizetype(run.frame)];
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
