// Max and min hold, the running mean and freezing the picture: their items,
// and the hold traces drawn over the live trace. The traces themselves are
// worked out by the pipeline's trace tools.
#pragma once

#include "app/Feature.h"

#include <array>

class QAction;
class QActionGroup;
namespace toolkit {
class ChartSeries;
}

class HoldsFeature : public Feature {
    Q_OBJECT
public:
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;

    QAction* ActionMaxHold = nullptr;   // F2
    QAction* ActionMinHold = nullptr;   // F3
    std::array<QAction*, 4> ActionAverage{};  // 4, 8, 16, 32 sweeps: F5..F8
    QActionGroup* AverageGroup = nullptr;
    QAction* ActionReset = nullptr;     // F9
    QAction* ActionFreeze = nullptr;    // F12
    toolkit::ChartSeries* MaxSeries = nullptr;
    toolkit::ChartSeries* MinSeries = nullptr;

private:
    void Show(const live::Sweep& sweep);
    FeatureHost* host_ = nullptr;
};
