// The aiming tone: a continuous tone whose pitch follows the signal level, so
// that an installer whose hands and eyes are on the dish hears where the
// signal peaks. This is the tone's logic without a sound device: which level
// it follows, the pitch for that level, the double beep at a new best, when
// it is silent, and the oscillator that renders it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace aiming {

// The pitch range: the bottom of the level axis sounds at kLowHz, its top at
// kHighHz, logarithmically in between (equal level steps are equal musical
// intervals: the 80 dB default axis rises a decade, about 1.15 semitones a dB).
inline constexpr double kLowHz = 300.0;
inline constexpr double kHighHz = 3000.0;

// The pitch for a level on an axis from axisMin to axisMax:
// kLowHz * (kHighHz / kLowHz) ^ ((level - axisMin) / (axisMax - axisMin)),
// clamped to the range (levels off the axis sound at its ends; an axis
// without height sounds kLowHz).
double PitchForLevel(double level, double axisMin, double axisMax);

// How far above the best so far a level must rise to be announced.
inline constexpr float kBestStepDb = 1.0f;

// The best so far: the first level after switching on or a reset sets the
// mark silently; a level that passes the mark by kBestStepDb or more is a new
// best (announced by a double beep) and becomes the mark. Smaller rises do
// not move the mark, so that a slow climb is still announced once each dB and
// the level's jitter around a peak never is.
class BestSoFar {
public:
    // True when `level` is a new best.
    bool Take(float level);
    void Reset() { mark_.reset(); }
    std::optional<float> Mark() const { return mark_; }

private:
    std::optional<float> mark_;
};

// The levels the tone may follow on one sweep, each absent where it does not
// apply: the peak marker's sample while the marker is on, the strongest
// transponder found while finding transponders is on, and the highest sample
// on the visible frequency axis.
struct LevelSources {
    std::optional<float> marker;
    std::optional<float> strongestFound;
    std::optional<float> highestVisible;
};

// The level the tone follows: the marker's, otherwise the strongest found,
// otherwise the highest visible one.
std::optional<float> ChooseLevel(const LevelSources& sources);

// One tick as the tone sees it.
struct TickInput {
    bool swept = false;          // the meter answered a sweep on this tick
    bool frozen = false;         // the shown traces stand still
    bool meaningChanged = false; // the samples stand for something else now
    LevelSources sources;
    double axisMin = 0, axisMax = 0;  // the level axis shown
};

// What the sound device is to do after a tick.
struct ToneCommand {
    std::optional<double> pitch;  // Hz; absent: silence
    bool beep = false;            // a double beep for a new best
};

// The tone's state between ticks, while it is switched on. Silent while the
// picture is frozen, on a tick without a sweep (no meter, the panorama off, a
// failed transfer) and when there is no level to follow. A change in what
// the samples mean (unit, calibration, amplifier, band ...) starts the best
// so far again, as levels from before are not comparable.
class Aimer {
public:
    ToneCommand Tick(const TickInput& in);
    void Reset() { best_.Reset(); }
    const BestSoFar& Best() const { return best_; }

private:
    BestSoFar best_;
};

// The oscillator: a sine whose pitch glides, in equal musical steps, to each
// new target within kGlideSeconds, its phase carried on from sample to
// sample and block to block, so that neither a pitch change nor the block
// boundaries click. It fades in and out over kFadeSeconds; a double beep is
// two short bursts of kBeepHz (itself faded at its edges) over the tone.
// Rendering the same commands in blocks of any size gives the same samples.
class ToneSynth {
public:
    static constexpr double kGlideSeconds = 0.020;
    static constexpr double kFadeSeconds = 0.005;
    static constexpr double kLevel = 0.3;  // of full scale
    static constexpr double kBeepHz = 4000.0;
    static constexpr double kBeepLevel = 0.2;
    static constexpr double kBeepSeconds = 0.060;  // each burst, and the gap between them

    explicit ToneSynth(int sampleRate);

    int SampleRate() const { return rate_; }
    // A new pitch (glides there; from silence it starts on it) or silence
    // (fades out, dropping a beep under way).
    void Set(std::optional<double> hz);
    void Beep();
    // True while anything is still to be heard (tone, fade or beep).
    bool Sounding() const;
    double CurrentPitch() const { return hz_; }

    // The next `count` samples, mono.
    void Render(std::int16_t* out, std::size_t count);
    void Render(float* out, std::size_t count);

private:
    double Next();

    int rate_;
    double phase_ = 0;  // of the tone, in cycles
    double hz_ = kLowHz;
    double glideFrom_ = kLowHz, glideTo_ = kLowHz;
    long glideLeft_ = 0, glideLength_ = 1;
    double gain_ = 0, gainTarget_ = 0;
    double beepPhase_ = 0;
    long beepAt_ = -1;  // sample within the double beep; -1: none
};

}  // namespace aiming
