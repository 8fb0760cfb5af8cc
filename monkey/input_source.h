#pragma once

// Random but reproducible input for the real window: taps weighted toward
// controls, drags, keys, resizes and dropped files, each described in one
// line for the event log.

#include <QList>
#include <QPoint>
#include <QString>
#include <QUrl>
#include <random>

class QQuickItem;
class QQuickWindow;

namespace flickbook::monkey {

class InputSource {
public:
    InputSource(QQuickWindow* window, std::uint64_t seed, QList<QUrl> droppable);

    // Sends one event, or starts a pause; returns what was done.
    QString next();
    // A pause asked for by the last event, in milliseconds (0 for none).
    int pauseMs() const { return pauseMs_; }

private:
    QString tapControl();
    QString tapAnywhere();
    QString drag();
    QString key();
    QString resize();
    QString drop();

    QList<QQuickItem*> controls() const;
    QPoint randomPointIn(QQuickItem* item);
    QPoint randomPoint();
    int uniform(int low, int high);
    bool chance(double p);

    QQuickWindow* window_;
    std::mt19937_64 random_;
    QList<QUrl> droppable_;
    int pauseMs_ = 0;
};

// What an item is called in the log: its object name, else its type.
QString describe(const QQuickItem* item);

} // namespace flickbook::monkey
