#pragma once

// How Back and Home leave a screen; every screen's buttons go through here.

#include <QString>

namespace flickbook::platform {
class BarButtonItem;
class NavigationController;
class ViewController;
} // namespace flickbook::platform

namespace flickbook::home {

// Pops one screen, animated.
void popOneScreen(platform::ViewController* screen);

// Pops, animated, to the first screen from the bottom of the stack that is a
// HomeScreen (or derives from one); nothing when there is none.
void returnToHomeScreen(platform::NavigationController* navigation);

// A bar button with the back arrow, for the left side of a screen's bar.
platform::BarButtonItem* makeBackButton(platform::ViewController* screen);
// A bar button with the home symbol.
platform::BarButtonItem* makeHomeButton(platform::ViewController* screen);

} // namespace flickbook::home
