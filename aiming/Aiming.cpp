#include "aiming/Aiming.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace aiming {

double PitchForLevel(double level, double axisMin, double axisMax) {
    const double height = axisMax - axisMin;
    if (!(height > 0) || !std::isfinite(level)) return kLowHz;
    const double t = std::clamp((level - axisMin) / height, 0.0, 1.0);
    return kLowHz * std::pow(kHighHz / kLowHz, t);
}

bool BestSoFar::Take(float level) {
    if (!std::isfinite(level)) return false;
    if (!mark_) {
        mark_ = level;
        return false;
    }
    if (level - *mark_ < kBestStepDb) return false;
    mark_ = level;
    return true;
}

std::optional<float> ChooseLevel(const LevelSources& s) {
    if (s.marker) return s.marker;
    if (s.strongestFound) return s.strongestFound;
    return s.highestVisible;
}

ToneCommand Aimer::Tick(const TickInput& in) {
    if (in.meaningChanged) best_.Reset();
    ToneCommand c;
    if (!in.swept || in.frozen) return c;
    const std::optional<float> level = ChooseLevel(in.sources);
    if (!level) return c;
    c.pitch = PitchForLevel(*level, in.axisMin, in.axisMax);
    c.beep = best_.Take(*level);
    return c;
}

// ---- The oscillator ----

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A raised-cosine edge over `edge` samples at both ends of a burst of `length`.
double BurstEnvelope(long at, long length, long edge) {
    if (at < 0 || at >= length) return 0.0;
    const long fromEdge = std::min(at, length - 1 - at);
    if (fromEdge >= edge) return 1.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(fromEdge) / static_cast<double>(edge));
}

}  // namespace

ToneSynth::ToneSynth(int sampleRate) : rate_(std::max(sampleRate, 8000)) {}

void ToneSynth::Set(std::optional<double> hz) {
    if (!hz) {
        gainTarget_ = 0;
        beepAt_ = -1;
        return;
    }
    const double target = std::clamp(*hz, 20.0, rate_ / 2.5);
    if (gain_ == 0) {
        // From silence the tone starts on its pitch.
        hz_ = glideFrom_ = glideTo_ = target;
        glideLeft_ = 0;
    } else if (target != glideTo_) {
        glideFrom_ = hz_;
        glideTo_ = target;
        glideLength_ = glideLeft_ = std::max(1L, std::lround(kGlideSeconds * rate_));
    }
    gainTarget_ = kLevel;
}

void ToneSynth::Beep() {
    if (gainTarget_ > 0) beepAt_ = 0, beepPhase_ = 0;
}

bool ToneSynth::Sounding() const { return gain_ > 0 || gainTarget_ > 0 || beepAt_ >= 0; }

double ToneSynth::Next() {
    if (glideLeft_ > 0) {
        --glideLeft_;
        const double done = 1.0 - static_cast<double>(glideLeft_) / static_cast<double>(glideLength_);
        hz_ = glideFrom_ * std::pow(glideTo_ / glideFrom_, done);
    }
    const double fadeStep = kLevel / (kFadeSeconds * rate_);
    if (gain_ < gainTarget_) gain_ = std::min(gainTarget_, gain_ + fadeStep);
    else if (gain_ > gainTarget_) gain_ = std::max(gainTarget_, gain_ - fadeStep);

    double v = 0;
    if (gain_ > 0) {
        v = gain_ * std::sin(kTwoPi * phase_);
        phase_ += hz_ / rate_;
        phase_ -= std::floor(phase_);
    }
    if (beepAt_ >= 0) {
        const long burst = std::lround(kBeepSeconds * rate_);
        const long edge = std::lround(0.003 * rate_);
        const double env = BurstEnvelope(beepAt_, burst, edge) + BurstEnvelope(beepAt_ - 2 * burst, burst, edge);
        v += kBeepLevel * env * std::sin(kTwoPi * beepPhase_);
        beepPhase_ += kBeepHz / rate_;
        beepPhase_ -= std::floor(beepPhase_);
        if (++beepAt_ >= 3 * burst) beepAt_ = -1;
    }
    return v;
}

void ToneSynth::Render(float* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<float>(Next());
}

void ToneSynth::Render(std::int16_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(std::clamp(Next(), -1.0, 1.0) * 32767.0));
}

}  // namespace aiming
