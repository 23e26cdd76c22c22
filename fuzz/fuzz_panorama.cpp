// One panorama tick's conversions for arbitrary frames and control
// positions: the control word, the level scale, the levels and points of a
// sweep frame, the local-oscillator rule and the read-out under the mouse.
//
// Controls take only the values they can hold (scroll bars, track bar and
// radio groups within their ranges, mouse coordinates within a screen); the
// own oscillator's text is sometimes what its five-digit field can show and
// sometimes any text. The frame is whatever bytes are left, padded with 0 as
// a short sweep reads.
#include "common/Convert.h"
#include "common/PlotArea.h"
#include "panorama/Panorama.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

using namespace panorama;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "panorama: %s\n", what);
        std::abort();
    }
}

bool Bit(std::uint32_t word, std::uint32_t bit) { return (word & bit) != 0; }

void CheckControlWord(std::uint32_t before, std::uint32_t after, int pol, int band, bool amp, bool att) {
    constexpr std::uint32_t kSwitches = kPolarisationBit | kBandBit | kAmp9dBBit | kAtt20dBBit;
    Check((after & ~kSwitches) == (before & ~kSwitches), "folding touched a bit no switch owns");
    Check(Bit(after, kPolarisationBit) == (pol == 0 || (pol < 0 && Bit(before, kPolarisationBit))),
          "polarisation bit");
    Check(Bit(after, kBandBit) == (band == 0 || (band < 0 && Bit(before, kBandBit))), "band bit");
    Check(Bit(after, kAmp9dBBit) == amp && Bit(after, kAtt20dBBit) == att, "gain bits");
}

void CheckScale(const LevelScale& s, int opor, int koef, int unit) {
    const std::int32_t shift = unit == 0 ? 0 : 1087500 / koef;
    Check(s.opor == opor + shift, "reference not shifted by the whole dBm units");
    Check(s.koef == static_cast<float>(koef * 0.0001) && s.koef >= 0.4f && s.koef <= 0.8f, "scale");
    Check(s.oporLabel == "Опорa " + std::to_string(opor), "reference label");
    Check(s.koefLabel == "Коэф 0," + std::to_string(koef), "scale label");
    Check(s.unitLabel == (unit == 0 ? "dBuV" : "dBm"), "unit label");
}

void CheckFrame(const SweepFrame& frame, const LevelScale& s, double axisMin, std::uint32_t step) {
    const double low = (0.0 - s.opor) * s.koef, high = (255.0 - s.opor) * s.koef;
    double previousX = -1e300;
    for (int i = 0; i < kSamples; ++i) {
        const float level = Level(frame[i], s.opor, s.koef);
        Check(std::isfinite(level), "level not finite");
        Check(level >= low - 1e-3 && level <= high + 1e-3, "level outside the scale's range");
        if (frame[i] == s.opor) Check(level == 0, "the reference sample is not level 0");
        const double x = SampleX(axisMin, i, step);
        Check(x > previousX, "points not in ascending frequency order");
        Check(x == axisMin + (i - 1) * static_cast<double>(step), "point not one step after the last");
        previousX = x;
    }
    Check(previousX < axisMin + 128.0 * step, "a point beyond the axis");
    // Samples in ascending order give levels in ascending order.
    for (int v = 0; v < 255; ++v)
        Check(Level(static_cast<std::uint8_t>(v), s.opor, s.koef) <=
                  Level(static_cast<std::uint8_t>(v + 1), s.opor, s.koef),
              "levels not monotonic in the sample");
}

// Parses "<level>    <rf> МГц<pol><if> МГц ".
void CheckReadout(const ReadoutInput& in) {
    const std::string text = ReadoutText(in);
    const std::string pol = in.polIndex == 0 ? "  H    ПЧ " : in.polIndex == 1 ? "  V    ПЧ " : "";
    std::istringstream is(text);
    long long level = 0, rf = 0, ifreq = 0;
    Check(static_cast<bool>(is >> level), "read-out without a level");
    Check(text.compare(static_cast<std::size_t>(is.tellg()), 4, "    ") == 0, "read-out separator");
    Check(static_cast<bool>(is >> rf), "read-out without a frequency");
    const std::string middle = " МГц" + pol;
    Check(text.compare(static_cast<std::size_t>(is.tellg()), middle.size(), middle) == 0, "read-out unit");
    is.seekg(static_cast<std::streamoff>(is.tellg()) + static_cast<std::streamoff>(middle.size()));
    Check(static_cast<bool>(is >> ifreq), "read-out without the IF");
    Check(text.substr(static_cast<std::size_t>(is.tellg())) == " МГц ", "read-out end");

    Check(rf - in.startFrec == ifreq - in.shift, "RF and IF not the same offset");
    using Plot = common::PlotArea;
    if (in.y >= Plot::kTop && in.y <= Plot::kBottom)
        Check(level >= in.levelMin && level <= in.levelMax, "level outside the axis over the plot");
    if (in.x >= Plot::kLeft && in.x <= Plot::kRight)
        Check(rf >= in.startFrec && rf <= in.startFrec + std::int64_t{Plot::kSteps} * in.step, "frequency outside the axis");
}

