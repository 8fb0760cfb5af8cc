#include "discrete_slider.h"

#include <algorithm>
#include <cmath>

namespace flickbook::components {

double DiscreteSlider::clamp(double value) const {
    return std::clamp(std::round(value), minimum_, maximumValue());
}

void DiscreteSlider::setValue(double value) {
    value_ = clamp(value);
    Q_EMIT changed();
}

void DiscreteSlider::setMinimumValue(double minimum) {
    minimum_ = std::round(minimum);
    value_ = clamp(value_);
    Q_EMIT changed();
}

void DiscreteSlider::setTickCount(int count) {
    ticks_ = std::max(2, count);
    value_ = clamp(value_);
    Q_EMIT changed();
}

void DiscreteSlider::userMoved(double value) {
    const double stop = clamp(value);
    if (stop == value_)
        return;
    value_ = stop;
    Q_EMIT changed();
    Q_EMIT valueChanged();
}

} // namespace flickbook::components
