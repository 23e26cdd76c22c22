#include "panorama/Panorama.h"

#include "common/Convert.h"
#include "common/PlotArea.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace panorama {

std::uint32_t FoldControlWord(std::uint32_t flags, int polIndex, int bandIndex, bool amp9dB,
                              bool att20dB) {
    auto put = [&flags](std::uint32_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); };
    if (polIndex == 0 || polIndex == 1) put(kPolarisationBit, polIndex == 0);
    if (bandIndex == 0 || bandIndex == 1) put(kBandBit, bandIndex == 0);
    put(kAmp9dBBit, amp9dB);
    put(kAtt20dBBit, att20dB);
    return flags;
}

LevelScale ComputeLevelScale(int oporPosition, int koefPosition, int unitIndex) {
    LevelScale s;
    s.opor = oporPosition;
    s.oporLabel = "Опорa " + std::to_string(oporPosition);  // the 'a' is Latin
    const float k = static_cast<float>(koefPosition);
    s.koefLabel = "Коэф 0," + std::to_string(koefPosition);
    // 0 dBm into 75 ohm is 108.75 dBµV: the zero of the scale moves by that
    // many dB, in whole sample units.
    const float dbmShift = 1087500.0f / k;
    if (unitIndex != 0) {
        s.unitLabel = "dBm";
        s.opor += static_cast<std::int32_t>(std::trunc(dbmShift));
    } else {
        s.unitLabel = "dBuV";
    }
    s.koef = static_cast<float>(k * 0.0001);
    return s;
}

float Level(std::uint8_t sample, std::int32_t opor, float koef) {
    return static_cast<float>((static_cast<double>(sample) - opor) * static_cast<double>(koef));
}

double SampleX(double axisMinimum, int i, std::uint32_t step) {
    return axisMinimum + static_cast<double>(i) * step - static_cast<double>(step);
}

Oscillator OscillatorOfAxis(int loIndex, double axisMinimum, std::int32_t shift) {
    if (loIndex == 2) return {5150, true};
    return {axisMinimum - shift, false};
}

std::optional<std::int32_t> StartFrequency(int loIndex, int bandIndex, std::int32_t shift,
                                           const std::string& ownLoText) {
    switch (loIndex) {
    case 0: return shift + (bandIndex == 0 ? 10600 : 9750);
    case 1: return shift + 10750;
    case 2: return 5150 - shift;
    case 3: {
        // The field shows five digits, but the text may be any integer: a sum
        // that leaves 32 bits is refused instead of overflowing.
        const std::int64_t start = std::int64_t{shift} + common::StrToInt(ownLoText);
        if (start < INT32_MIN || start > INT32_MAX) throw common::UserError(common::kRangeCheckError);
        return static_cast<std::int32_t>(start);
    }
    default: return std::nullopt;
    }
}

std::string StepLabel(std::uint32_t step) { return "Шаг " + std::to_string(step) + " МГц"; }

std::string ReadoutText(const ReadoutInput& in) {
    // Only the level axis matters for the level; the frequency counts whole
    // steps from the plot's left edge.
    const common::PlotMapping map(0, 0, in.levelMin, in.levelMax);
    const float levelF = static_cast<float>(map.ValueAtY(in.y));
    const auto level = static_cast<std::int64_t>(std::trunc(levelF));
    const std::int64_t df = common::FrequencyOffsetAt(in.x, in.step);
    const std::int64_t ifreq = df + in.shift;
    const std::int64_t rf = df + in.startFrec;
    const char* pol = in.polIndex == 0 ? "  H    ПЧ " : in.polIndex == 1 ? "  V    ПЧ " : "";
    return std::to_string(level) + "    " + std::to_string(rf) + " МГц" + pol +
           std::to_string(ifreq) + " МГц ";
}

}  // namespace panorama
