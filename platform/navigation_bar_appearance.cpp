#include "navigation_bar_appearance.h"

#include <QCoreApplication>
#include <QPointer>

namespace flickbook::platform {

NavigationBarAppearance& NavigationBarAppearance::proxy() {
    static QPointer<NavigationBarAppearance> appearance;
    if (!appearance)
        appearance = new NavigationBarAppearance(QCoreApplication::instance());
    return *appearance;
}

void NavigationBarAppearance::configureWithOpaqueBackground() {
    backgroundColor = Qt::white;
    shadowColor = QColor(0, 0, 0, 76);
    Q_EMIT changed();
}

} // namespace flickbook::platform
