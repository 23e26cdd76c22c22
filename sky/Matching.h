// The transponders found, each beside the known transponder it most likely
// is: an entry of the meter's transponder table or of the named satellite's
// plan. A known transponder matches a found one when its frequency lies
// within half the found width of the found centre (at least a few MHz, as
// the centre is only known to about a step's part), the nearest one winning.
#pragma once

#include "sky/Finder.h"
#include "sky/Plans.h"

#include <optional>
#include <string>
#include <vector>

namespace sky {

// A known transponder: its frequency (MHz, in the unit it is compared in)
// and how it is shown.
struct Known {
    double frequency = 0;
    std::string text;
};

// How far from a found centre a known frequency may lie, MHz.
double MatchTolerance(const Found& found);

// The index of the known transponder nearest `frequency` within
// `tolerance`, if any; of equally near ones, the first.
std::optional<std::size_t> NearestKnown(const std::vector<Known>& known, double frequency, double tolerance);

// The plan's transponders on one switch position ("H / L" when
// `horizontal`), shown as "11766 H 27500".
std::vector<Known> PlanKnown(const Satellite& satellite, bool horizontal);

// The strongest level among the transponders found, if any was.
std::optional<float> StrongestLevel(const Finding& finding);

}  // namespace sky
