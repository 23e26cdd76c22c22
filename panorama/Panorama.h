// The live spectrum panorama without widgets: the control word, the level
// scale, one tick's exchange with the meter, the frequency axis and the
// read-out under the mouse. Texts are UTF-8.
#pragma once

#include "settings/SettingsBlock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace device {
enum class LinkState;
}

namespace panorama {

inline constexpr int kSamples = 128;
using SweepFrame = std::array<std::uint8_t, kSamples>;

// Bits of the control word sent in the sweep request's high byte.
inline constexpr std::uint32_t kPolarisationBit = 0x8000;  // "H / L"
inline constexpr std::uint32_t kBandBit = 0x4000;          // "Верхн."
inline constexpr std::uint32_t kAmp9dBBit = 0x2000;        // "+9 dB"
inline constexpr std::uint32_t kAtt20dBBit = 0x1000;       // "-20 dB"

// Folds the switches into the control word: item 0 of polarisation and band
// sets its bit, item 1 clears it, no selection (-1) keeps it.
std::uint32_t FoldControlWord(std::uint32_t flags, int polIndex, int bandIndex, bool amp9dB,
                              bool att20dB);

// What the window's controls can hold: the step slider (MHz) and the two
// calibration scroll bars. A recording's meaning outside them is damaged.
inline constexpr int kStepMin = 1, kStepMax = 10;
inline constexpr int kKoefPositionMin = 4000, kKoefPositionMax = 8000;
inline constexpr int kOporPositionMin = 0, kOporPositionMax = 110;

// The level scale of one tick, from the calibration scroll bars and the unit.
struct LevelScale {
    std::int32_t opor = 0;  // sample value that maps to level 0
    float koef = 0;         // dB per sample unit
    std::string oporLabel;  // "Опорa 9"
    std::string koefLabel;  // "Коэф 0,4300"
    std::string unitLabel;  // "dBuV" or "dBm"
};
// unitIndex 0 is dBµV; 1 or no selection (-1) is dBm.
LevelScale ComputeLevelScale(int oporPosition, int koefPosition, int unitIndex);

// Level of one sample in the scale's unit.
float Level(std::uint8_t sample, std::int32_t opor, float koef);

// x of sample i on the frequency axis: the axis minimum plus (i - 1) steps.
double SampleX(double axisMinimum, int i, std::uint32_t step);

// ---- One frequency for each sample ----

// The local oscillator that carries the meter's intermediate frequency to
// the radio frequency: RF = IF + lo, or lo - IF for an oscillator above the
// band (the C-band "5150", whose axis still runs upward).
struct Oscillator {
    double lo = 0;
    bool inverted = false;
    double Rf(double ifreq) const { return inverted ? lo - ifreq : lo + ifreq; }
    double If(double rf) const { return inverted ? lo - rf : rf - lo; }
};
// The oscillator the frequency axis was set for: the "5150" item (index 2)
// is 5150 MHz above the band; every other item puts the axis start at shift
// + LO, so the LO is the axis minimum less the shift.
Oscillator OscillatorOfAxis(int loIndex, double axisMinimum, std::int32_t shift);

// The IF of sample i (fractional for a point between samples): the sweep's
// start plus (i - 1) steps, as the chart places the sample on its axis. The
// axis position of the same point is the axis minimum plus (IF - shift).
constexpr double SampleIf(std::int32_t shift, std::uint32_t step, double i) {
    return shift + (i - 1) * static_cast<double>(step);
}
// The sample (fractional) at an IF, the inverse of SampleIf.
constexpr double SampleAtIf(std::int32_t shift, std::uint32_t step, double ifreq) {
    return (ifreq - shift) / static_cast<double>(step) + 1;
}

// What one tick did with the meter.
enum class TickResult { NoMeter, Swept, Idle };

// One tick's exchange: find and open the meter; with the panorama on, sweep
// into `frame` (cleared first, so samples the meter did not send read 0);
// with it off, send the idle request, whose reply replaces `settingsBuf` only
// when all 248 bytes arrive. The meter is closed before returning. `link`,
// when given, learns how the tick met the meter (no request is added for it).
TickResult ExchangeTick(bool panoramaOn, std::uint32_t flags, std::int32_t shift,
                        std::uint32_t step, SweepFrame& frame, settings::SettingsBlock& settingsBuf,
                        device::LinkState* link = nullptr);

// The sweep's start in the IF band for a position of the shift bar.
constexpr std::int32_t ShiftFromPosition(int position) { return 2150 - position; }

// The frequency at the left end of the axis by the local oscillator rule;
// no value when no oscillator is selected (the start stays as it is).
// `ownLoText` is read only for the own oscillator (index 3) and may throw
// "'<text>' is not a valid integer value", or "Range check error" when the
// sum does not fit 32 bits.
std::optional<std::int32_t> StartFrequency(int loIndex, int bandIndex, std::int32_t shift,
                                           const std::string& ownLoText);

std::string StepLabel(std::uint32_t step);  // "Шаг 10 МГц"

// The read-out under the mouse at chart pixel (x, y), by the plot area's
// mapping (common/PlotArea.h).
struct ReadoutInput {
    int x = 0, y = 0;
    double levelMin = 0, levelMax = 0;  // left axis
    std::uint32_t step = 0;
    std::int32_t shift = 0, startFrec = 0;
    int polIndex = -1;
};
std::string ReadoutText(const ReadoutInput& in);

}  // namespace panorama
