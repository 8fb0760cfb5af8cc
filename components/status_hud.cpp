#include "status_hud.h"

#include "platform/dispatch.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace flickbook::components {

namespace {

// Runs fn on the GUI thread: now when already there, else on its next turn.
template <typename Fn> void onGuiThread(Fn fn) {
    if (QCoreApplication::instance())
        platform::dispatch::mainOrNow(std::move(fn));
}

} // namespace

StatusHUD::StatusHUD(QObject* parent) : QObject(parent) {
    noticeTimer_.setSingleShot(true);
    connect(&noticeTimer_, &QTimer::timeout, this, &StatusHUD::hide);
}

StatusHUD& StatusHUD::shared() {
    static QPointer<StatusHUD> hud;
    if (!hud)
        hud = new StatusHUD(QCoreApplication::instance());
    return *hud;
}

void StatusHUD::setDefaultStyle(int style) {
    onGuiThread([style] {
        shared().style_ = style;
        Q_EMIT shared().appearanceChanged();
    });
}

void StatusHUD::setDefaultMaskType(int maskType) {
    onGuiThread([maskType] {
        shared().maskType_ = maskType;
        Q_EMIT shared().appearanceChanged();
    });
}

void StatusHUD::setMinimumDismissTimeInterval(double seconds) {
    onGuiThread([seconds] { shared().minimumDismiss_ = std::max(0.0, seconds); });
}

void StatusHUD::show() {
    onGuiThread([] { shared().present(Activity, QString()); });
}

void StatusHUD::showWithStatus(const QString& status) {
    onGuiThread([status] { shared().present(Activity, status); });
}

void StatusHUD::showSuccessWithStatus(const QString& status) {
    onGuiThread([status] { shared().present(Success, status); });
}

void StatusHUD::showErrorWithStatus(const QString& status) {
    onGuiThread([status] { shared().present(Failure, status); });
}

void StatusHUD::showInfoWithStatus(const QString& status) {
    onGuiThread([status] { shared().present(Information, status); });
}

void StatusHUD::dismiss() {
    onGuiThread([] { shared().hide(); });
}

double StatusHUD::displayDuration(const QString& status) const {
    // Long enough to read: about 60 ms a character, within [minimum, minimum + 2 s].
    const double reading = 0.5 + 0.06 * double(status.size());
    return std::clamp(reading, minimumDismiss_, minimumDismiss_ + 2.0);
}

void StatusHUD::present(Kind kind, const QString& status) {
    noticeTimer_.stop();
    visible_ = true;
    kind_ = kind;
    status_ = status;
    if (kind != Activity)
        noticeTimer_.start(int(std::ceil(displayDuration(status) * 1000.0)));
    Q_EMIT stateChanged();
}

void StatusHUD::hide() {
    noticeTimer_.stop();
    if (!visible_)
        return;
    visible_ = false;
    Q_EMIT stateChanged();
}

} // namespace flickbook::components
