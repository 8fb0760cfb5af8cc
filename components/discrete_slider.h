#pragma once

// A slider that stops only at whole values, minimumValue … minimumValue +
// tickCount − 1, with tick marks, a track coloured up to the thumb and a
// picture for the thumb. The page draws it and reports the user's moves;
// screens read value and hear valueChanged, as from a control event.

#include <QColor>
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace flickbook::components {

class DiscreteSlider : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by its screen")
    Q_PROPERTY(double value READ value NOTIFY changed)
    Q_PROPERTY(double minimumValue READ minimumValue NOTIFY changed)
    Q_PROPERTY(int tickCount READ tickCount NOTIFY changed)
    Q_PROPERTY(QColor minimumTrackTintColor MEMBER minimumTrackTintColor NOTIFY changed)
    Q_PROPERTY(QColor maximumTrackTintColor MEMBER maximumTrackTintColor NOTIFY changed)
    Q_PROPERTY(QColor minimumTickTintColor MEMBER minimumTickTintColor NOTIFY changed)
    Q_PROPERTY(QColor maximumTickTintColor MEMBER maximumTickTintColor NOTIFY changed)
    Q_PROPERTY(QColor thumbTintColor MEMBER thumbTintColor NOTIFY changed)
    Q_PROPERTY(QUrl thumbImage MEMBER thumbImage NOTIFY changed)

public:
    using QObject::QObject;

    double value() const { return value_; }
    double minimumValue() const { return minimum_; }
    int tickCount() const { return ticks_; }
    double maximumValue() const { return minimum_ + ticks_ - 1; }

    // Setting values from code sends no event.
    void setValue(double value);
    void setMinimumValue(double minimum);
    void setTickCount(int count);
    // Call after changing the colours or the thumb image.
    void apply() { Q_EMIT changed(); }

    // The user moved the thumb to (near) this value: it snaps to the nearest
    // whole stop and, when that is a new stop, sends valueChanged.
    Q_INVOKABLE void userMoved(double value);

    QColor minimumTrackTintColor = QColor(0, 122, 255);
    QColor maximumTrackTintColor = QColor(142, 142, 147);
    QColor minimumTickTintColor = QColor(0, 122, 255);
    QColor maximumTickTintColor = QColor(142, 142, 147);
    QColor thumbTintColor = Qt::white;
    QUrl thumbImage;

signals:
    void changed();
    // The value-changed control event.
    void valueChanged();

private:
    double clamp(double value) const;

    double value_ = 1.0;
    double minimum_ = 1.0;
    int ticks_ = 2;
};

} // namespace flickbook::components
