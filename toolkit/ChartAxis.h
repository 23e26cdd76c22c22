// A chart axis whose limits are set one at a time and that refuses an inverted
// range: a minimum above the current maximum, or a maximum below the current
// minimum, throws instead of being applied, and so does a limit that is not a
// finite number.
//
// The axis is a plain value object; the chart that owns it is told of every
// accepted change (so that it redraws its grid and labels) through the
// change callback. The axis also chooses its ticks: an interval of 1, 2 or 5
// times a power of ten giving at most `maxIntervals` intervals over the span,
// the first tick at the smallest multiple of the interval not below the
// minimum.
#pragma once

#include <functional>
#include <vector>

namespace toolkit {

class ChartAxis {
public:
    ChartAxis(double minimum, double maximum, int maxIntervals = 12);

    double minimum() const { return min_; }
    double maximum() const { return max_; }
    void setMinimum(double value);
    void setMaximum(double value);
    // A new range in three steps: the minimum lowered to `floor` (below
    // any minimum in use), then the maximum, then the minimum. The range
    // never becomes inverted on the way, whatever it was before, so no step
    // is refused.
    void setRangeFromFloor(double floor, double maximum, double minimum);

    // The tick layout for the current range.
    double tickInterval() const;
    double tickAnchor() const;
    // The values at which ticks, grid lines and labels stand, ascending,
    // all within minimum..maximum.
    std::vector<double> ticks() const;
    int maxIntervals() const { return maxIntervals_; }

    // Called after every accepted change of a limit.
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void changed();
    double min_;
    double max_;
    int maxIntervals_;
    std::function<void()> onChange_;
};

}  // namespace toolkit
