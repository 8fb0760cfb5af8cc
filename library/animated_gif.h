#pragma once

// A GIF file as an animated image for playback: every frame decoded, each
// standing in the list as many times as its delay holds the list step, for
// a duration of the sum of the delays.

#include "platform/animated_image.h"

#include <QByteArray>
#include <QUrl>
#include <optional>

namespace flickbook::library {

// Nothing when the file cannot be read or holds no complete frame.
std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFURL(const QUrl& url);
std::optional<platform::AnimatedImage> animatedImageWithAnimatedGIFData(const QByteArray& data);

} // namespace flickbook::library
