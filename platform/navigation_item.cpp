#include "navigation_item.h"

namespace flickbook::platform {

BarButtonItem::BarButtonItem(const QString& title, QObject* parent)
    : QObject(parent), title_(title) {}

void BarButtonItem::setTitle(const QString& title) {
    if (title_ != title) {
        title_ = title;
        Q_EMIT changed();
    }
}

void BarButtonItem::setImage(const QUrl& image) {
    if (image_ != image) {
        image_ = image;
        Q_EMIT changed();
    }
}

void BarButtonItem::setEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        Q_EMIT changed();
    }
}

void BarButtonItem::setTintColor(const QColor& tint) {
    if (tint_ != tint) {
        tint_ = tint;
        Q_EMIT changed();
    }
}

void BarButtonItem::trigger() {
    if (enabled_)
        Q_EMIT triggered();
}

void NavigationItem::setTitle(const QString& title) {
    if (title_ != title) {
        title_ = title;
        Q_EMIT changed();
    }
}

void NavigationItem::setLeftBarButtonItem(BarButtonItem* item) {
    if (item)
        item->setParent(this);
    left_ = item;
    Q_EMIT changed();
}

void NavigationItem::setRightBarButtonItem(BarButtonItem* item) {
    if (item)
        item->setParent(this);
    right_ = item;
    Q_EMIT changed();
}

} // namespace flickbook::platform
