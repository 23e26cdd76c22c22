// The record of one panorama tick, as every feature of the window reads it:
// what the meter answered and what the window's switches said, and the
// values worked out from it once, in a fixed order (see Pipeline.h). The
// record holds pointers into the pipeline's own state; it is valid until the
// pipeline takes the next tick or a switch of the pipeline changes.
#pragma once

#include "aiming/Guide.h"
#include "panorama/Panorama.h"
#include "panorama/Tools.h"
#include "pointing/Pointing.h"
#include "recording/Recording.h"
#include "settings/Editor.h"
#include "sky/Finder.h"
#include "sky/Naming.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace live {

// What the features read of the main window beyond the tick's own values.
// One adapter reads the window's controls for them all.
class Window {
public:
    virtual ~Window() = default;
    // The transponder grid's data rows, and a count that changes whenever
    // they may have changed.
    virtual const std::array<settings::RowTexts, settings::kEntryCount>& GridRows() const = 0;
    virtual int GridRevision() const = 0;
    // The site the coordinate fields give (none when they hold no
    // coordinates); the same only once the site is known (read, opened or
    // typed in); and a count of their changes.
    virtual std::optional<pointing::Site> FieldSite() const = 0;
    virtual std::optional<pointing::Site> KnownSite() const = 0;
    virtual int SiteRevision() const = 0;
    // The coordinate fields as they read, for a report without a site.
    virtual std::string CoordinateTexts() const = 0;
    // The level unit the chart shows ("dBuV", "dBm").
    virtual std::string LevelUnit() const = 0;
    // The frequency axis as shown, and the polarisation switch (-1: none).
    virtual double AxisMin() const = 0;
    virtual double AxisMax() const = 0;
    virtual int PolarisationIndex() const = 0;
    // An oscillator item's caption as the window shows it (empty: none).
    virtual std::string LoCaption(int loIndex) const = 0;
};

// What a tick brings in: the exchange's result, the sweep (when swept), what
// the samples stand for, the level scale and the level axis, and the time.
struct TickIn {
    panorama::TickResult result = panorama::TickResult::NoMeter;
    const panorama::SweepFrame* frame = nullptr;
    panorama::SampleMeaning meaning;
    panorama::LevelScale scale;
    std::int32_t levelMin = 0, levelMax = 0;
    std::int64_t nowMs = 0;  // ms since 1970 UTC
    double seconds = 0;      // a steady clock
};

struct Sweep {
    // False when the record is given again after a switch changed what is
    // worked out (no new exchange): accumulating readers skip it.
    bool tick = false;
    TickIn in;
    bool swept = false;  // the meter answered a sweep on this tick

    // 1. Holds and average: the shown trace, and whether it changed (to be
    // drawn again) and whether the holds shown changed.
    const panorama::TraceTools::Shown* shown = nullptr;
    bool fresh = false;
    bool holdsChanged = false;
    bool frozen = false;
    // 2. The peak of the shown live trace (present while a trace is shown),
    // and whether the peak marker is on.
    std::optional<panorama::Peak> peak;
    bool peakMarker = false;
    // 3. The transponders found in the shown trace (null while finding and
    // naming are off), with the meaning of the trace they were found in;
    // and whether the installer asked for finding in the chart's menu (it
    // may also run for another feature).
    const sky::Finding* finding = nullptr;
    const panorama::SampleMeaning* findingMeaning = nullptr;
    bool findingOn = false;
    // 4. The naming shown (a name only once it has held; null while naming
    // is off), and whether a naming was made on this tick.
    const sky::NamingResult* naming = nullptr;
    bool named = false;
    // 5. The sweeps of the last minutes, the tick's one added when swept.
    const recording::History* history = nullptr;
    recording::Meaning recordMeaning;
    // A recording whose write failed on this tick has been stopped.
    bool recordingFailed = false;
    // 6. The position aimed at (null: none), and the level of its strongest
    // transponder found in the shown trace.
    const aiming::Target* target = nullptr;
    std::optional<float> targetLevel;
};

}  // namespace live
