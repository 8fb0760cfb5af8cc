#pragma once

// Trimming the end of an MP4 or QuickTime file in place, through its edit
// lists. A copied stretch of video may have to carry a reference frame or two
// beyond the end (B-frames are decoded from frames shown after them); the
// edit list is what keeps players from showing them.

#include "core/result.h"

#include <cstdio>

namespace flickbook::media {

// Shortens every track's presentation to at most `seconds`: each edit that
// shows media is cut where the track reaches `seconds`, and the track and
// movie durations follow. `file` is the complete movie, open for reading and
// writing.
Result<void> limitMovieDuration(std::FILE* file, double seconds);

} // namespace flickbook::media
