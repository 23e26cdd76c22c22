// The recording reader on any bytes: it must never crash, every sweep it
// returns has a meaning, and what it read, written again, reads back the
// same without a problem.
#include "recording/Recording.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "recording: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const recording::Recording r = recording::ReadRecording(data, size);
    if (!r.valid) {
        Check(r.sweeps.empty() && !r.problems.empty(), "an unreadable recording without a reason");
        return 0;
    }
    for (std::size_t i = 1; i < r.sweeps.size(); ++i)
        Check(r.sweeps[i].timeMs >= r.sweeps[i - 1].timeMs, "times going back");
    for (const auto& p : r.problems) Check(p.offset <= size && !p.text.empty(), "a problem outside the file");
    const std::string again = recording::Encode(r);
    const recording::Recording back =
        recording::ReadRecording(reinterpret_cast<const std::uint8_t*>(again.data()), again.size());
    Check(back.valid && back.problems.empty(), "what was read does not read back");
    Check(back.sweeps.size() == r.sweeps.size(), "sweeps lost writing them again");
    for (std::size_t i = 0; i < r.sweeps.size(); ++i)
        Check(back.sweeps[i].frame == r.sweeps[i].frame && back.sweeps[i].meaning == r.sweeps[i].meaning &&
                  back.sweeps[i].timeMs == r.sweeps[i].timeMs,
              "a sweep changed writing it again");
    return 0;
}
