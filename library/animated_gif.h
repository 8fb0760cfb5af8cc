#pragma once

// A GIF file as an animated image for playback: every frame composited, made
// to fit the view it plays in and held compactly (platform/view_pictures.h),
// each standing in the list as many times as its delay holds the list step,
// for a duration of the sum of the delays.

#include "core/result.h"
#include "platform/animated_image.h"
#include "platform/decode_budgets.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QUrl>
#include <atomic>
#include <cstdint>
#include <optional>

namespace flickbook::library {

struct PlaybackLimits {
    // Device pixels the pictures are fitted inside (never enlarged).
    QSize box = platform::kPreviewDefaultPixels;
    // The decoder's budget (gif::DecodeLimits::maxDecodedBytes).
    std::uint64_t decodeBytes = platform::kPreviewDecodeBytes;
    // The pictures held, together; past it they are made smaller.
    std::uint64_t pictureBytes = platform::kPreviewPictureBytes;
};

// Decodes frame after frame, never holding more than one full canvas beside
// the decoder's. A damaged file gives the frames before the damage. Errors:
// the decoder's (gif.too_large past decodeBytes, gif.no_frames, …),
// "preview.cancelled" once *cancelled turns true, "preview.too_many_frames"
// when even the smallest pictures would pass pictureBytes.
Result<platform::AnimatedImage> decodeForPlayback(const QString& path,
                                                  const PlaybackLimits& limits = {},
                                                  const std::atomic<bool>* cancelled = nullptr);
Result<platform::AnimatedImage> decodeForPlayback(const QByteArray& data,
                                                  const PlaybackLimits& limits = {},
                                                  const std::atomic<bool>* cancelled = nullptr);

// The same with the default limits; nothing (and a console line saying why)
// when the file cannot be read or holds no complete frame.
std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFURL(const QUrl& url);
std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFData(const QByteArray& data);

} // namespace flickbook::library
