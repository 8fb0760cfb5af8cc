#include "quick_items.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <functional>

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

bool laidOutApart(QQuickWindow* window, const QString& prefix) {
    QQuickItem* root = window->contentItem();
    while (root->parentItem())
        root = root->parentItem();
    QList<QQuickItem*> all;
    std::function<void(QQuickItem*)> walk = [&](QQuickItem* item) {
        if (!item->isVisible())
            return;
        if (item->objectName().startsWith(prefix))
            all << item;
        for (QQuickItem* child : item->childItems())
            walk(child);
    };
    walk(root);
    QList<QRectF> placed;
    for (QQuickItem* item : all) {
        const QRectF rect(item->x(), item->y(), item->width(), item->height());
        if (item->parentItem() &&
            (rect.left() < -0.5 || rect.right() > item->parentItem()->width() + 0.5))
            return false;
        placed << item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    }
    for (int i = 0; i < placed.size(); ++i)
        for (int j = i + 1; j < placed.size(); ++j)
            if (placed[i].intersects(placed[j]))
                return false;
    return true;
}

bool waitForPagesToSettle(QQuickWindow* window) {
    return QTest::qWaitFor(
        [&] {
            QQuickItem* stack = findItem(window, QStringLiteral("stack"));
            return stack && !stack->property("busy").toBool();
        },
        5000);
}

QQuickItem* waitForSettledItem(QQuickWindow* window, const QString& name, int timeoutMs) {
    QQuickItem* found = nullptr;
    // A transition may come to rest a rounding error short of 1.
    auto atRest = [](qreal value) { return std::abs(value - 1.0) < 1e-3; };
    auto settled = [&] {
        found = findItem(window, name);
        if (!found)
            return false;
        for (QQuickItem* item = found; item; item = item->parentItem())
            if (!atRest(item->scale()) || !atRest(item->opacity()))
                return false;
        return true;
    };
    return QTest::qWaitFor(settled, timeoutMs) ? found : nullptr;
}

QColor colourAt(QQuickWindow* window, QQuickItem* item, QPointF point) {
    if (!item)
        return {};
    const QImage shot = window->grabWindow();
    const QPointF scene = item->mapToScene(point) * shot.devicePixelRatio();
    const QPoint pixel(int(scene.x()), int(scene.y()));
    return shot.rect().contains(pixel) ? shot.pixelColor(pixel) : QColor();
}

bool resizeTo(QQuickWindow* window, QSize size) {
    window->resize(size);
    // The platform hands the new geometry back through its event queue.
    const bool resized =
        QTest::qWaitFor([&] { return window->contentItem()->size() == QSizeF(size); }, 3000);
    return resized && waitForFrame(window);
}

bool waitForFrame(QQuickWindow* window) {
    QSignalSpy drawn(window, &QQuickWindow::frameSwapped);
    window->update();
    return drawn.wait(3000);
}

} // namespace flickbook::testing
