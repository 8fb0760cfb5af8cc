#include "quick_items.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace flickbook::testing {

namespace {
void collect(QQuickItem* under, const QString& name, QList<QQuickItem*>& found) {
    if (!under->isVisible())
        return;
    if (under->objectName() == name)
        found << under;
    for (QQuickItem* child : under->childItems())
        collect(child, name, found);
}
} // namespace

QList<QQuickItem*> findItems(QQuickWindow* window, const QString& name) {
    QQuickItem* root = window->contentItem();
    while (root->parentItem())
        root = root->parentItem();
    QList<QQuickItem*> found;
    collect(root, name, found);
    return found;
}

QQuickItem* findItem(QQuickWindow* window, const QString& name) {
    const auto found = findItems(window, name);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace flickbook::testing
