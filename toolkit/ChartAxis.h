// A chart axis whose limits are set one at a time and that refuses an inverted
// range: a minimum above the current maximum, or a maximum below the current
// minimum, throws instead of being applied.
#pragma once

class QValueAxis;

namespace toolkit {

class ChartAxis {
public:
    ChartAxis(QValueAxis* axis, double minimum, double maximum);

    double minimum() const { return min_; }
    double maximum() const { return max_; }
    void setMinimum(double value);
    void setMaximum(double value);
    QValueAxis* axis() const { return axis_; }

private:
    void apply();
    QValueAxis* axis_;
    double min_;
    double max_;
};

}  // namespace toolkit
