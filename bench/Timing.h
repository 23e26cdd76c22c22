// CPU-time measurement shared by the benchmark programs.
#pragma once

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace bench {

inline double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs `body` `count` times, `repeats` times over, and returns the lowest
// CPU time per call: the least disturbed by whatever else the machine does.
template <typename F>
double PerCall(int count, int repeats, F&& body) {
    double best = 1e9;
    for (int r = 0; r < repeats; ++r) {
        const double t0 = CpuSeconds();
        for (int i = 0; i < count; ++i) body();
        best = std::min(best, (CpuSeconds() - t0) / count);
    }
    return best;
}

// One printed figure in microseconds, its label padded to `width`.
inline void Row(const char* what, double seconds, const char* note = "", int width = 52) {
    std::printf("  %-*s %9.2f us%s\n", width, what, seconds * 1e6, note);
}

}  // namespace bench
