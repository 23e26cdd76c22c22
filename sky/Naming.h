// The orbital position named from one sweep. Each position's plan for the
// swept polarisation is laid over the sweep as the occupancy of every sample
// (how much of it the plan's transponders cover), shifted by one common
// oscillator offset of up to +-5 MHz; the score is the correlation of that
// occupancy with the sweep's levels above the local floor. At 10 MHz steps a
// dense plan's neighbours merge into one plateau, so the whole pattern of
// occupied and free frequencies tells more than the found centres one by one.
#pragma once

#include "sky/Finder.h"
#include "sky/Plans.h"

#include <string>
#include <vector>

namespace sky {

struct Candidate {
    const Satellite* satellite = nullptr;
    double score = 0;   // correlation, -1..1
    int offset = 0;     // MHz the oscillator lies above its nominal value
    int inRange = 0;    // the plan's transponders inside the sweep
    int found = 0;      // of those, the ones a found transponder covers
};

struct NamingResult {
    bool named = false;              // the best candidate is clearly better than the rest
    std::vector<Candidate> best;     // the best three (fewer when fewer plans fit)
    std::string text;                // "13.0E Hotbird (11 из 14), гетеродин +2 МГц" or "Спутник не определён"
    std::string tooltip;             // the best three with their scores, one a line
};

inline constexpr const char* kNotNamed = "Спутник не определён";

// The sweep as the naming needs it.
struct SweepInput {
    const panorama::Levels* levels = nullptr;
    const Finding* finding = nullptr;  // of the same levels
    std::int32_t shift = 0;
    std::uint32_t step = 10;
    panorama::Oscillator osc;
    bool horizontal = true;  // the "H / L" switch position
};

// Scores every plan against the sweep. A plan needs at least two
// transponders inside the sweep to be a candidate.
NamingResult NameSatellite(const std::vector<Satellite>& plans, const SweepInput& in);

}  // namespace sky
