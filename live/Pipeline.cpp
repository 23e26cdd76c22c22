#include "live/Pipeline.h"

#include "sky/Matching.h"

namespace live {

Pipeline::Pipeline(const Window& window) : window_(window) {
    record_.shown = &traces_.shown();
    record_.history = &history_;
}

const Sweep& Pipeline::Take(const TickIn& in) {
    Sweep& r = record_;
    r.tick = true;
    r.in = in;
    r.swept = in.result == panorama::TickResult::Swept && in.frame;
    r.recordMeaning = {in.meaning, in.levelMin, in.levelMax};

    // 1. Holds and average.
    if (r.swept) {
        r.fresh = traces_.Feed(*in.frame, in.meaning, in.scale);
        r.holdsChanged = r.fresh;
    } else {
        r.fresh = false;
        r.holdsChanged = traces_.Observe(in.meaning);
    }
    r.frozen = traces_.Frozen();
    const panorama::TraceTools::Shown& s = traces_.shown();

    // 2. The peak, searched once for every reader.
    if (r.fresh || !s.valid) {
        peak_.reset();
        if (s.valid) peak_ = panorama::FindPeak(s.live, s.meaning.axisMin, s.meaning.shift, s.meaning.step);
    }

    // 3 and 4. Found and named from the fresh trace.
    r.named = false;
    if ((findingOn_ || namingOn_) && r.fresh && s.valid) {
        const bool changed = !(s.meaning == findingMeaning_);
        Find();
        if (namingOn_) {
            // A site given or moved is named with at the next sweep, so that
            // a name below its horizon goes at once.
            const bool moved = window_.SiteRevision() != siteRevision_;
            if (changed || moved || ++sinceNaming_ >= kNameEvery) {
                // Namings of samples that meant something else are no run to go on.
                if (changed) hold_.Reset();
                Name(in.seconds);
            }
        }
    }

    // 5. The history, and the recording.
    if (r.swept) history_.Add({in.nowMs, *in.frame, r.recordMeaning});
    r.recordingFailed = false;
    if (recorder_.Recording()) {
        const bool ok = r.swept ? recorder_.Add({in.nowMs, *in.frame, r.recordMeaning})
                                : recorder_.Observe(in.nowMs, r.recordMeaning);
        if (!ok) {
            recorder_.Stop();
            r.recordingFailed = true;
        }
    }
    // The target's level changes only with what was found or named.
    Refresh(r.fresh || r.named);
    return r;
}

const Sweep& Pipeline::Current() {
    Refresh();
    record_.tick = false;
    record_.fresh = false;
    record_.holdsChanged = false;
    record_.named = false;
    record_.recordingFailed = false;
    return record_;
}

void Pipeline::Refresh(bool levelDue) {
    Sweep& r = record_;
    r.frozen = traces_.Frozen();
    r.peak = traces_.shown().valid ? peak_ : std::nullopt;
    r.peakMarker = peakMarker_;
    r.findingOn = (findingOn_ & kItems) != 0;
    const bool any = findingOn_ || namingOn_;
    r.finding = any && haveTrace_ ? &finding_ : nullptr;
    r.findingMeaning = r.finding ? &findingMeaning_ : nullptr;
    r.naming = namingOn_ ? &hold_.Shown() : nullptr;
    // 6. The target's level, from the finding and the naming's offset when
    // the naming names the target.
    r.target = target_ ? &*target_ : nullptr;
    if (!levelDue) return;
    r.targetLevel.reset();
    if (target_ && target_->plan && r.finding) {
        const sky::NamingResult& n = hold_.Shown();
        const int offset = namingOn_ && n.named && !n.best.empty() &&
                                   aiming::SamePosition(n.best[0].satellite->longitude, target_->longitude)
                               ? n.best[0].offset
                               : 0;
        const bool horizontal = (findingMeaning_.flags & panorama::kPolarisationBit) != 0;
        r.targetLevel = aiming::TargetLevel(finding_, *target_->plan, horizontal, offset);
    }
}

void Pipeline::Find() {
    const panorama::TraceTools::Shown& s = traces_.shown();
    findingMeaning_ = s.meaning;
    foundIn_ = s.live;
    haveTrace_ = true;
    const panorama::Oscillator osc = panorama::OscillatorOfAxis(s.meaning.loIndex, s.meaning.axisMin, s.meaning.shift);
    sky::FindTransponders(foundIn_, s.meaning.shift, s.meaning.step, osc, finding_);
}

void Pipeline::Name(double seconds) {
    sinceNaming_ = 0;
    const panorama::SampleMeaning& m = findingMeaning_;
    sky::SweepInput in;
    in.levels = &foundIn_;
    in.finding = &finding_;
    in.shift = m.shift;
    in.step = m.step;
    in.osc = panorama::OscillatorOfAxis(m.loIndex, m.axisMin, m.shift);
    in.horizontal = (m.flags & panorama::kPolarisationBit) != 0;
    siteRevision_ = window_.SiteRevision();
    in.site = window_.KnownSite();
    for (const pointing::EntryLine& e : pointing::StoredEntries(window_.GridRows(), std::nullopt))
        if (e.position) in.preferred.push_back(*e.position);
    hold_.Take(sky::NameSatellite(plans_, in), seconds);
    record_.named = true;
}

void Pipeline::SetFinding(bool on, unsigned who) {
    const bool was = FindingOn();
    findingOn_ = on ? findingOn_ | who : findingOn_ & ~who;
    if (FindingOn() && !was && traces_.shown().valid) Find();
    if (!findingOn_ && !namingOn_) haveTrace_ = false;
    Refresh();
}

void Pipeline::SetNaming(bool on, unsigned who) {
    const bool was = NamingOn();
    namingOn_ = on ? namingOn_ | who : namingOn_ & ~who;
    if (NamingOn() == was) return Refresh();
    hold_.Reset();  // a name is earned again by the namings from now on
    sinceNaming_ = kNameEvery;  // name at the next sweep
    if (NamingOn() && traces_.shown().valid) {
        Find();
        Name(record_.in.seconds);
    }
    if (!findingOn_ && !namingOn_) haveTrace_ = false;
    Refresh();
}

void Pipeline::EnsurePlans(const std::string& programFolder) {
    if (plansSet_) return;
    const std::string folder = sky::ScanFolder(programFolder);
    sky::Catalogue c = sky::LoadScanFolder(folder);
    const bool none = c.satellites.empty();
    SetPlans(std::move(c.satellites));
    if (none) plansNote_ = "Нет списка спутников: " + folder;
}

void Pipeline::SetTarget(std::optional<aiming::Target> target) {
    target_ = std::move(target);
    Refresh();
}

void Pipeline::SetPlans(std::vector<sky::Satellite> plans) {
    plans_ = std::move(plans);
    plansSet_ = true;
    plansNote_.clear();
    sinceNaming_ = kNameEvery;
    // No name of the old plans goes on under the new ones: the run starts
    // again with the naming made from them now.
    hold_.Reset();
    if (namingOn_ && haveTrace_) Name(record_.in.seconds);
    Refresh();
}

bool Pipeline::StartRecording(const std::string& path, std::int64_t wallMs) {
    // The tick's clock, which every sweep's time comes from.
    return recorder_.Start(path, record_.in.nowMs ? record_.in.nowMs : wallMs);
}

bool Pipeline::StopRecording() {
    const bool wasOn = recorder_.Recording();
    return recorder_.Stop() || !wasOn;
}

}  // namespace live
