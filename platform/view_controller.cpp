#include "view_controller.h"

#include "navigation_controller.h"

namespace flickbook::platform {

ViewController::ViewController(QObject* parent)
    : QObject(parent), navigationItem_(new NavigationItem(this)) {}

NavigationController* ViewController::navigationController() const {
    return navigationController_;
}

void ViewController::setViewSize(const QSizeF& size) {
    if (viewSize_ != size) {
        viewSize_ = size;
        Q_EMIT viewSizeChanged();
    }
}

void ViewController::performSegueWithIdentifier(const QString& identifier) {
    if (navigationController_)
        navigationController_->performSegue(identifier, this);
}

bool ViewController::goBack() {
    BarButtonItem* back = navigationItem_->leftBarButtonItem();
    // A clear tint hides the button: it is not there to be used.
    if (!back || !back->isEnabled() || (back->hasTintColor() && back->tintColor().alpha() == 0))
        return false;
    back->trigger();
    return true;
}

void ViewController::present(AlertController* alert) {
    if (navigationController_)
        navigationController_->presentAlert(alert);
}

void ViewController::present(ShareSheet* sheet) {
    if (navigationController_)
        navigationController_->presentShareSheet(sheet);
}

} // namespace flickbook::platform
