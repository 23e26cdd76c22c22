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
// The best must stand this far above the second to be named.
constexpr double kMinScore = 0.3;
constexpr double kMinLead = 0.03;
constexpr double kFewPenalty = 0.2;
// How much the share of found transponders that a leading plan explains
// adds to its correlation (half of them explained adds nothing).
constexpr double kFoundWeight = 0.2;
// Levels above the floor count up to this many dB: whether a frequency is
// occupied matters, not how strong its transponder happens to be.
constexpr double kCap = 8;

std::string OffsetText(int offset) {
    return (offset > 0 ? "+" : "") + std::to_string(offset);
}

std::string ScoreText(double score) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2f", score);
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

    // The sweep above its floor, centred for the correlation. The floor is
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
    double mean = 0;
    for (int j = 0; j < kCount; ++j) {
        const double floor = smooth[p] + slope * (j - p);
        r[j] = std::clamp((*in.levels)[j + kFirst] - floor, 0.0, kCap);
        mean += r[j];
    }
    mean /= kCount;
    double rr = 0;
    for (double& v : r) {
        v -= mean;
        rr += v * v;
    }

    std::vector<Candidate> all;
    std::array<double, kCount> occ;
    for (const Satellite& sat : plans) {
        Candidate best;
        best.score = -2;
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
            if (inRange < 2) break;  // the same for every offset
            double so = 0, soo = 0, sro = 0;
            for (int j = 0; j < kCount; ++j) {
                so += occ[j];
                soo += occ[j] * occ[j];
                sro += r[j] * occ[j];
            }
            const double oo = soo - so * so / kCount;
            double score = (oo > 1e-9 && rr > 1e-9) ? sro / std::sqrt(oo * rr) : 0;
            // A plan with few transponders in the sweep matches some of any
            // sweep's plateaus by chance: its score counts for less.
            score -= kFewPenalty / std::sqrt(static_cast<double>(inRange));
            if (score > best.score) {
                best.score = score;
                best.offset = d;
                best.inRange = inRange;
            }
        }
        if (best.score < -1) continue;
        best.satellite = &sat;
        all.push_back(best);
    }
    if (all.empty()) {
        result.tooltip = "Ни один план не попадает в полосу обзора";
        return result;
    }
    const auto byScore = [](const Candidate& a, const Candidate& b) { return a.score > b.score; };
    // The leaders again with what the finder measured one by one: the share
    // of the lone transponders it found that the plan has where they are.
    const std::size_t leaders = std::min<std::size_t>(8, all.size());
    std::partial_sort(all.begin(), all.begin() + leaders, all.end(), byScore);
    all.resize(leaders);
    int lone = 0;
    for (const Found& f : in.finding->found) lone += !f.partial;
    if (lone >= 3) {
        for (Candidate& c : all) {
            int matched = 0;
            for (const Found& f : in.finding->found) {
                if (f.partial) continue;
                const bool inPlan = std::any_of(c.satellite->transponders.begin(), c.satellite->transponders.end(),
                                                [&](const Transponder& t) {
                                                    return OnHorizontalSwitch(t.polarisation) == in.horizontal &&
                                                           std::fabs(t.frequency - c.offset - f.centreRf) <=
                                                               std::max(step / 2 + 2, t.Width() / 4);
                                                });
                matched += inPlan;
            }
            c.score += kFoundWeight * (static_cast<double>(matched) / lone - 0.5);
        }
        std::sort(all.begin(), all.end(), byScore);
    }
    all.resize(std::min<std::size_t>(3, all.size()));

    // The offset again from the transponders the finder measured one by
    // one: the correlation moves plateaus by whole MHz against samples up to
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
    const double second = all.size() > 1 ? all[1].score : 0;
    result.named = top.score >= kMinScore && top.score - second >= kMinLead;
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

}  // namespace sky
