#include "app/app_delegate.h"

#include "common/common_utils.h"
#include "platform/navigation_bar_appearance.h"
#include "platform/user_defaults.h"
#include "status_hud.h"
#include "store/gif_store.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

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

    components::StatusHUD::setDefaultStyle(components::StatusHUD::StyleDark);
    components::StatusHUD::setDefaultMaskType(components::StatusHUD::MaskGradient);
    components::StatusHUD::setMinimumDismissTimeInterval(3.0);
    return true;
}

void AppDelegate::removeStaleTemporaryFiles() {
    // Cut videos and unfinished GIFs of a run that ended early. Recent files
    // may belong to a flickbook-cli still at work, so they stay.
    const QString folder =
        QString::fromStdString(store::GifStore::standard().temporaryFolder().string());
    const QDateTime staleBefore = QDateTime::currentDateTime().addSecs(-kStaleTemporaryFileSeconds);
    const auto entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.lastModified() < staleBefore)
            QFile::remove(entry.absoluteFilePath());
    }
}

} // namespace flickbook::app
