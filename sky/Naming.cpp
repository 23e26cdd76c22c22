#include "sky/Naming.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace sky {
namespace {

constexpr int kFirst = 1;  // the first sample on the axis
constexpr int kCount = panorama::kSamples - kFirst;
constexpr int kMaxOffset = 5;
// A sample counts as lit from kLitFrom dB above the floor (some three times
// the noise) and wholly from kLitFull dB; between, in part.
constexpr double kLitFrom = 1.5;
constexpr double kLitFull = 5;
// The rates a plan may explain the sweep with: of its occupied samples, any
// share from a quarter up may be lit (transponders switched off since the
// plan was written are common); of its free samples, at most a third (new
// transponders are rarer). A plan that needs more falls behind.
constexpr double kOccupiedLitMin = 0.25, kOccupiedLitMax = 0.97;
constexpr double kFreeLitMin = 0.02, kFreeLitMax = 0.3;
// Naming needs the best plan to explain the sweep at least as well as no
// plan does (from the samples, or in all: a band lit from end to end leaves
// "no plan" little to miss, so a dense plan's evidence over it is small), and
// to stand this far above the best plan of any other position, in one
// transponder's worth.
constexpr double kMinScore = 0.0;
constexpr double kMinLead = 2.0;
constexpr double kPreferredLead = 1.5;  // for a position of the meter's table
// How much the lone transponders found add to the leaders' evidence, and the
// share of them a plan is expected to have where they are (some are new).
constexpr double kFoundWeight = 0.5;
constexpr double kOnPlan = 0.75;
// A plan needs at least this many transponders inside the sweep.
constexpr int kMinInRange = 3;

// Positions less than half a degree apart are one for the dish: it sees
// both at once.
bool SamePosition(const Satellite& a, const Satellite& b) { return std::fabs(a.longitude - b.longitude) < 0.5; }

double Xlogy(double x, double y) { return x > 0 ? x * std::log(y) : 0; }

std::string OffsetText(int offset) {
    return (offset > 0 ? "+" : "") + std::to_string(offset);
}

std::string ScoreText(double score) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", score);
    std::string s = buf;
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

}  // namespace

