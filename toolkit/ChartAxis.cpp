#include "toolkit/ChartAxis.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace toolkit {
namespace {

// A tick interval of 1, 2 or 5 times a power of ten that gives at most
// `most` intervals over the span.
double NiceInterval(double span, int most) {
    if (!(span > 0) || most < 1) return 1;
    double raw = span / most;
    double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

void RequireFinite(double value) {
    if (!std::isfinite(value)) throw std::invalid_argument("Axis limit must be a finite number");
}

}  // namespace

ChartAxis::ChartAxis(double minimum, double maximum, int maxIntervals)
    : min_(minimum), max_(maximum), maxIntervals_(std::max(1, maxIntervals)) {
    RequireFinite(minimum);
    RequireFinite(maximum);
    if (minimum > maximum) throw std::logic_error("Axis minimum value must be <= maximum");
}

void ChartAxis::setMinimum(double value) {
    RequireFinite(value);
    if (value > max_) throw std::logic_error("Axis minimum value must be <= maximum");
    if (value == min_) return;
    min_ = value;
    changed();
}

void ChartAxis::setMaximum(double value) {
    RequireFinite(value);
    if (value < min_) throw std::logic_error("Axis maximum value must be >= minimum");
    if (value == max_) return;
    max_ = value;
    changed();
}

void ChartAxis::setRangeFromFloor(double floor, double maximum, double minimum) {
    setMinimum(floor);
    setMaximum(maximum);
    setMinimum(minimum);
}

double ChartAxis::tickInterval() const { return NiceInterval(max_ - min_, maxIntervals_); }

double ChartAxis::tickAnchor() const {
    const double interval = tickInterval();
    return std::ceil(min_ / interval) * interval;
}

std::vector<double> ChartAxis::ticks() const {
    std::vector<double> out;
    if (!(max_ > min_)) return out;
    const double interval = tickInterval();
    const double anchor = tickAnchor();
    // Counted, not accumulated, so that no rounding drift adds or drops a
    // tick; never more than the interval count allows.
    for (int k = 0; k <= maxIntervals_ + 1; ++k) {
        const double v = anchor + k * interval;
        if (v > max_ + interval * 1e-9) break;
        out.push_back(v);
    }
    return out;
}

void ChartAxis::changed() {
    if (onChange_) onChange_();
}

}  // namespace toolkit
