#include "sky/Finder.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sky {
namespace {

constexpr int kFirst = 1;                        // the first sample on the axis
constexpr int kCount = panorama::kSamples - kFirst;
using Row = std::array<float, kCount>;

// Sliding minimum (or maximum) over [j - half, j + half], clipped to the
// row: a monotonic queue, so the cost does not grow with the window.
template <bool Min>
void Slide(const Row& in, Row& out, int half) {
    std::array<int, kCount> queue;
    int head = 0, tail = 0, next = 0;
    auto better = [](float a, float b) { return Min ? a <= b : a >= b; };
    for (int j = 0; j < kCount; ++j) {
        const int hi = std::min(kCount - 1, j + half);
        for (; next <= hi; ++next) {
            while (tail > head && better(in[next], in[queue[tail - 1]])) --tail;
            queue[tail++] = next;
        }
        while (queue[head] < j - half) ++head;
        out[j] = in[queue[head]];
    }
}

// Splits [a, b] at its deepest valley while that valley lies `depth` below
// the tops on both its sides; appends the pieces in order.
void Split(const Row& x, int a, int b, float depth, std::vector<std::pair<int, int>>& pieces) {
    int best = -1;
    float bestDepth = depth;
    float leftTop = x[a];
    for (int k = a + 1; k < b; ++k) {
        leftTop = std::max(leftTop, x[k - 1]);
        if (x[k] > x[k - 1] || x[k] > x[k + 1]) continue;  // not a valley
        float rightTop = x[k + 1];
        for (int m = k + 2; m <= b; ++m) rightTop = std::max(rightTop, x[m]);
        const float d = std::min(leftTop, rightTop) - x[k];
        if (d >= bestDepth) {
            bestDepth = d;
            best = k;
        }
    }
    if (best < 0) {
        pieces.emplace_back(a, b);
        return;
    }
    Split(x, a, best - 1 < a ? a : best - 1, depth, pieces);
    Split(x, best + 1 > b ? b : best + 1, b, depth, pieces);
}

}  // namespace

void FindTransponders(const panorama::Levels& levels, std::int32_t shift, std::uint32_t step,
                      const panorama::Oscillator& osc, Finding& out) {
    out.found.clear();
    if (step == 0) step = 1;
    Row x, eroded, floor;
    for (int j = 0; j < kCount; ++j) x[j] = levels[j + kFirst];

    // The noise from the differences of neighbouring samples: their median
    // absolute value is 0.954 sigma for Gaussian noise; plateau edges are
    // few against the flat stretches, so the median ignores them.
    std::array<float, kCount - 1> diffs;
    for (int j = 0; j + 1 < kCount; ++j) diffs[j] = std::fabs(x[j + 1] - x[j]);
    std::nth_element(diffs.begin(), diffs.begin() + diffs.size() / 2, diffs.end());
    const float sigma = diffs[diffs.size() / 2] / 0.954f;
    out.noise = sigma;

    // The local floor: the sweep opened (minimum, then maximum) over 160 MHz,
    // wider than any transponder, so that plateaus are cut away and the
    // floor's tilt stays. The minimum sits in the noise's troughs: lifted by
    // about as much as they lie below its middle.
    const int half = std::max(1, static_cast<int>(std::lround(80.0 / step)));
    Slide<true>(x, eroded, half);
    Slide<false>(eroded, floor, half);
    const float lift = 1.5f * sigma;
    for (int j = 0; j < kCount; ++j) {
        floor[j] += lift;
        out.floor[j + kFirst] = floor[j];
    }
    out.floor[0] = out.floor[kFirst];

    // Runs of samples standing out of the floor, split at valleys between
    // neighbouring transponders.
    const float threshold = std::max(2.0f, 4.0f * sigma);
    const float valley = std::max(2.0f, 4.0f * sigma);
    std::vector<std::pair<int, int>> pieces;
    pieces.reserve(32);
    for (int j = 0; j < kCount;) {
        if (x[j] - floor[j] < threshold) {
            ++j;
            continue;
        }
        int e = j;
        while (e + 1 < kCount && x[e + 1] - floor[e + 1] >= threshold) ++e;
        Split(x, j, e, valley, pieces);
        j = e + 1;
    }

    for (const auto& [a, b] : pieces) {
        float top = x[a];
        for (int k = a; k <= b; ++k) top = std::max(top, x[k]);
        // The plateau's level: the mean of the samples near its top, so that
        // one noise spike does not raise it.
        float sum = 0;
        int n = 0;
        for (int k = a; k <= b; ++k)
            if (x[k] >= top - std::max(1.5f, 2.5f * sigma)) {
                sum += x[k];
                ++n;
            }
        const float level = sum / n;
        const float half3 = level - 3.0f;
        int l = a;
        while (x[l] < half3) ++l;
        int r = b;
        while (x[r] < half3) --r;
        Found f;
        double lo, hi;
        if (l == 0) {
            lo = 0;
            f.partial = true;
        } else if (x[l - 1] < half3) {
            lo = l - 1 + (half3 - x[l - 1]) / (x[l] - x[l - 1]);
        } else {
            lo = l - 0.5;  // a neighbour's flank above the half level: the valley between them
        }
        if (r == kCount - 1) {
            hi = kCount - 1;
            f.partial = true;
        } else if (x[r + 1] < half3) {
            hi = r + (x[r] - half3) / (x[r] - x[r + 1]);
        } else {
            hi = r + 0.5;
        }
        const double centre = (lo + hi) / 2;
        const int c = std::clamp(static_cast<int>(std::lround(centre)), 0, kCount - 1);
        f.level = level;
        f.height = level - floor[c];
        if (f.height < threshold) continue;
        f.lowIf = panorama::SampleIf(shift, step, lo + kFirst);
        f.highIf = panorama::SampleIf(shift, step, hi + kFirst);
        f.centreIf = panorama::SampleIf(shift, step, centre + kFirst);
        f.centreRf = osc.Rf(f.centreIf);
        f.width = f.highIf - f.lowIf;
        out.found.push_back(f);
    }
}

}  // namespace sky
