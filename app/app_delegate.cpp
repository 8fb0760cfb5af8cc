#include "app/app_delegate.h"

#include "common/common_utils.h"
#include "platform/dispatch.h"
#include "platform/navigation_bar_appearance.h"
#include "platform/user_defaults.h"
#include "status_hud.h"
#include "store/gif_store.h"

#include <QCoreApplication>
#include <unistd.h>

namespace flickbook::app {

bool AppDelegate::didFinishLaunching() {
    auto& appearance = platform::NavigationBarAppearance::proxy();
    appearance.configureWithOpaqueBackground();
    appearance.shadowColor = Qt::transparent;
    appearance.titleColor = common::black();
    appearance.titleFont = common::titleFont(18.0);
    appearance.backgroundColor = common::white();
    appearance.tintColor = common::black();
    appearance.apply();

    auto& defaults = common::standardUserDefaults();
    const QString marker = QStringLiteral("isFirstTime");
    if (!defaults.objectForKey(marker).isValid()) {
        common::createFolderInDocuments(QStringLiteral("MyWork"));
        defaults.setObject(marker, marker);
        defaults.synchronize();
    }

    removeStaleTemporaryFiles();
    // Once, however often the launch sequence runs in one process.
    static const bool connected = bool(QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                                                        &AppDelegate::applicationWillTerminate));
    Q_UNUSED(connected)

    components::StatusHUD::setDefaultStyle(components::StatusHUD::StyleDark);
    components::StatusHUD::setDefaultMaskType(components::StatusHUD::MaskGradient);
    components::StatusHUD::setMinimumDismissTimeInterval(3.0);
    return true;
}

void AppDelegate::applicationWillTerminate() {
    platform::dispatch::waitForBackground();
    // A GIF finished in the last moment reaches the work folder through its
    // queued hand-over; only then are the cuts and renders left unused.
    QCoreApplication::sendPostedEvents();
    store::GifStore::standard().removeTemporaryFilesOf(::getpid());
}

void AppDelegate::removeStaleTemporaryFiles() {
    // Cut videos and unfinished GIFs of runs that ended early, the app's or
    // flickbook-cli's: each name carries its process, and only files of
    // processes that no longer run go.
    store::GifStore::standard().removeStaleTemporaryFiles();
}

} // namespace flickbook::app
