#include "home/setting_screen.h"

#include "common/common_utils.h"
#include "home/navigation_rules.h"
#include "home/store_links.h"
#include "platform/desktop.h"
#include "platform/user_defaults.h"
#include "status_hud.h"

#include <QClipboard>
#include <QGuiApplication>

namespace flickbook::home {

void SettingScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("Settings"));
    auto* back = makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &SettingScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
}

void SettingScreen::btnShareApp() {
    const QUrl store(kStoreLink, QUrl::StrictMode);
    if (!store.isValid())
        return;
    common::presentShareSheet(this, {tr(kRecommendation), store});
}

void SettingScreen::btnRateApp() {
    auto& defaults = common::standardUserDefaults();
    defaults.setObject(QStringLiteral("true"), QStringLiteral("showRate"));
    defaults.synchronize();
    openOrCopy(QUrl(kReviewLink));
}

void SettingScreen::btnMoreApps() {
    const QUrl developer(kDeveloperLink, QUrl::StrictMode);
    if (!developer.isValid())
        return;
    openOrCopy(developer);
}

void SettingScreen::openOrCopy(const QUrl& link) {
    if (platform::Desktop::current().openUrl(link))
        return;
    // Without a browser the tap would do nothing: the link goes on the
    // clipboard instead, and the user is told.
    QGuiApplication::clipboard()->setText(link.toString());
    components::StatusHUD::showInfoWithStatus(
        tr("No browser could be opened. The link is on the clipboard."));
}

void SettingScreen::btnBack() {
    popOneScreen(this);
}

} // namespace flickbook::home
