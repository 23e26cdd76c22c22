// The peak marker: its item, and the marker on the chart at the peak the
// pipeline found in the shown trace.
#pragma once

#include "app/Feature.h"

class PeakFeature : public Feature {
    Q_OBJECT
public:
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;

    QAction* ActionPeak = nullptr;  // F11

private:
    void Show(const live::Sweep& sweep);
    FeatureHost* host_ = nullptr;
};
