// The transponder marks: the transponder table's entries of the sweep's
// polarisation that fall on the frequency axis, as lines on the chart.
#pragma once

#include "app/Feature.h"

#include <cstdint>

class MarksFeature : public Feature {
    Q_OBJECT
public:
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;

    QAction* ActionMarks = nullptr;  // Shift+F9

private:
    void Show(bool force, std::uint32_t flags);
    FeatureHost* host_ = nullptr;
    // What the shown marks were worked out from.
    int revision_ = -1;
    double min_ = 0, max_ = 0;
    bool horizontal_ = false;
};
