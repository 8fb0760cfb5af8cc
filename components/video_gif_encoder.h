#pragma once

// A video to an animated GIF, for the video flow.

#include "render/gif_render.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace flickbook::components {

class VideoGifEncoder {
    Q_DECLARE_TR_FUNCTIONS(VideoGifEncoder)

public:
    using Progress = std::function<void(double)>;
    // The GIF's URL, or nothing and a reason for a person.
    using Completion = std::function<void(std::optional<QUrl> gif, const QString& failure)>;
    // The seconds at which a video cut short or damaged stops decoding.
    using EndsEarly = std::function<void(double seconds)>;

    // Takes frameCount frames at times i·D/frameCount over the video's
    // duration D, each shown delayTime seconds. Without a destination the GIF
    // goes to a new file in Flickbook's private temporary folder. The
    // completion runs before this returns, with the complete GIF's URL, or
    // with nothing and the reason (also logged) when no GIF could be made.
    // A video that stops decoding before the end it states still makes a
    // GIF, of the frames up to there; endsEarly hears where, before the
    // completion runs. The output size and loop default to what the GIF
    // always was: up to 1920 pixels, no budget, forward.
    static void createGIFFromSource(const QUrl& source, std::optional<QUrl> destinationFileURL,
                                    int frameCount, float delayTime, int loopCount,
                                    std::optional<QSize> size, const Progress& progress,
                                    const Completion& completion,
                                    const EndsEarly& endsEarly = nullptr,
                                    const render::OutputSize& output = {},
                                    render::Loop loop = render::Loop::forward);
};

} // namespace flickbook::components
