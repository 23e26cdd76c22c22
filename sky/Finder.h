// The transponders in one sweep: every plateau standing out of the local
// noise floor, with its centre (IF and RF), its width between the points
// 3 dB below its top, its level and its height above the floor. Works for
// every step 1..10 MHz; at 10 MHz a transponder is only three or four
// samples wide. Only the samples the chart shows (1..127) are looked at.
#pragma once

#include "panorama/Panorama.h"
#include "panorama/Tools.h"

#include <vector>

namespace sky {

struct Found {
    double centreIf = 0;  // MHz
    double centreRf = 0;  // MHz, through the oscillator
    double lowIf = 0, highIf = 0;  // the -3 dB points, MHz (lowIf <= highIf)
    double width = 0;     // highIf - lowIf, MHz
    float level = 0;      // the plateau's level, in the sweep's unit
    float height = 0;     // dB above the local floor
    bool partial = false;  // cut by the sweep's edge: centre and width are of the part seen
};

// What the finder leaves besides the transponders: the local floor under
// each sample and the noise it measured, which the naming reuses.
struct Finding {
    std::vector<Found> found;  // in ascending IF
    panorama::Levels floor{};
    float noise = 0;  // standard deviation of the noise, dB
};

// Finds the transponders of a sweep of levels (dB) taken at `shift` and
// `step`; `osc` gives their radio frequencies. Reuses `out`'s storage.
void FindTransponders(const panorama::Levels& levels, std::int32_t shift, std::uint32_t step,
                      const panorama::Oscillator& osc, Finding& out);

}  // namespace sky