// The text, and whether the five-digit field could show it.
std::pair<std::string, bool> OwnOscillatorText(FuzzedDataProvider& fdp) {
    if (fdp.ConsumeBool()) {
        // Any text a control can hold: no NUL.
        std::string text = fdp.ConsumeRandomLengthString(16);
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
        return {text, false};
    }
    // Five positions, each a digit or left blank.
    std::string text;
    for (int i = 0; i < 5; ++i) {
        const int c = fdp.ConsumeIntegralInRange(0, 10);
        text.push_back(c == 10 ? ' ' : static_cast<char>('0' + c));
    }
    return {text, true};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider fdp(data, size);

    const std::uint32_t before = fdp.ConsumeIntegral<std::uint32_t>();
    const int pol = fdp.ConsumeIntegralInRange(-1, 1), band = fdp.ConsumeIntegralInRange(-1, 1);
    const bool amp = fdp.ConsumeBool(), att = fdp.ConsumeBool();
    const std::uint32_t flags = FoldControlWord(before, pol, band, amp, att);
    CheckControlWord(before, flags, pol, band, amp, att);

    const int opor = fdp.ConsumeIntegralInRange(0, 110);
    const int koef = fdp.ConsumeIntegralInRange(4000, 8000);
    const int unit = fdp.ConsumeIntegralInRange(-1, 1);
    const LevelScale scale = ComputeLevelScale(opor, koef, unit);
    CheckScale(scale, opor, koef, unit);

    const auto step = fdp.ConsumeIntegralInRange<std::uint32_t>(1, 10);
    Check(StepLabel(step) == "Шаг " + std::to_string(step) + " МГц", "step label");
    const std::int32_t shift = ShiftFromPosition(fdp.ConsumeIntegralInRange(0, 1200));
    Check(shift >= 950 && shift <= 2150, "shift outside the IF band");
    const int lo = fdp.ConsumeIntegralInRange(-1, 3);
    const auto [own, fieldText] = OwnOscillatorText(fdp);
    std::int32_t startFrec = fdp.ConsumeIntegralInRange(0, 200000);  // what an earlier rule left
    try {
        if (const std::optional<std::int32_t> start = StartFrequency(lo, band, shift, own)) {
            Check(lo >= 0, "a start frequency with no oscillator chosen");
            if (fieldText) Check(*start >= 0, "a negative start frequency");
            startFrec = *start;
        } else {
            Check(lo < 0, "no start frequency for a chosen oscillator");
        }
    } catch (const common::UserError& e) {
        const std::string message = e.what();
        Check(lo == 3, "only the own oscillator's text can fail");
        Check(message == "'" + own + "' is not a valid integer value" || message == common::kRangeCheckError,
              ("unexpected message for the own oscillator: " + message).c_str());
    }

    ReadoutInput in;
    in.x = fdp.ConsumeIntegralInRange(-32768, 32767);
    in.y = fdp.ConsumeIntegralInRange(-32768, 32767);
    const int bottom = fdp.ConsumeIntegralInRange(-100, 80), height = fdp.ConsumeIntegralInRange(20, 80);
    in.levelMin = bottom;
    in.levelMax = bottom + height;
    in.step = step;
    in.shift = shift;
    in.startFrec = startFrec;
    in.polIndex = pol;
    CheckReadout(in);

    SweepFrame frame{};
    const std::vector<std::uint8_t> samples = fdp.ConsumeRemainingBytes<std::uint8_t>();
    std::copy_n(samples.begin(), std::min<std::size_t>(samples.size(), frame.size()), frame.begin());
    CheckFrame(frame, scale, startFrec, step);
    return 0;
}
