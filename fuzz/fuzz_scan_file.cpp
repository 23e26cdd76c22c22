// The transponder plan readers over arbitrary text: a DVBv5 scan file and
// its file name. Either refused with a message, or every transponder has a
// positive frequency and symbol rate, in ascending frequency.
#include "sky/Plans.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const sky::Plans<sky::Transponder> read = sky::ParseScanFile(text);
    if (read) {
        const std::vector<sky::Transponder>& plan = read.plans;
        const bool sane = !plan.empty() &&
                          std::all_of(plan.begin(), plan.end(),
                                      [](const sky::Transponder& t) { return t.frequency > 0 && t.symbolRate > 0; }) &&
                          std::is_sorted(plan.begin(), plan.end(), [](const auto& a, const auto& b) {
                              return a.frequency < b.frequency;
                          });
        if (!sane) {
            std::fprintf(stderr, "scan file: accepted an empty, unsorted or non-positive plan\n");
            std::abort();
        }
    } else if (!read.plans.empty()) {
        std::fprintf(stderr, "scan file: refused, yet plans given\n");
        std::abort();
    }
    if (const auto name = sky::ParseScanFileName(text.substr(0, 64)))
        if (name->name.empty() || name->longitude < -180 || name->longitude > 180) std::abort();
    return 0;
}
