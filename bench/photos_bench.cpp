// The photo flow with big photos: N photos of 12 megapixels (4000 × 3000
// JPEGs made from the real photographs), all chosen, Done, then Create.
//
//   photos_bench --photos N --from FOLDER
//
// Reports how long Done takes to load them at full size, the time from
// Create to the preview, the GIF's size, and the peak resident memory.

#include "app/main_storyboard.h"
#include "app_bench_support.h"
#include "home/home_screen.h"
#include "library/gif_preview_screen.h"
#include "photos/image_animation_screen.h"
#include "photos/select_images.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>

using namespace flickbook;
using bench::peakRssMb;
using bench::spinUntil;

int main(int argc, char* argv[]) {
    int count = 20;
    QString from;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--photos")
            count = QString::fromLocal8Bit(argv[i + 1]).toInt();
        else if (arg == "--from")
            from = QString::fromLocal8Bit(argv[i + 1]);
    }
    const QStringList sources = QDir(from).entryList({"*.jpg"}, QDir::Files, QDir::Name);
    if (sources.isEmpty() || count <= 0) {
        std::fprintf(stderr, "usage: photos_bench --photos N --from FOLDER-OF-JPEGS\n");
        return 1;
    }

    QTemporaryDir home;
    bench::usePrivateHome(home);
    QDir().mkpath(home.path() + "/config");
    QFile dirs(home.path() + "/config/user-dirs.dirs");
    if (!dirs.open(QIODevice::WriteOnly))
        return 1;
    dirs.write("XDG_PICTURES_DIR=\"" + (home.path() + "/Pictures").toLocal8Bit() + "\"\n");
    dirs.close();
    QDir().mkpath(home.path() + "/Pictures");
    QDir().mkpath(home.path() + "/data/Flickbook/Documents/MyWork");

    QGuiApplication application(argc, argv);
    for (int i = 0; i < count; ++i) {
        const QImage photo(from + "/" + sources[i % sources.size()]);
        const QImage big =
            photo.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!big.save(home.path() + QString("/Pictures/photo-%1.jpg").arg(i, 2, 10, QChar('0')),
                      "JPEG", 90))
            return 1;
    }
    const double rssBefore = peakRssMb();

    platform::PhotoLibrary::shared().setAuthorizationStatus(
        platform::AuthorizationStatus::Authorized);
    const platform::Storyboard storyboard = app::mainStoryboard();
    platform::NavigationController navigation(storyboard);
    navigation.setRootViewController(new home::HomeScreen(), QUrl());
    auto* picker = new photos::SelectImages();
    navigation.pushViewController(picker, QUrl(), false);
    if (!spinUntil([&] { return int(picker->arrOfImage.size()) == count; }, 30000))
        return 1;
    for (int row = 0; row < count; ++row)
        picker->collectionViewDidSelectItem(row);

    QElapsedTimer clock;
    clock.start();
    picker->btnDone();
    if (!spinUntil(
            [&] {
                return qobject_cast<photos::ImageAnimationScreen*>(navigation.topViewController());
            },
            120000))
        return 1;
    const double loading = clock.elapsed() / 1000.0;
    const double rssLoaded = peakRssMb();
    auto* screen = qobject_cast<photos::ImageAnimationScreen*>(navigation.topViewController());
    spinUntil([&] { return screen->imageView()->isAnimating(); }, 5000);

    clock.restart();
    screen->btnCreateGIF();
    if (!spinUntil(
            [&] {
                return qobject_cast<library::GIFPreviewScreen*>(navigation.topViewController());
            },
            300000))
        return 1;
    const double creating = clock.elapsed() / 1000.0;
    auto* preview = qobject_cast<library::GIFPreviewScreen*>(navigation.topViewController());
    // The preview decodes the new GIF off the GUI thread; it plays once that is done.
    if (!spinUntil([&] { return preview->ivPlayGIF()->isAnimating(); }, 60000))
        return 1;
    const double playing = clock.elapsed() / 1000.0;
    const QFileInfo gif(screen->gifURL.toLocalFile());
    std::printf("%d photos of 4000x3000: Done loads them in %.2f s, Create to preview %.2f s "
                "(playing at %.2f s), GIF %.2f MB; peak RSS %.0f MB before the flow, %.0f MB "
                "after Done, %.0f MB after Create\n",
                count, loading, creating, playing, gif.size() / 1e6, rssBefore, rssLoaded,
                peakRssMb());
    return 0;
}
