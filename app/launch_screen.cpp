#include "app/launch_screen.h"

#include "platform/dispatch.h"
#include "platform/navigation_controller.h"

#include <QPointer>

namespace flickbook::app {

void ViewController::viewDidLoad() {
    QPointer<ViewController> self(this);
    platform::dispatch::mainAfter(kFirstDelaySeconds, [self] {
        platform::dispatch::mainAfter(kSecondDelaySeconds, [self] {
            if (!self || !self->navigationController())
                return;
            self->navigationController()->setNavigationBarHidden(false);
            self->performSegueWithIdentifier(QStringLiteral("segue_start"));
        });
    });
}

void ViewController::viewWillAppear(bool animated) {
    if (navigationController())
        navigationController()->setNavigationBarHidden(true, animated);
}

} // namespace flickbook::app
