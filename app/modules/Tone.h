// The aiming tone: its item, and the tone fed from every tick's record. It
// follows the peak marker's sample while the marker is on, the strongest
// transponder found while finding is on (the target's, while aiming at
// one), else the highest sample shown; its pitch spans the level axis.
#pragma once

#include "app/Feature.h"

#include <memory>

class AimingSound;
class ToneOutput;

class ToneFeature : public Feature {
    Q_OBJECT
public:
    ToneFeature();
    ~ToneFeature() override;
    void Attach(FeatureHost& host) override;
    void Take(const live::Sweep& sweep) override;
    void Reset() override;

    QAction* ActionAimingSound = nullptr;  // Shift+F8
    std::unique_ptr<AimingSound> Aiming;
    // Replaces the sound device (tests put their own here).
    void UseOutput(std::unique_ptr<ToneOutput> output);

private:
    FeatureHost* host_ = nullptr;
};
