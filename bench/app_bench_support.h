#pragma once

// What the app benchmarks share: a private home, turning the event loop by
// hand until something happens, and the process's peak memory.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <sys/resource.h>

namespace flickbook::bench {

// Data and settings folders under `home`, and the offscreen platform, set
// before the application starts: a run never touches the user's own work
// list or settings.
inline void usePrivateHome(const QTemporaryDir& home) {
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the GUI thread's events until done() or the timeout; false on timeout.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // What an event loop does between turns: delete what was let go.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::usleep(200);
    }
    return true;
}

inline double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace flickbook::bench
