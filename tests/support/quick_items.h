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

} // namespace flickbook::testing
