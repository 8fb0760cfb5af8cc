// How fast the work list opens with many GIFs, and what it costs in memory.
//
//   history_bench --gifs N [--gif FILE]...
//
// Fills a private work folder with N GIFs (hard links to the given real GIFs,
// alternating), launches the real window offscreen at a phone size, opens
// the history screen and measures the time until every cell on screen shows
// its first frame (the screen's 0.1 s listing delay included). Then scrolls
// to the end of the grid and back, and reports the peak resident memory.

#include "app/app_delegate.h"
#include "app/app_window.h"
#include "app_bench_support.h"
#include "home/home_screen.h"
#include "quick_items.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>

using namespace flickbook;
using bench::peakRssMb;
using bench::spinUntil;

namespace {

// Cells whose picture area is on screen, and how many of them show their frame.
std::pair<int, int> screenful(QQuickWindow* window) {
    int onScreen = 0;
    int ready = 0;
    const QRectF viewport(0, 56, window->width(), window->height() - 56);
    for (QQuickItem* image : testing::findItems(window, "cellImage")) {
        const QRectF rect(image->mapToScene(QPointF(0, 0)), image->size());
        if (!viewport.intersects(rect))
            continue;
        ++onScreen;
        if (image->property("status").toInt() == 1) // Image.Ready
            ++ready;
    }
    return {onScreen, ready};
}

} // namespace

int main(int argc, char* argv[]) {
    int count = 1000;
    QStringList sources;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--gifs" && i + 1 < argc)
            count = QString::fromLocal8Bit(argv[++i]).toInt();
        else if (arg == "--gif" && i + 1 < argc)
            sources << QString::fromLocal8Bit(argv[++i]);
    }
    if (sources.isEmpty() || count <= 0) {
        std::fprintf(stderr, "usage: history_bench --gifs N --gif FILE [--gif FILE]...\n");
        return 1;
    }

    QTemporaryDir home;
    bench::usePrivateHome(home);
    const QString work = home.path() + "/data/Flickbook/Documents/MyWork";
    QDir().mkpath(work);
    QStringList originals;
    for (int i = 0; i < sources.size(); ++i) {
        originals << home.path() + QString("/source-%1.gif").arg(i);
        if (!QFile::copy(sources[i], originals.last())) {
            std::fprintf(stderr, "history_bench: cannot read %s\n", qPrintable(sources[i]));
            return 1;
        }
    }
    for (int i = 0; i < count; ++i) {
        const QString name = work + QString("/Animation_%1.gif").arg(1700000000 + i);
        if (!QFile::link(originals[i % originals.size()], name) &&
            std::rename(qPrintable(originals[i % originals.size()]), qPrintable(name)) != 0)
            return 1;
    }

    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle("Material");
    app::AppDelegate().didFinishLaunching();
    app::AppWindow window;
    if (!window.load())
        return 1;
    QQuickWindow* shown = window.window();
    shown->resize(390, 780);
    auto& navigation = window.navigation();
    if (!spinUntil([&] { return qobject_cast<home::HomeScreen*>(navigation.topViewController()); },
                   5000))
        return 1;
    spinUntil([] { return false; }, 500); // let the home page settle

    QElapsedTimer clock;
    clock.start();
    navigation.topViewController()->performSegueWithIdentifier("segue_history");
    int cells = 0;
    const bool shownAll = spinUntil(
        [&] {
            auto [onScreen, ready] = screenful(shown);
            cells = onScreen;
            return onScreen > 0 && ready == onScreen;
        },
        20000);
    const double firstScreenful = clock.elapsed() / 1000.0;
    const double rssFirst = peakRssMb();

    // Through the whole grid and back, a screen at a time.
    QQuickItem* grid = testing::findItems(shown, "collectionviewHistory").value(0);
    double rssAfterScroll = rssFirst;
    if (grid) {
        const double step = shown->height() - 56;
        const double end = grid->property("contentHeight").toDouble();
        for (double y = 0; y < end; y += step) {
            grid->setProperty("contentY", y);
            spinUntil(
                [&] {
                    auto [onScreen, ready] = screenful(shown);
                    return ready == onScreen;
                },
                5000);
        }
        grid->setProperty("contentY", 0.0);
        spinUntil([] { return false; }, 200);
        rssAfterScroll = peakRssMb();
    }
    std::printf("%d GIFs: first screenful (%d cells) in %.3f s%s; peak RSS %.0f MB after it, "
                "%.0f MB after scrolling through all\n",
                count, cells, firstScreenful, shownAll ? "" : " (TIMED OUT)", rssFirst,
                rssAfterScroll);
    return shownAll ? 0 : 1;
}
