#pragma once

// The main queue and the background queue. Work handed to the main queue runs
// on the GUI thread on a later turn of its event loop; background work runs
// on a pool of lowest-priority threads so it never competes with drawing.

#include <functional>

namespace flickbook::platform::dispatch {

// Runs fn on the GUI thread, after what is already queued there.
void main(std::function<void()> fn);

// Runs fn at once when called on the GUI thread, else as main() does: for
// calls whose effect the caller may look at right after (the HUD).
void mainOrNow(std::function<void()> fn);

// Runs fn on the GUI thread once the given number of seconds has passed.
void mainAfter(double seconds, std::function<void()> fn);

// Runs fn on a background thread.
void background(std::function<void()> fn);

// Waits until all background work has finished (as the app quits).
void waitForBackground();

} // namespace flickbook::platform::dispatch
