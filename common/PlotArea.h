// The spectrum chart's plot area and the one mapping between axis values and
// its pixels. The chart draws with it, the read-out under the mouse reads
// with it, and the tools and the tests place their points by it. Chart
// pixels: x to the right of the chart's left edge, y down from its top.
#pragma once

#include <cstdint>

namespace common {

struct PlotArea {
    static constexpr int kLeft = 33;
    static constexpr int kTop = 35;
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 360;
    static constexpr int kRight = kLeft + kWidth;    // 673, one past the last column
    static constexpr int kBottom = kTop + kHeight;   // 395, one past the last row
    // The frequency axis spans 128 steps of the sweep: five pixels a step.
    static constexpr int kSteps = 128;
    static constexpr int kPixelsPerStep = kWidth / kSteps;
    static_assert(kPixelsPerStep * kSteps == kWidth);
};

// Axis values to pixels and back, for the current limits of the bottom (x)
// and left (y) axes. An axis without a span maps every value to its start.
class PlotMapping {
public:
    PlotMapping(double xMin, double xMax, double yMin, double yMax)
        : x0_(xMin), y0_(yMin), xSpan_(xMax - xMin), ySpan_(yMax - yMin),
          sx_(xSpan_ > 0 ? PlotArea::kWidth / xSpan_ : 0), sy_(ySpan_ > 0 ? PlotArea::kHeight / ySpan_ : 0) {}

    double X(double value) const { return PlotArea::kLeft + (value - x0_) * sx_; }
    double Y(double value) const { return PlotArea::kBottom - (value - y0_) * sy_; }
    double ValueAtX(double x) const { return x0_ + (x - PlotArea::kLeft) * (xSpan_ * (1.0 / PlotArea::kWidth)); }
    double ValueAtY(double y) const { return y0_ + (PlotArea::kBottom - y) * (ySpan_ * (1.0 / PlotArea::kHeight)); }

private:
    double x0_, y0_, xSpan_, ySpan_, sx_, sy_;
};

// Whole steps of `step` MHz from the plot's left edge to pixel column x, as
// the read-out counts them: truncated toward zero, negative left of the plot.
constexpr std::int64_t FrequencyOffsetAt(int x, std::uint32_t step) {
    return (static_cast<std::int64_t>(x) - PlotArea::kLeft) * step / PlotArea::kPixelsPerStep;
}

}  // namespace common
