#include "app/modules/Tone.h"

#include "app/modules/AimingSound.h"
#include "live/Pipeline.h"
#include "sky/Matching.h"

#include <QAction>

ToneFeature::ToneFeature() = default;
ToneFeature::~ToneFeature() = default;

void ToneFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionAimingSound =
        host.AddItem({3, 4, QStringLiteral("Звук наведения"), Qt::SHIFT | Qt::Key_F8, true, "ActionAimingSound"});
    Aiming = std::make_unique<AimingSound>(host.Form(), *ActionAimingSound);
}

void ToneFeature::UseOutput(std::unique_ptr<ToneOutput> output) {
    Aiming.reset();
    Aiming = std::make_unique<AimingSound>(host_->Form(), *ActionAimingSound, std::move(output));
}

void ToneFeature::Reset() { Aiming->Reset(); }

void ToneFeature::Take(const live::Sweep& sweep) {
    if (!sweep.tick) return;
    AimingSound::Tick tick;
    tick.swept = sweep.swept;
    tick.frozen = sweep.frozen;
    tick.shown = sweep.shown;
    if (ActionAimingSound->isChecked() && sweep.peak) {
        if (sweep.peakMarker) tick.marker = sweep.peak->level;
        tick.highestVisible = sweep.peak->level;
    }
    if (ActionAimingSound->isChecked() && sweep.findingOn && sweep.finding)
        tick.strongestFound = sky::StrongestLevel(*sweep.finding);
    // While aiming at a target, its strongest transponder is what to peak
    // on; where none of its transponders shows, the highest sample.
    if (sweep.target) {
        tick.marker.reset();
        tick.strongestFound = sweep.targetLevel;
    }
    tick.axisMin = sweep.in.levelMin;
    tick.axisMax = sweep.in.levelMax;
    Aiming->Take(tick);
}
