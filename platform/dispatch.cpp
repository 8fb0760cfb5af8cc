#include "dispatch.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <cmath>

namespace flickbook::platform::dispatch {

namespace {

QThreadPool& backgroundPool() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool(QCoreApplication::instance());
        created->setThreadPriority(QThread::LowestPriority);
        return created;
    }();
    return *pool;
}

bool onMainThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void main(std::function<void()> fn) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

void mainOrNow(std::function<void()> fn) {
    if (onMainThread())
        fn();
    else
        main(std::move(fn));
}

void mainAfter(double seconds, std::function<void()> fn) {
    const int ms = int(std::lround(std::max(0.0, seconds) * 1000.0));
    auto start = [ms, fn = std::move(fn)]() mutable {
        QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), std::move(fn));
    };
    if (onMainThread())
        start();
    else
        main(std::move(start));
}

void background(std::function<void()> fn) {
    backgroundPool().start(std::move(fn));
}

void waitForBackground() {
    backgroundPool().waitForDone();
}

} // namespace flickbook::platform::dispatch
