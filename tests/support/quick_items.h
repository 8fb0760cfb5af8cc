#pragma once

// Finding the items of a Qt Quick window by object name, as the screen tests
// and the app benchmarks look at what the window shows.

#include <QList>
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

} // namespace flickbook::testing
