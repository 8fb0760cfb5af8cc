#pragma once

// How much memory a GIF from the work list may make the app hold while it is
// decoded. The grid's first frames are decoded on QML's image threads, a
// preview on the background queue, and the photo flow and the video
// thumbnails may be busy at the same time: each decode gets a share that
// suits a desktop, so that several at once stay well under a gigabyte
// whatever the files declare. A GIF that would need more is refused with
// gif.too_large and shown as one that cannot be read.

#include <QSize>
#include <cstdint>

namespace flickbook::platform {

// A first frame: its canvas, the image's indices and the copy handed to the
// cell. Enough for a 4K GIF (about 75 MiB).
inline constexpr std::uint64_t kFirstFrameDecodeBytes = std::uint64_t(128) << 20;

// The decoder's own buffers while a preview decodes: the canvas, the canvas
// saved for "restore previous" and the image's indices. Enough for a GIF of
// 25 megapixels, which no screen shows whole.
inline constexpr std::uint64_t kPreviewDecodeBytes = std::uint64_t(256) << 20;

// The pictures a preview holds, together. Past it the pictures are made
// smaller, so a GIF of any number of frames plays: 1000 frames of 640 × 480
// fit whole in a phone-sized view at three bytes a pixel, while 150 frames
// of 1080p in a desktop window come down from 1066 × 600 to about 870 × 490.
inline constexpr std::uint64_t kPreviewPictureBytes = std::uint64_t(256) << 20;

// The size pictures are made for when no page has said how large it draws
// them (a screen used without its page).
inline constexpr QSize kPreviewDefaultPixels{1280, 1280};

} // namespace flickbook::platform
