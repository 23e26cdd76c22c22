// The transponder finder and the satellite naming on sweeps made from the
// transponder data set: for every position and every polarisation and band
// (Ku: LO 9750 and 10600; C: LO 5150) whose plan has at least 6 transponders
// inside the sweep, at steps 10 and 4 MHz, a sweep with noise, a floor tilted
// by up to 10 dB, an LNB offset of up to +-4 MHz, a fifth of the
// transponders missing and heights of 6 to 20 dB. Its own plateau shape
// (flat top, raised-cosine edges), independent of the simulated meter's.
// Prints recall and precision of the finder, its centre error, how often
// the right position is named first and among the first three, the offset
// error and the CPU time per sweep.
//   bench_sky [data set folder, default /usr/share/dvb/dvb-s] [seed, default 1]
#include "panorama/Panorama.h"
#include "sky/Finder.h"
#include "sky/Naming.h"
#include "sky/Plans.h"

#include "Timing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Case {
    const sky::Satellite* sat;
    bool horizontal;
    panorama::Oscillator osc;
    std::int32_t shift;
    std::uint32_t step;
};

struct Truth {
    double centreIf, width;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/usr/share/dvb/dvb-s";
    std::mt19937 rng(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u);
    const sky::Catalogue catalogue = sky::LoadScanFolder(folder);
    if (catalogue.satellites.empty()) {
        std::fprintf(stderr, "no plans in %s\n", folder.c_str());
        return 1;
    }

    // The cases: every plan, polarisation, band and step with enough transponders.
    std::vector<Case> cases;
    for (const sky::Satellite& sat : catalogue.satellites) {
        std::vector<panorama::Oscillator> oscs;
        if (sat.cBand) oscs = {{5150, true}};
        else oscs = {{9750, false}, {10600, false}};
        for (const panorama::Oscillator& osc : oscs)
            for (bool horizontal : {true, false})
                for (std::uint32_t step : {10u, 4u}) {
                    const std::vector<std::int32_t> shifts =
                        step == 10 ? std::vector<std::int32_t>{950} : std::vector<std::int32_t>{950, 1450, 1640};
                    for (std::int32_t shift : shifts) {
                        int in = 0;
                        for (const sky::Transponder& t : sat.transponders) {
                            if (sky::OnHorizontalSwitch(t.polarisation) != horizontal) continue;
                            const double i = panorama::SampleAtIf(shift, step, osc.If(t.frequency));
                            if (i >= 1 && i <= 127) ++in;
                        }
                        if (in >= 6) cases.push_back({&sat, horizontal, osc, shift, step});
                    }
                }
    }

