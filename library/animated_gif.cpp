#include "library/animated_gif.h"

#include "gif/decoder.h"
#include "gif/timing.h"
#include "platform/desktop.h"
#include "platform/view_pictures.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
#include <vector>

namespace flickbook::library {

namespace {

// The smallest long side pictures are made down to when a GIF has so many
// frames that larger ones would pass the budget.
constexpr int kSmallestSide = 16;
// What a frame takes besides its picture: its delay and its run in the list.
constexpr std::uint64_t kPerFrame = 32;

std::string mib(std::uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

// The pictures of one GIF, fitted inside a box that is made smaller (and the
// pictures held so far with it) whenever the next one would pass the budget.
class HeldPictures {
public:
    HeldPictures(QSize box, std::uint64_t budget) : box_(box), budget_(budget) {}

    Result<void> add(const QImage& canvas) {
        QImage picture = platform::viewPicture(canvas, box_);
        while (used_ + cost(picture) > budget_) {
            if (!shrinkFor(canvas.size(), picture.hasAlphaChannel()))
                return makeError("preview.too_many_frames",
                                 "The GIF has too many frames to play in " + mib(budget_) +
                                     ", even as small pictures.");
            picture = platform::viewPicture(canvas, box_);
        }
        used_ += cost(picture);
        pictures_ << std::move(picture);
        return {};
    }

    QList<QImage> take() { return std::move(pictures_); }

private:
    static std::uint64_t cost(const QImage& picture) {
        return platform::heldBytes(picture) + kPerFrame;
    }

    // Makes the pictures small enough for half as many frames again as seen so
    // far, so that a GIF of N frames is shrunk a few times at most, each side
    // by at least a tenth; false when they are as small as they go. Shrunk
    // pictures are reckoned at three bytes a pixel (four with transparency),
    // as smoothing leaves few of them with 256 colours or fewer.
    bool shrinkFor(QSize canvas, bool transparent) {
        const QSize now = platform::fittedSize(canvas, box_);
        const double frames = 1.5 * double(pictures_.size() + 1);
        const double pixels =
            (double(budget_) / frames - double(cost(QImage()))) / (transparent ? 4.0 : 3.0);
        const double side =
            std::min(0.9, std::sqrt(std::max(0.0, pixels) / (double(now.width()) * now.height())));
        const QSize smaller(int(now.width() * side), int(now.height() * side));
        if (std::max(smaller.width(), smaller.height()) < kSmallestSide || smaller.isEmpty())
            return false;
        // Every picture of the GIF is the size its canvas fits the box at.
        box_ = platform::fittedSize(canvas, smaller);
        used_ = 0;
        for (QImage& picture : pictures_) {
            picture = platform::viewPictureOfSize(picture, box_);
            used_ += cost(picture);
        }
        return true;
    }

    QSize box_;
    std::uint64_t budget_;
    std::uint64_t used_ = 0;
    QList<QImage> pictures_;
};

gif::DecodeOptions optionsFor(const PlaybackLimits& limits) {
    gif::DecodeOptions options;
    options.limits.maxDecodedBytes = limits.decodeBytes;
    return options;
}

Result<platform::AnimatedImage> playable(Result<gif::Decoder> opened, const PlaybackLimits& limits,
                                         const std::atomic<bool>* cancelled) {
    if (!opened)
        return opened.error();
    gif::Decoder& decoder = *opened;
    try {
        const int width = int(decoder.screen().width);
        const int height = int(decoder.screen().height);
        HeldPictures pictures(limits.box, limits.pictureBytes);
        std::vector<std::int32_t> delays;
        for (;;) {
            if (cancelled && cancelled->load())
                return makeError("preview.cancelled", "The preview was closed.");
            auto more = decoder.next();
            if (!more) {
                // A damaged file plays the frames before the damage; past the
                // limits nothing plays, as part of the GIF would hide the refusal.
                const Error& error = more.error();
                if (delays.empty() || error.code == "gif.too_large" ||
                    error.code == "gif.out_of_memory")
                    return error;
                break;
            }
            if (!*more)
                break;
            // The decoder's canvas, read in place: the picture made from it is
            // the only copy.
            const QImage canvas(decoder.canvas().data(), width, height, width * 4,
                                QImage::Format_RGBA8888);
            if (auto added = pictures.add(canvas); !added)
                return added.error();
            delays.push_back(gif::frameDelayCs(gif::reportedDelays(decoder.frame().control)));
        }
        if (delays.empty())
            return makeError("gif.no_frames", "The GIF holds no image.");
        const gif::FrameList list = gif::frameListForDelays(delays);
        platform::AnimatedImage image;
        image.images = pictures.take();
        // One picture per frame; the list's entries are runs of them, so
        // memory follows the frames, not the delays.
        for (const gif::FrameList::Run& run : list.runs)
            image.appendRun(qsizetype(run.frame), run.count);
        image.duration = list.durationSeconds();
        return image;
    } catch (const std::bad_alloc&) {
        return makeError("gif.out_of_memory", "There is not enough memory to play the GIF.");
    }
}

std::optional<platform::AnimatedImage> reported(Result<platform::AnimatedImage> decoded,
                                                const QString& what) {
    if (!decoded) {
        platform::consoleLine(QStringLiteral("%1 does not play: %2")
                                  .arg(what, QString::fromStdString(decoded.error().message)));
        return std::nullopt;
    }
    return std::move(*decoded);
}

} // namespace

Result<platform::AnimatedImage> decodeForPlayback(const QString& path, const PlaybackLimits& limits,
                                                  const std::atomic<bool>* cancelled) {
    return playable(gif::Decoder::openFile(path.toStdString(), optionsFor(limits)), limits,
                    cancelled);
}

Result<platform::AnimatedImage> decodeForPlayback(const QByteArray& data,
                                                  const PlaybackLimits& limits,
                                                  const std::atomic<bool>* cancelled) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.constData());
    return playable(
        gif::Decoder::openMemory(std::span(bytes, std::size_t(data.size())), optionsFor(limits)),
        limits, cancelled);
}

std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFURL(const QUrl& url) {
    if (!url.isLocalFile()) {
        platform::consoleLine(QStringLiteral("%1 is not a file").arg(url.toString()));
        return std::nullopt;
    }
    return reported(decodeForPlayback(url.toLocalFile()), url.fileName());
}

std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFData(const QByteArray& data) {
    return reported(decodeForPlayback(data), QStringLiteral("The GIF data"));
}

} // namespace flickbook::library
