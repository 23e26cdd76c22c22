#include "sky/Matching.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sky {

namespace {
// Below this the -3 dB width of a narrow or merged find says little.
constexpr double kMinTolerance = 5;
}  // namespace

double MatchTolerance(const Found& found) { return std::max(found.width / 2, kMinTolerance); }

std::optional<std::size_t> NearestKnown(const std::vector<Known>& known, double frequency, double tolerance) {
    std::optional<std::size_t> best;
    double bestDistance = 0;
    for (std::size_t k = 0; k < known.size(); ++k) {
        const double d = std::fabs(known[k].frequency - frequency);
        if (d <= tolerance && (!best || d < bestDistance)) {
            best = k;
            bestDistance = d;
        }
    }
    return best;
}

std::vector<Known> PlanKnown(const Satellite& satellite, bool horizontal) {
    static constexpr char kLetters[] = {'H', 'V', 'L', 'R'};
    std::vector<Known> known;
    for (const Transponder& t : satellite.transponders) {
        if (OnHorizontalSwitch(t.polarisation) != horizontal) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%ld %c %ld", std::lround(t.frequency),
                      kLetters[static_cast<int>(t.polarisation)], std::lround(t.symbolRate * 1000));
        known.push_back({t.frequency, text});
    }
    return known;
}

std::optional<float> StrongestLevel(const Finding& finding) {
    std::optional<float> best;
    for (const Found& f : finding.found)
        if (!best || f.level > *best) best = f.level;
    return best;
}

}  // namespace sky
