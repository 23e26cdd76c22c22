// The table of the transponders found, in the analysis window: each found
// one beside the entry of the transponder table or of the named satellite's
// plan it most likely is. Refreshed from the record a few times a second
// while shown, at once when a switch changes what it shows.
#pragma once

#include "app/Feature.h"

#include <cstdint>

class FoundTable;
namespace sky {
struct Satellite;
}

class FoundFeature : public Feature {
    Q_OBJECT
public:
    FoundFeature();
    ~FoundFeature() override;
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;

    FoundTable* Table = nullptr;  // a panel of the analysis window

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(const live::Sweep& sweep, bool force);
    FeatureHost* host_ = nullptr;
    std::int64_t shownMs_ = 0;
    const sky::Satellite* named_ = nullptr;  // the plan the table was shown with
};
