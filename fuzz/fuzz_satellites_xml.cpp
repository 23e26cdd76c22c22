// The satellites.xml reader over arbitrary text: either refused with a
// message, or at least one satellite, each at a position within +-180
// degrees written as the data set writes it, its transponders positive and
// in ascending frequency.
#include "sky/Plans.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const sky::Plans<sky::Satellite> read = sky::ParseSatellitesXml(text);
    if (!read) {
        if (!read.plans.empty()) std::abort();  // a refusal gives no plans
        return 0;
    }
    if (read.plans.empty()) std::abort();
    for (const sky::Satellite& s : read.plans) {
        const bool sane = s.longitude >= -180 && s.longitude <= 180 && s.position == sky::PositionText(s.longitude) &&
                          std::all_of(s.transponders.begin(), s.transponders.end(),
                                      [](const sky::Transponder& t) { return t.frequency > 0 && t.symbolRate > 0; }) &&
                          std::is_sorted(s.transponders.begin(), s.transponders.end(),
                                         [](const auto& a, const auto& b) { return a.frequency < b.frequency; });
        if (!sane) {
            std::fprintf(stderr, "satellites.xml: accepted a satellite out of range or unsorted\n");
            std::abort();
        }
    }
    return 0;
}
