#include "toolkit/ChartAxis.h"

#include <QValueAxis>

#include <cmath>
#include <stdexcept>

namespace toolkit {
namespace {

// A tick interval of 1, 2 or 5 times a power of ten that gives at most
// `most` intervals over the span.
double NiceInterval(double span, int most) {
    if (span <= 0) return 1;
    double raw = span / most;
    double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

}  // namespace

ChartAxis::ChartAxis(QValueAxis* axis, double minimum, double maximum)
    : axis_(axis), min_(minimum), max_(maximum) {
    if (axis_) axis_->setTickType(QValueAxis::TicksDynamic);
    apply();
}

void ChartAxis::setMinimum(double value) {
    if (value > max_) throw std::logic_error("Axis minimum value must be <= maximum");
    min_ = value;
    apply();
}

void ChartAxis::setMaximum(double value) {
    if (value < min_) throw std::logic_error("Axis maximum value must be >= minimum");
    max_ = value;
    apply();
}

void ChartAxis::apply() {
    if (!axis_) return;
    const double interval = NiceInterval(max_ - min_, 12);
    axis_->setTickAnchor(std::ceil(min_ / interval) * interval);
    axis_->setTickInterval(interval);
    axis_->setRange(min_, max_);
}

}  // namespace toolkit
