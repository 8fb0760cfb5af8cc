#pragma once

// How the current flow was reached. Both start false, are never saved, and
// are read and written on the GUI thread only.

namespace flickbook::home {

// True when the current video flow began at the video library, false when it
// began at the camera (or no video flow has begun). The photo flow leaves it.
inline bool videoFromLibrary = false;

// True when the preview was last opened from the history grid, false when it
// was last opened right after a render (or not yet).
inline bool openedFromHistory = false;

} // namespace flickbook::home
