// The installer's panorama tools without widgets: max and min hold, the
// running mean of the last sweeps, the peak of the live trace, freezing the
// shown traces, the transponder marks that fall on the frequency axis and the
// trace as CSV text. The window feeds every sweep in and draws what comes out.
// Texts are UTF-8.
#pragma once

#include "panorama/Panorama.h"
#include "settings/Editor.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace panorama {

using Levels = std::array<float, kSamples>;

// The sweeps the average may take.
inline constexpr std::array<int, 4> kAverageDepths{4, 8, 16, 32};

// Everything that decides what a sample stands for: its frequency (step,
// shift, the axis start that the oscillator and band give, the oscillator
// itself), what the meter measures (the control word: polarisation, band,
// +9 dB, -20 dB) and how the sample becomes a level (unit and both
// calibration bars). Holds and average taken under one meaning are
// meaningless under another.
struct SampleMeaning {
    std::uint32_t step = 0;
    std::int32_t shift = 0;
    double axisMin = 0;  // the frequency axis minimum the sweep is placed on
    int loIndex = -1;
    std::uint32_t flags = 0;  // the control word sent with the sweep
    int unitIndex = -1;
    int oporPosition = 0;
    int koefPosition = 0;

    bool operator==(const SampleMeaning&) const = default;
};

// Where a frequency of the meter's IF band (MHz) lies on the frequency axis
// the sweep was drawn on: where the chart places the sample of that IF.
inline double IfOnAxis(const SampleMeaning& m, double ifMhz) { return m.axisMin + (ifMhz - m.shift); }

// The strongest sample of a trace among those drawn inside the frequency
// axis (samples 1..127; sample 0 lies one step left of it), the first of
// equals; with its frequencies placed as the sweep places the sample and as
// the read-out names them.
struct Peak {
    int index = 0;
    float level = 0;
    std::int64_t rf = 0;  // MHz on the axis
    std::int64_t ifreq = 0;  // MHz in the meter's IF band
};
Peak FindPeak(const Levels& levels, double axisMin, std::int32_t shift, std::uint32_t step);

// The peak marker's label: level truncated toward zero as the read-out shows
// it, the unit, RF and IF in MHz: "85 dBuV  11750 МГц  ПЧ 1150 МГц".
std::string PeakText(const Peak& peak, const std::string& unitLabel);

// The tools' state across sweeps. Everything is off after construction; with
// everything off the live trace is each sweep's levels, exactly as drawn
// without the tools.
class TraceTools {
public:
    // What the window shows: the sweep last taken in (the one on the chart)
    // and the traces derived from it. Holds are absent while off and until
    // the first sweep after they were switched on or reset.
    struct Shown {
        bool valid = false;           // a sweep has been taken in
        SweepFrame frame{};           // its raw samples
        SampleMeaning meaning;        // what they stood for
        std::int32_t opor = 0;        // the level scale they were converted with
        float koef = 0;
        std::string unitLabel;
        Levels levels{};              // this sweep's levels
        Levels live{};                // the live trace: the levels, or their running mean
        int averageDepth = 0;         // sweeps the mean takes (0: average off)
        int averaged = 0;             // sweeps in it so far (up to the depth)
        std::optional<Levels> max;
        std::optional<Levels> min;
    };

    // Settings. Switching a hold or the average on, or changing the depth,
    // starts it afresh; switching it off drops it at once.
    void SetMaxHold(bool on);
    void SetMinHold(bool on);
    void SetAverage(int depth);  // 0: off; otherwise one of kAverageDepths
    void SetFrozen(bool on);
    bool MaxHold() const { return maxOn_; }
    bool MinHold() const { return minOn_; }
    int Average() const { return depth_; }
    bool Frozen() const { return frozen_; }

    // Clears holds and average: they start again with the next sweep. The
    // shown holds disappear at once unless the picture is frozen.
    void Reset();

    // Notes the meaning of the samples; a change resets holds and average.
    // The window calls it on every tick, swept or not, so that holds vanish
    // as soon as the switches change. True when it reset.
    bool Observe(const SampleMeaning& meaning);

    // Takes one sweep in: observes its meaning, then, unless frozen, updates
    // average, holds and what is shown. False when frozen (nothing shown
    // changed).
    bool Feed(const SweepFrame& frame, const SampleMeaning& meaning, const LevelScale& scale);

    const Shown& shown() const { return shown_; }

private:
    void ClearAccumulators();

    bool maxOn_ = false, minOn_ = false, frozen_ = false;
    int depth_ = 0;
    std::optional<SampleMeaning> meaning_;
    std::optional<Levels> max_, min_;
    std::vector<Levels> ring_;  // the last sweeps' levels, oldest overwritten
    std::size_t ringNext_ = 0;
    Shown shown_;
};

// ---- Transponder marks ----

struct TransponderMark {
    double frequency = 0;  // MHz on the frequency axis
    std::string name;      // the satellite name, UTF-8
};

// The marks for the rows of the transponder grid that gather as stored
// entries (all five cells filled, a name of at least seven characters other
// than the delete item, frequency and symbol rate integers of 0..65535) whose
// polarisation fits the sweep's ("H" or "L" with "H / L", "V" or "R" with
// "V / R") and whose frequency lies on the axis, ends included; in order of
// frequency, rows of one frequency in table order. Names are the stored
// seven characters.
std::vector<TransponderMark> TransponderMarks(const std::array<settings::RowTexts, settings::kEntryCount>& rows,
                                              double axisMin, double axisMax, bool horizontal);

// ---- The trace as a spreadsheet file ----

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// What the header block tells besides the sweep and what it stood for.
struct TraceHeader {
    DateTime when;
    std::string loCaption;  // the oscillator item's caption, or empty
};

// The shown sweep as CSV for a spreadsheet under a Russian locale: UTF-8
// with a byte-order mark, fields separated by semicolons, decimal commas,
// CRLF line ends. A header block (date and time, unit, oscillator and the
// frequency it is on, band, polarisation, amplifier and attenuator, step,
// shift, both calibration values as their labels show them; all as the sweep
// was taken), an empty line, then a column header and one row per sample: RF
// and IF in MHz, the raw sample, its level, and max, min and average where
// they are on. Levels have two decimals. Independent of the process locale.
std::string TraceCsv(const TraceTools::Shown& shown, const TraceHeader& header);

// A default file name: "<stem> 2026-12-09 02-25-00.<extension>" (no colons,
// which Windows refuses in file names).
std::string DefaultFileName(const std::string& stem, const DateTime& when, const std::string& extension);

}  // namespace panorama
