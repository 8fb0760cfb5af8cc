#include "view_controller.h"

#include "navigation_controller.h"

namespace flickbook::platform {

ViewController::ViewController(QObject* parent)
    : QObject(parent), navigationItem_(new NavigationItem(this)) {}

NavigationController* ViewController::navigationController() const {
    return navigationController_;
}

ViewController::~ViewController() {
    // A screen's parts (views, sliders, players) outlive the screen's own
    // destructor by a little: Qt deletes them after it, and the page's
    // bindings may still write to them as the page lets go (a view's new
    // size). What they report then must not reach the screen's slots, whose
    // object is already gone.
    for (QObject* part : children())
        part->disconnect(this);
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
