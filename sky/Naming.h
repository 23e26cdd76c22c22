// The orbital position named from one sweep. Each position's plan for the
// swept polarisation is laid over the sweep as the occupancy of every sample
// (how much of it the plan's transponders cover), shifted by one common
// oscillator offset of up to +-5 MHz, and scored by how much better it tells
// the lit samples from the dark ones than no plan does (a log-likelihood
// ratio). Plans drift from the sky they were written for: many of their
// transponders are switched off since, and a few new ones are lit. So the
// score lets a plan's occupied samples be dark at almost any rate, but holds
// its free samples to a low rate of being lit. At 10 MHz steps a dense
// plan's neighbours merge into one plateau, so the whole pattern of occupied
// and free frequencies tells more than the found centres one by one. The
// leaders are then weighed again by the finder's lone transponders: whether
// they lie on the plan's frequencies, as wide as the plan's, under one
// common offset, against the chance that the plan's share of the band
// catches them anyway; this tells apart dense plans whose transponders merge.
//
// A name is given only when the best plan stands clearly above the runner-up
// at another position; a name is shown only when it holds over the namings
// of about a second (NameHold). A wrong name sends the dish to the wrong
// satellite; no name only costs the installer a look.
#pragma once

#include "sky/Finder.h"
#include "sky/Plans.h"

#include "pointing/Pointing.h"

#include <optional>
#include <string>
#include <vector>

namespace sky {

struct Candidate {
    const Satellite* satellite = nullptr;
    double score = 0;   // evidence over no plan, in units of one transponder's worth
    double occupancy = 0;  // of it, what the occupied and free samples alone give
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
    // The site, when one is known: positions below its horizon are left out.
    std::optional<pointing::Site> site;
    // The orbital longitudes (east positive) of the meter's table: the
    // positions the installer means to use. One of them that leads is named
    // on a slightly smaller lead; they never change the order.
    std::vector<double> preferred;
};

// Scores every plan against the sweep. A plan needs at least two
// transponders inside the sweep to be a candidate.
NamingResult NameSatellite(const std::vector<Satellite>& plans, const SweepInput& in);

// Whether the satellite over `longitude` stands above the site's horizon.
bool AboveHorizon(const pointing::Site& site, double longitude);

// What the label shows of the namings: a name only once the same position
// has been named by every naming for `hold` seconds; until then, and at once
// when a naming names another position or none, "Спутник не определён" (the
// tooltip still lists the latest best three).
class NameHold {
public:
    explicit NameHold(double hold = 0.8) : hold_(hold) { shown_.text = kNotNamed; }
    // Takes the naming made at `seconds` (a steady clock) and returns what to show.
    const NamingResult& Take(const NamingResult& naming, double seconds);
    const NamingResult& Shown() const { return shown_; }
    void Reset();

private:
    double hold_;
    std::string position_;  // of the current run of namings; empty: none
    double since_ = 0;
    NamingResult shown_;
};

}  // namespace sky
