// The satellites.xml reader (Qt's XML stream reader and the list builder)
// over arbitrary bytes: either refused with a message and no plans, or at
// least one plan, each at a position within +-180 degrees written as the
// data set writes it, of one band, its transponders positive and in
// ascending frequency, and the counts the message tells agreeing with them.
#include "app/modules/SatellitesXml.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const sky::SatelliteList list = ReadSatellitesXml(bytes);
    if (!list) {
        if (!list.plans.empty()) std::abort();  // a refusal gives no plans
        return 0;
    }
    if (list.plans.empty() || (list.skipped == 0) != list.firstSkipped.empty()) std::abort();
    std::size_t transponders = 0;
    for (const sky::Satellite& s : list.plans) {
        transponders += s.transponders.size();
        const bool sane =
            s.longitude >= -180 && s.longitude <= 180 && s.position == sky::PositionText(s.longitude) &&
            !s.name.empty() && !s.transponders.empty() &&
            std::all_of(s.transponders.begin(), s.transponders.end(),
                        [&](const sky::Transponder& t) {
                            return t.frequency > 0 && t.symbolRate > 0 && (t.frequency < 6000) == s.cBand;
                        }) &&
            std::is_sorted(s.transponders.begin(), s.transponders.end(),
                           [](const auto& a, const auto& b) { return a.frequency < b.frequency; });
        if (!sane) {
            std::fprintf(stderr, "satellites.xml: accepted a plan out of range, of two bands or unsorted\n");
            std::abort();
        }
    }
    if (transponders != list.transponders || list.positions == 0 || list.positions > list.plans.size()) {
        std::fprintf(stderr, "satellites.xml: the counts told do not match the plans\n");
        std::abort();
    }
    return 0;
}
