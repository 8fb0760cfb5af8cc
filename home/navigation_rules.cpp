#include "home/navigation_rules.h"

#include "common/common_utils.h"
#include "home/home_screen.h"
#include "platform/navigation_controller.h"

namespace flickbook::home {

void popOneScreen(platform::ViewController* screen) {
    if (screen && screen->navigationController())
        screen->navigationController()->popViewControllerAnimated(true);
}

void returnToHomeScreen(platform::NavigationController* navigation) {
    if (!navigation)
        return;
    for (platform::ViewController* screen : navigation->viewControllers()) {
        if (qobject_cast<HomeScreen*>(screen)) {
            navigation->popToViewController(screen, true);
            return;
        }
    }
}

platform::BarButtonItem* makeBackButton(platform::ViewController* screen) {
    auto* item = new platform::BarButtonItem(QObject::tr("Back"), screen);
    item->setImage(common::imageNamed(QStringLiteral("back")));
    return item;
}

platform::BarButtonItem* makeHomeButton(platform::ViewController* screen) {
    auto* item = new platform::BarButtonItem(QObject::tr("Home"), screen);
    item->setImage(common::imageNamed(QStringLiteral("home")));
    return item;
}

} // namespace flickbook::home
