#pragma once

// What runs between the process starting and the first screen: the bar look,
// the work folder on the first launch, the HUD's defaults.

#include <QString>

namespace flickbook::app {

class AppDelegate {
public:
    // The launch sequence; always true.
    bool didFinishLaunching();

    // As the app quits (connected by didFinishLaunching): lets running
    // renders and cuts finish and hand over their results, then removes the
    // process's own temporary files.
    static void applicationWillTerminate();

    // The name of the configuration the one window is made from.
    static QString configurationName() { return QStringLiteral("Default Configuration"); }

private:
    void removeStaleTemporaryFiles();
};

} // namespace flickbook::app