NamingResult NameSatellite(const std::vector<Satellite>& plans, const SweepInput& in) {
    NamingResult result;
    result.text = kNotNamed;
    if (!in.levels || !in.finding || in.step == 0) return result;
    const double step = in.step;

    // The sweep above its floor. The floor is
    // the straight line under the (lightly smoothed) sweep that touches it
    // on both sides of its middle: the lower hull's edge there. Unlike the
    // finder's local floor it does not climb onto a long run of merged
    // transponders, and it keeps the floor's tilt.
    std::array<double, kCount> smooth, r;
    for (int j = 0; j < kCount; ++j) {
        const int a = std::max(0, j - 1), b = std::min(kCount - 1, j + 1);
        double sum = 0;
        for (int k = a; k <= b; ++k) sum += (*in.levels)[k + kFirst];
        smooth[j] = sum / (b - a + 1);
    }
    std::array<int, kCount> hull;
    int nh = 0;
    for (int j = 0; j < kCount; ++j) {
        while (nh >= 2) {
            const int p = hull[nh - 2], q = hull[nh - 1];
            // Drop q when it lies on or above the line from p to j.
            if ((smooth[q] - smooth[p]) * (j - p) >= (smooth[j] - smooth[p]) * (q - p)) --nh;
            else break;
        }
        hull[nh++] = j;
    }
    int seg = 0;
    while (seg + 2 < nh && hull[seg + 1] < kCount / 2) ++seg;
    const int p = hull[seg], q = hull[std::min(seg + 1, nh - 1)];
    const double slope = q > p ? (smooth[q] - smooth[p]) / (q - p) : 0;
    for (int j = 0; j < kCount; ++j) {
        const double floor = smooth[p] + slope * (j - p);
        r[j] = (*in.levels)[j + kFirst] - floor;
    }
    // How lit each sample is, 0..1, and the sweep's share of lit samples:
    // what "no plan" explains it with.
    std::array<double, kCount> lit;
    double litSum = 0;
    for (int j = 0; j < kCount; ++j) {
        lit[j] = std::clamp((r[j] - kLitFrom) / (kLitFull - kLitFrom), 0.0, 1.0);
        litSum += lit[j];
    }
    const double pLit = std::clamp(litSum / kCount, 1e-3, 1 - 1e-3);
    const double none = Xlogy(litSum, pLit) + Xlogy(kCount - litSum, 1 - pLit);
    // Evidence is counted per transponder's worth of samples (a 27.5 Msym/s
    // transponder's width), since neighbouring samples of one transponder
    // are lit or dark together.
    const double perTransponder = std::max(1.0, 37.0 / step);

    std::vector<Candidate> all;
    std::array<double, kCount> occ;
    for (const Satellite& sat : plans) {
        if (in.site && !AboveHorizon(*in.site, sat.longitude)) continue;
        Candidate best;
        best.score = -1e9;
        for (int d = -kMaxOffset; d <= kMaxOffset; ++d) {
            occ.fill(0);
            int inRange = 0;
            for (const Transponder& t : sat.transponders) {
                if (OnHorizontalSwitch(t.polarisation) != in.horizontal) continue;
                // Where the sweep shows it: the oscillator `d` MHz high moves
                // every transponder d MHz down the radio-frequency axis.
                const double jc = panorama::SampleAtIf(in.shift, in.step, in.osc.If(t.frequency - d)) - kFirst;
                const double hw = t.Width() / 2 / step;
                if (jc + hw < -0.5 || jc - hw > kCount - 0.5) continue;
                if (jc >= -0.5 && jc <= kCount - 0.5) ++inRange;
                const int lo = std::max(0, static_cast<int>(std::floor(jc - hw)));
                const int hi = std::min(kCount - 1, static_cast<int>(std::ceil(jc + hw)));
                for (int j = lo; j <= hi; ++j) {
                    const double cover = std::min(jc + hw, j + 0.5) - std::max(jc - hw, j - 0.5);
                    if (cover > occ[j]) occ[j] = std::min(1.0, cover);
                }
            }
            if (inRange < kMinInRange) break;  // the same for every offset
            // Lit and dark, under the plan's occupied and free samples.
            double litOcc = 0, darkOcc = 0, litFree = 0, darkFree = 0;
            for (int j = 0; j < kCount; ++j) {
                litOcc += lit[j] * occ[j];
                darkOcc += (1 - lit[j]) * occ[j];
                litFree += lit[j] * (1 - occ[j]);
                darkFree += (1 - lit[j]) * (1 - occ[j]);
            }
            // The rates that explain the sweep best within the bounds above.
            const double occTotal = litOcc + darkOcc, freeTotal = litFree + darkFree;
            const double q1 = std::clamp(occTotal > 0 ? litOcc / occTotal : 0.5, kOccupiedLitMin, kOccupiedLitMax);
            const double q0 = std::clamp(freeTotal > 0 ? litFree / freeTotal : 0.0, kFreeLitMin, kFreeLitMax);
            const double fit = Xlogy(litOcc, q1) + Xlogy(darkOcc, 1 - q1) + Xlogy(litFree, q0) + Xlogy(darkFree, 1 - q0);
            const double score = (fit - none) / perTransponder;
            if (score > best.score) {
                best.score = best.occupancy = score;
                best.offset = d;
                best.inRange = inRange;
            }
        }
        if (best.score < -1e8) continue;
        best.satellite = &sat;
        all.push_back(best);
    }
    if (all.empty()) {
        result.tooltip = "Ни один план не попадает в полосу обзора";
        return result;
    }
    const auto byScore = [](const Candidate& a, const Candidate& b) { return a.score > b.score; };
    std::sort(all.begin(), all.end(), byScore);
    // The leaders again with what the finder measured one by one: whether
    // the lone transponders it found lie on the plan's frequencies, as wide
    // as the plan's there, under one common oscillator offset (searched in
    // half MHz), against the chance that the plan's share of the band would
    // catch them anyway. Where a dense plan's transponders merge into one
    // plateau, this is what tells it from another dense plan.
    // Only the leaders go on: the rest cannot catch up.
    all.resize(std::min<std::size_t>(24, all.size()));
    struct Lone {
        double rf, width;
    };
    std::vector<Lone> lone;
    for (const Found& f : in.finding->found)
        if (!f.partial) lone.push_back({f.centreRf, f.width});
    if (lone.size() >= 3) {
        const double tolerance = std::clamp(step / 2, 1.5, 4.0);
        const double span = step * (kCount - 1);
        const double n = static_cast<double>(lone.size());
        std::vector<const Transponder*> plan;
        for (Candidate& c : all) {
            plan.clear();
            for (const Transponder& t : c.satellite->transponders)
                if (OnHorizontalSwitch(t.polarisation) == in.horizontal) plan.push_back(&t);
            const double chance = std::clamp(c.inRange * 2 * tolerance / span, 0.02, 0.9);
            const double hit = std::log(kOnPlan / chance), miss = std::log((1 - kOnPlan) / (1 - chance));
            double best = -1e9;
            for (double d = -kMaxOffset; d <= kMaxOffset; d += 0.5) {
                int matched = 0;
                for (const Lone& f : lone) {
                    // The plan's transponders from tolerance below the found centre up.
                    auto t = std::lower_bound(plan.begin(), plan.end(), f.rf + d - tolerance,
                                              [](const Transponder* p, double v) { return p->frequency < v; });
                    for (; t != plan.end() && (*t)->frequency <= f.rf + d + tolerance; ++t)
                        if (std::fabs(f.width - (*t)->Width()) <= std::max(step, 0.3 * (*t)->Width())) {
                            ++matched;
                            break;
                        }
                }
                best = std::max(best, matched * hit + (n - matched) * miss);
            }
            c.score += kFoundWeight * best;
        }
        std::sort(all.begin(), all.end(), byScore);
    }
    // The runner-up is the best plan of another position: the C- and Ku-band
    // plans of one position, or its merged files, are no rivals.
    double rival = -1e9;
    for (std::size_t k = 1; k < all.size(); ++k)
        if (!SamePosition(*all[k].satellite, *all[0].satellite)) {
            rival = all[k].score;
            break;
        }
    all.resize(std::min<std::size_t>(3, all.size()));

    // The offset again from the transponders the finder measured one by
    // one: the occupancy moves plateaus by whole MHz against samples up to
    // 10 MHz apart, the finder's centres are finer. The median of what each
    // lone transponder of about the plan's width says, where three or more
    // agree with the plan.
    for (Candidate& c : all) {
        std::vector<double> says;
        for (const Found& f : in.finding->found) {
            if (f.partial) continue;
            for (const Transponder& t : c.satellite->transponders) {
                if (OnHorizontalSwitch(t.polarisation) != in.horizontal) continue;
                const double d = t.frequency - f.centreRf;  // the oscillator's offset this pair tells
                if (std::fabs(d - c.offset) > step / 2 + 2 || std::fabs(f.width - t.Width()) > std::max(step, 0.3 * t.Width()))
                    continue;
                says.push_back(d);
            }
        }
        if (says.size() < 3) continue;
        std::nth_element(says.begin(), says.begin() + says.size() / 2, says.end());
        c.offset = std::clamp(static_cast<int>(std::lround(says[says.size() / 2])), -kMaxOffset, kMaxOffset);
    }

    // How many of the best plans' transponders the finder saw.
    for (Candidate& c : all) {
        for (const Transponder& t : c.satellite->transponders) {
            if (OnHorizontalSwitch(t.polarisation) != in.horizontal) continue;
            const double at = in.osc.If(t.frequency - c.offset);
            const double j = panorama::SampleAtIf(in.shift, in.step, at) - kFirst;
            if (j < -0.5 || j > kCount - 0.5) continue;
            const bool seen = std::any_of(in.finding->found.begin(), in.finding->found.end(), [&](const Found& f) {
                return at >= f.lowIf - step / 2 && at <= f.highIf + step / 2;
            });
            if (seen) ++c.found;
        }
    }
    result.best = all;
    const Candidate& top = all.front();
    const bool preferred = std::any_of(in.preferred.begin(), in.preferred.end(), [&](double lon) {
        return std::fabs(lon - top.satellite->longitude) <= 0.5;
    });
    result.named = std::max(top.score, top.occupancy) >= kMinScore && top.score - rival >= (preferred ? kPreferredLead : kMinLead);
    if (result.named)
        result.text = top.satellite->position + " " + top.satellite->name + " (" + std::to_string(top.found) +
                      " из " + std::to_string(top.inRange) + "), гетеродин " + OffsetText(top.offset) + " МГц";
    for (std::size_t k = 0; k < all.size(); ++k) {
        const Candidate& c = all[k];
        if (k) result.tooltip += "\n";
        result.tooltip += std::to_string(k + 1) + ". " + c.satellite->position + " " + c.satellite->name + ": " +
                          ScoreText(c.score) + ", гетеродин " + OffsetText(c.offset) + " МГц";
    }
    return result;
}

bool AboveHorizon(const pointing::Site& site, double longitude) {
    return pointing::PointAt(site, longitude).AboveHorizon();
}

const NamingResult& NameHold::Take(const NamingResult& naming, double seconds) {
    const std::string position = naming.named ? naming.best.front().satellite->position : std::string();
    if (position.empty() || position != position_) {
        position_ = position;
        since_ = seconds;
    }
    const bool holds = !position_.empty() && seconds - since_ >= hold_ - 1e-9;
    if (holds) {
        shown_ = naming;
    } else {
        shown_.named = false;
        shown_.best = naming.best;
        shown_.text = kNotNamed;
        shown_.tooltip = naming.tooltip;
    }
    return shown_;
}

void NameHold::Reset() {
    position_.clear();
    since_ = 0;
    shown_ = NamingResult{};
    shown_.text = kNotNamed;
}

}  // namespace sky
