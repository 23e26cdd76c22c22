// The live pipeline: takes each tick in and works out, once and in this
// order, what the window's features read:
//   1. holds and average (panorama::TraceTools): the shown trace;
//   2. the peak of the shown trace;
//   3. the transponders found in it, on every fresh sweep while finding or
//      naming is on;
//   4. the naming, every few fresh sweeps and at once when the samples
//      change meaning or the site moves, held until it holds;
//   5. the history of the last minutes and, while recording, the file;
//   6. while a target is set, the level of its strongest transponder found.
// Each step reads only what the steps before it worked out; the features
// read the record after all steps and never feed anything back into it.
#pragma once

#include "aiming/Guide.h"
#include "live/Sweep.h"
#include "sky/Plans.h"

#include <string>
#include <vector>

namespace live {

class Pipeline {
public:
    explicit Pipeline(const Window& window);

    // Takes a tick in and works out its record.
    const Sweep& Take(const TickIn& in);
    // The latest record, brought up to date after a switch (tick false);
    // and as the latest tick left it, for reading.
    const Sweep& Current();
    const Sweep& Last() const { return record_; }

    // 1. Holds, average and freezing are set on the trace tools.
    panorama::TraceTools& Traces() { return traces_; }
    const panorama::TraceTools& Traces() const { return traces_; }
    // 2.
    void SetPeakMarker(bool on) { peakMarker_ = on; }
    // 3 and 4. Each feature that needs them asks in its own name (a bit of
    // `who`); they run while any asks. Switching either on works the shown
    // trace out at once.
    static constexpr unsigned kItems = 1, kGuide = 2;
    void SetFinding(bool on, unsigned who = kItems);
    void SetNaming(bool on, unsigned who = kItems);
    bool FindingOn() const { return findingOn_ != 0; }
    bool NamingOn() const { return namingOn_ != 0; }
    // The plans the naming compares with; new plans start the hold again
    // and name the trace at once.
    void SetPlans(std::vector<sky::Satellite> plans);
    const std::vector<sky::Satellite>& Plans() const { return plans_; }
    // The data set's plans from the scan folder beside the program (or the
    // system's), once, unless plans were set already; and why there are
    // none, when there are none.
    void EnsurePlans(const std::string& programFolder);
    const std::string& PlansNote() const { return plansNote_; }
    // 6. The position aimed at (none: no target).
    void SetTarget(std::optional<aiming::Target> target);
    // 5. Recording to a file (UTF-8 name) from the tick's clock (`wallMs`
    // before the first tick); false when it cannot be made. Stop is false
    // when a write since Start failed.
    bool StartRecording(const std::string& path, std::int64_t wallMs);
    bool StopRecording();
    const recording::Recorder& Recorder() const { return recorder_; }
    const recording::History& History() const { return history_; }

    // A naming is made on every this many fresh sweeps.
    static constexpr int kNameEvery = 8;

private:
    void Find();
    void Name(double seconds);
    // The record's values from the pipeline's state; the target's level
    // worked out again only when `levelDue`.
    void Refresh(bool levelDue = true);

    const Window& window_;
    panorama::TraceTools traces_;
    bool peakMarker_ = false;
    unsigned findingOn_ = 0, namingOn_ = 0;
    std::vector<sky::Satellite> plans_;
    bool plansSet_ = false;
    std::string plansNote_;
    std::optional<aiming::Target> target_;
    sky::Finding finding_;
    panorama::SampleMeaning findingMeaning_;
    panorama::Levels foundIn_{};  // the trace the finding was made from
    bool haveTrace_ = false;
    sky::NameHold hold_;
    int sinceNaming_ = 0;
    int siteRevision_ = -1;  // of the site the latest naming was made for
    std::optional<panorama::Peak> peak_;
    recording::History history_;
    recording::Recorder recorder_;
    Sweep record_;
};

}  // namespace live
