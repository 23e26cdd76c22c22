#include "aiming/Guide.h"

#include "sky/Matching.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace aiming {

double East(double longitude) {
    double l = std::fmod(longitude, 360.0);
    if (l > 180) l -= 360;
    if (l <= -180) l += 360;
    return l;
}

namespace {

std::string Named(const sky::Satellite& s) { return s.name.empty() ? s.position : s.position + " " + s.name; }

}  // namespace

bool SamePosition(double a, double b) { return std::fabs(East(a - b)) < 0.5; }

std::vector<Target> Targets(const std::vector<pointing::EntryLine>& entries, const std::vector<sky::Satellite>& plans) {
    // The plan a position is listed by: Ku band before C band, then the one
    // with most transponders.
    auto planAt = [&plans](double longitude) -> const sky::Satellite* {
        const sky::Satellite* best = nullptr;
        for (const sky::Satellite& s : plans) {
            if (!SamePosition(s.longitude, longitude)) continue;
            if (!best || (best->cBand && !s.cBand) ||
                (best->cBand == s.cBand && s.transponders.size() > best->transponders.size()))
                best = &s;
        }
        return best;
    };
    std::vector<Target> targets;
    for (const pointing::EntryLine& e : entries) {
        if (!e.position) continue;
        Target t;
        t.longitude = *e.position;
        t.label = e.name + " — " + pointing::PositionText(*e.position);
        if (const sky::Satellite* s = planAt(t.longitude)) t.plan = *s;
        targets.push_back(std::move(t));
    }
    std::vector<const sky::Satellite*> positions;
    for (const sky::Satellite& s : plans)
        if (planAt(s.longitude) == &s) positions.push_back(&s);
    std::sort(positions.begin(), positions.end(),
              [](const sky::Satellite* a, const sky::Satellite* b) { return East(a->longitude) < East(b->longitude); });
    for (const sky::Satellite* s : positions) targets.push_back({s->longitude, Named(*s), *s});
    return targets;
}

std::optional<float> TargetLevel(const sky::Finding& finding, const sky::Satellite& plan, bool horizontal, int offset) {
    const std::vector<sky::Known> known = sky::PlanKnown(plan, horizontal);
    std::optional<float> best;
    for (const sky::Found& f : finding.found) {
        if (!sky::NearestKnown(known, f.centreRf + offset, sky::MatchTolerance(f))) continue;
        if (!best || f.level > *best) best = f.level;
    }
    return best;
}

std::vector<GhostBand> GhostBands(const sky::Satellite& plan, const panorama::SampleMeaning& m, double axisMax) {
    const panorama::Oscillator osc = panorama::OscillatorOfAxis(m.loIndex, m.axisMin, m.shift);
    const bool horizontal = (m.flags & panorama::kPolarisationBit) != 0;
    std::vector<GhostBand> bands;
    for (const sky::Transponder& t : plan.transponders) {
        if (sky::OnHorizontalSwitch(t.polarisation) != horizontal) continue;
        const double centre = panorama::IfOnAxis(m, osc.If(t.frequency));
        const double half = t.Width() / 2;
        if (centre + half < m.axisMin || centre - half > axisMax) continue;
        bands.push_back({centre - half, centre + half});
    }
    return bands;
}

Judgement Judge(const Target& target, const pointing::Site& site, const sky::NamingResult* naming,
                const sky::Finding* finding) {
    Judgement j;
    const sky::Satellite* named =
        naming && naming->named && !naming->best.empty() ? naming->best[0].satellite : nullptr;
    if (named && SamePosition(named->longitude, target.longitude)) {
        j.verdict = Verdict::OnTarget;
        j.text = "На цели: " + (target.plan ? Named(*target.plan) : Named(*named));
        return j;
    }
    if (named) {
        j.verdict = Verdict::Other;
        const pointing::Pointing to = pointing::PointAt(site, East(target.longitude));
        const pointing::Pointing from = pointing::PointAt(site, East(named->longitude));
        j.turn = std::remainder(to.azimuth - from.azimuth, 360.0);
        j.west = East(target.longitude - named->longitude) < 0;
        j.text = "Это " + Named(*named) + ": поверните на " + pointing::AngleText(std::fabs(j.turn)) +
                 (j.west ? " к западу" : " к востоку") + " (по азимуту " + pointing::AngleText(j.turn, true) + ")";
        return j;
    }
    if (!finding || finding->found.empty()) {
        j.verdict = Verdict::NoSignal;
        j.text = "Сигнала спутника нет";
        return j;
    }
    j.text = sky::kNotNamed;
    return j;
}

void Best::Take(bool onTarget, std::optional<float> level, std::int64_t nowMs) {
    // Coming onto the target starts the best again.
    if (onTarget && !on_) {
        level_.reset();
        atMs_ = 0;
    }
    on_ = onTarget;
    if (onTarget && level && (!level_ || *level > *level_)) {
        level_ = level;
        atMs_ = nowMs;
    }
}

double MagneticAzimuth(double azimuth, double declination) {
    const double m = std::fmod(azimuth - declination, 360.0);
    return m < 0 ? m + 360 : m;
}

Figures AimFigures(const pointing::Pointing& p, double declination, double offsetAngle) {
    Figures f;
    f.aboveHorizon = p.AboveHorizon();
    const double magnetic = MagneticAzimuth(p.azimuth, declination);
    f.azimuth = "Азимут: " + pointing::AngleText(p.azimuth);
    f.magnetic = "Магнитный азимут: " + pointing::AngleText(magnetic);
    f.elevation = "Угол места: " + pointing::AngleText(p.elevation);
    f.scale = "По шкале антенны: " + pointing::AngleText(p.elevation - offsetAngle);
    f.skew = "Поворот LNB: " + pointing::AngleText(p.skew, true);
    return f;
}

}  // namespace aiming