    std::uniform_real_distribution<double> uni(0, 1);
    std::normal_distribution<double> gauss(0, 0.5);
    int truths = 0, recalled = 0, founds = 0, correct = 0;
    int resolvable = 0, resolvableRecalled = 0;
    std::vector<double> centreErrors, resolvableErrors, offsetErrors;
    int distinct = 0, distinctFirst = 0;
    int namedFirst = 0, inTop3 = 0, namedAtAll = 0, namedRight = 0;
    double findSeconds = 0, nameSeconds = 0;
    std::vector<int> firstByStep(11), casesByStep(11);
    sky::Finding finding;
    for (const Case& c : cases) {
        const double drift = uni(rng) * 8 - 4;
        const double tilt = uni(rng) * 20 - 10;
        const double floorDb = 40 + uni(rng) * 10;
        std::vector<Truth> present;
        double power[panorama::kSamples] = {};
        for (const sky::Transponder& t : c.sat->transponders) {
            if (sky::OnHorizontalSwitch(t.polarisation) != c.horizontal) continue;
            if (uni(rng) < 0.2) continue;  // missing
            const double centre = c.osc.If(t.frequency - drift);
            const double height = 6 + uni(rng) * 14;
            const double half = t.Width() / 2;
            present.push_back({centre, t.Width()});
            for (int i = 0; i < panorama::kSamples; ++i) {
                const double d = std::fabs(panorama::SampleIf(c.shift, c.step, i) - centre);
                // Flat to 85 % of the half width, a raised-cosine edge to 115 %: half power at the half width.
                double shape = 1;
                if (d > 1.15 * half) shape = 0;
                else if (d > 0.85 * half) shape = 0.5 * (1 + std::cos(3.14159265358979 * (d - 0.85 * half) / (0.3 * half)));
                power[i] += std::pow(10.0, height / 10) * shape;
            }
        }
        panorama::Levels levels;
        for (int i = 0; i < panorama::kSamples; ++i)
            levels[i] = static_cast<float>(floorDb + tilt * i / 127.0 + 10 * std::log10(1 + power[i]) + gauss(rng));

        const double t0 = bench::CpuSeconds();
        sky::FindTransponders(levels, c.shift, c.step, c.osc, finding);
        const double t1 = bench::CpuSeconds();
        sky::SweepInput in{&levels, &finding, c.shift, c.step, c.osc, c.horizontal};
        const sky::NamingResult named = sky::NameSatellite(catalogue.satellites, in);
        const double t2 = bench::CpuSeconds();
        findSeconds += t1 - t0;
        nameSeconds += t2 - t1;

        // The finder against the transponders wholly inside the sweep.
        const double lowIf = panorama::SampleIf(c.shift, c.step, 1), highIf = panorama::SampleIf(c.shift, c.step, 127);
        std::vector<bool> used(finding.found.size());
        for (const Truth& t : present) {
            if (t.centreIf - t.width / 2 < lowIf || t.centreIf + t.width / 2 > highIf) continue;
            ++truths;
            // Resolvable: wider than a step and not within a step of a neighbour's edge.
            bool apart = t.width >= c.step;
            for (const Truth& o : present)
                if (&o != &t && std::fabs(o.centreIf - t.centreIf) < (o.width + t.width) / 2 + c.step) apart = false;
            if (apart) ++resolvable;
            int best = -1;
            double bestErr = 1e9;
            for (std::size_t k = 0; k < finding.found.size(); ++k) {
                const double err = std::fabs(finding.found[k].centreIf - t.centreIf);
                if (!used[k] && err < bestErr && err <= std::max<double>(c.step, t.width / 2)) {
                    bestErr = err;
                    best = static_cast<int>(k);
                }
            }
            if (best >= 0) {
                used[best] = true;
                ++recalled;
                if (apart) {
                    ++resolvableRecalled;
                    resolvableErrors.push_back(bestErr);
                }
                centreErrors.push_back(bestErr);
            }
        }
        for (const sky::Found& f : finding.found) {
            if (f.partial) continue;
            ++founds;
            const bool real = std::any_of(present.begin(), present.end(), [&](const Truth& t) {
                return f.centreIf >= t.centreIf - t.width / 2 - c.step && f.centreIf <= t.centreIf + t.width / 2 + c.step;
            });
            if (real) ++correct;
        }

        if (std::getenv("BENCH_SKY_DEBUG") && (named.best.empty() || named.best[0].satellite != c.sat))
            std::printf("miss %s %s %c lo%.0f step %u shift %d: %s | %s\n", c.sat->position.c_str(), c.sat->name.c_str(),
                        c.horizontal ? 'H' : 'V', c.osc.lo, c.step, c.shift, named.text.c_str(),
                        named.tooltip.c_str());
        // A plan that another position shares in this sweep (the same
        // channel grid, as the North American DBS positions have) cannot be
        // told apart from the spectrum: counted apart.
        auto inSweep = [&](const sky::Satellite& sat) {
            std::vector<double> f;
            for (const sky::Transponder& t : sat.transponders) {
                if (sky::OnHorizontalSwitch(t.polarisation) != c.horizontal) continue;
                const double i = panorama::SampleAtIf(c.shift, c.step, c.osc.If(t.frequency));
                if (i >= 1 && i <= 127) f.push_back(t.frequency);
            }
            return f;
        };
        const std::vector<double> mine = inSweep(*c.sat);
        bool shared = false;
        for (const sky::Satellite& other : catalogue.satellites) {
            if (&other == c.sat || shared) continue;
            const std::vector<double> theirs = inSweep(other);
            if (theirs.size() < mine.size() * 0.8 || theirs.size() > mine.size() * 1.25) continue;
            int common = 0;
            for (double f : mine)
                if (std::any_of(theirs.begin(), theirs.end(), [f](double g) { return std::fabs(f - g) <= 3; })) ++common;
            shared = common >= 0.8 * mine.size();
        }
        if (!shared) {
            ++distinct;
            if (!named.best.empty() && named.best[0].satellite == c.sat) ++distinctFirst;
        }
        ++casesByStep[c.step];
        if (named.named) ++namedAtAll;
        if (named.named && named.best[0].satellite == c.sat) ++namedRight;
        for (std::size_t k = 0; k < named.best.size(); ++k)
            if (named.best[k].satellite == c.sat) {
                if (k == 0) {
                    ++namedFirst;
                    ++firstByStep[c.step];
                    offsetErrors.push_back(std::fabs(named.best[0].offset - drift));
                }
                ++inTop3;
            }
    }

    const double n = static_cast<double>(cases.size());
    std::printf("sweeps: %zu (positions with >= 6 transponders in the sweep; steps 10 and 4 MHz)\n", cases.size());
    std::printf("finder recall:     %.1f %% of %d transponders wholly in the sweep\n", 100.0 * recalled / truths, truths);
    std::printf("  of those resolvable (wider than a step, a step clear of neighbours): %.1f %% of %d\n",
                100.0 * resolvableRecalled / std::max(1, resolvable), resolvable);
    std::printf("  centre error of those: median %.2f MHz, 95th percentile %.2f MHz\n", Percentile(resolvableErrors, 0.5),
                Percentile(resolvableErrors, 0.95));
    std::printf("finder precision:  %.1f %% of %d found\n", 100.0 * correct / std::max(1, founds), founds);
    std::printf("centre error:      median %.2f MHz, 95th percentile %.2f MHz\n", Percentile(centreErrors, 0.5),
                Percentile(centreErrors, 0.95));
    std::printf("named first:       %.1f %% (step 10: %.1f %%, step 4: %.1f %%)\n", 100.0 * namedFirst / n,
                100.0 * firstByStep[10] / std::max(1, casesByStep[10]), 100.0 * firstByStep[4] / std::max(1, casesByStep[4]));
    std::printf("  of the %d sweeps whose plan no other position shares: %.1f %%\n", distinct,
                100.0 * distinctFirst / std::max(1, distinct));
    std::printf("among first three: %.1f %%\n", 100.0 * inTop3 / n);
    std::printf("named on the label (clearly best): %.1f %%, of them right %.1f %%\n", 100.0 * namedAtAll / n,
                100.0 * namedRight / std::max(1, namedAtAll));
    std::printf("offset error:      median %.2f MHz, 95th percentile %.2f MHz\n", Percentile(offsetErrors, 0.5),
                Percentile(offsetErrors, 0.95));
    std::printf("finding:           %.1f us per sweep\n", 1e6 * findSeconds / n);
    std::printf("naming:            %.3f ms per sweep (%zu plans)\n", 1e3 * nameSeconds / n, catalogue.satellites.size());
    return 0;
}
