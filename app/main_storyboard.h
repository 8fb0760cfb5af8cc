#pragma once

// Every segue of the app, with the screen it leads to.

#include "platform/storyboard.h"

namespace flickbook::app {

// Page of the launch screen, the root of the stack.
QUrl launchPage();

// Every identifier declared; the screens built so far registered.
platform::Storyboard mainStoryboard();

} // namespace flickbook::app
