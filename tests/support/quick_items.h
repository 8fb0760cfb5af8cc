#pragma once

// Finding the items of a Qt Quick window by object name, as the screen tests
// and the app benchmarks look at what the window shows.

#include <QColor>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>

class QQuickItem;
class QQuickWindow;

namespace flickbook::testing {

// Every visible item of that object name, popups included, in tree order.
QList<QQuickItem*> findItems(QQuickWindow* window, const QString& name);
// The first of them, or nullptr.
QQuickItem* findItem(QQuickWindow* window, const QString& name);
// True when the visible items whose object name begins with prefix lie
// inside their parents and none of them overlaps another (labels in a row).
bool laidOutApart(QQuickWindow* window, const QString& prefix);

// Waits until the window's page stack has finished sliding pages in or out
// (input goes nowhere while it slides); false when it does not within 5 s.
bool waitForPagesToSettle(QQuickWindow* window);

// Waits until the named item is shown at rest: no longer scaled or faded by an
// opening transition of its own or of an ancestor (popups grow in). The item,
// or nullptr when it does not settle within the timeout.
QQuickItem* waitForSettledItem(QQuickWindow* window, const QString& name, int timeoutMs = 3000);

// The colour the window shows at a point of the item (in the item's own
// coordinates); invalid when the item is missing or the point is off screen.
QColor colourAt(QQuickWindow* window, QQuickItem* item, QPointF point);

// Resizes the window and waits until its items have the new size and a frame
// of it is drawn; false when that does not happen within a few seconds.
bool resizeTo(QQuickWindow* window, QSize size);

// Waits until the window has drawn a frame after everything queued so far,
// resizes and layouts included; false when none comes within 3 s.
bool waitForFrame(QQuickWindow* window);

} // namespace flickbook::testing
