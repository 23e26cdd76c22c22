// The transponder finder and the satellite naming on sweeps made from the
// transponder data set: for every position and every polarisation and band
// (Ku: LO 9750 and 10600; C: LO 5150) whose plan has at least 6 transponders
// inside the sweep, at steps 10 and 4 MHz, a sweep with noise, a floor tilted
// by up to 10 dB, an LNB offset of up to +-4 MHz and heights of 6 to 20 dB.
// Its own plateau shape (flat top, raised-cosine edges), independent of the
// simulated meter's.
//
// Two skies: the plain one (a fifth of each plan's transponders missing)
// and a drifted one, as plans drift from the sky over the years (30-75 % of
// the plan's transponders switched off, 5-40 % more lit that the plan lacks,
// a quarter of those kept moved by 2-4 MHz). Besides the sweep at the
// position, one between it and its nearest neighbour (both off the beam) and
// one half blocked (everything 6-10 dB down, the weaker half in the noise).
// Each is swept five times with fresh noise and named after each sweep, as
// the window names every 200 ms, without a site and from a random site that
// sees the position (and its neighbour) above 5 degrees.
//
// Prints recall and precision of the finder on the plain sky, its centre
// error, and two naming tables, named right, unnamed and named wrong per
// sky, step and site: the first naming alone, and what the label shows after
// the fifth (a name only when all five agree). Positions less than half a
// degree apart count as one; between two positions either one is right.
// Then the CPU time per sweep.
//   bench_sky [data set folder, default /usr/share/dvb/dvb-s] [seed, default 1]
// BENCH_SKY_FIRST=1 adds how often the right position scored best, named or
// not; BENCH_SKY_DEBUG=1 prints every wrong name.
#include "panorama/Panorama.h"
#include "sky/Finder.h"
#include "sky/Naming.h"
#include "sky/Plans.h"
#include "pointing/Pointing.h"

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
    const sky::Satellite* neighbour;  // the nearest other position of the same band with 3 or more in the sweep
};

// A transponder lit in the sweep: radio frequency as the sky sends it (before
// the LNB's offset), width and height above the floor.
struct Lit {
    double frequency, width, height;
};

struct Truth {
    double centreIf, width;
};

enum Sky { kPlain, kDrifted };
enum Kind { kAt, kBetween, kBlocked };

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

// Positions less than half a degree apart are one for the dish: naming
// either is right.
bool Same(const sky::Satellite& a, const sky::Satellite& b) { return std::fabs(a.longitude - b.longitude) < 0.5; }

bool InSweep(const Case& c, double frequency) {
    const double i = panorama::SampleAtIf(c.shift, c.step, c.osc.If(frequency));
    return i >= 1 && i <= 127;
}

int CountInSweep(const Case& c, const sky::Satellite& sat) {
    int in = 0;
    for (const sky::Transponder& t : sat.transponders)
        if (sky::OnHorizontalSwitch(t.polarisation) == c.horizontal && InSweep(c, t.frequency)) ++in;
    return in;
}

// What one position sends on the case's switch, in the plain or drifted sky.
std::vector<Lit> SkyOf(const Case& c, const sky::Satellite& sat, Sky sky, std::mt19937& rng) {
    std::uniform_real_distribution<double> uni(0, 1);
    std::vector<Lit> lit;
    std::vector<const sky::Transponder*> plan;
    for (const sky::Transponder& t : sat.transponders)
        if (sky::OnHorizontalSwitch(t.polarisation) == c.horizontal) plan.push_back(&t);
    const double drop = sky == kPlain ? 0.2 : 0.3 + 0.45 * uni(rng);
    for (const sky::Transponder* t : plan) {
        if (uni(rng) < drop) continue;
        double f = t->frequency;
        if (sky == kDrifted && uni(rng) < 0.25) f += (uni(rng) < 0.5 ? -1 : 1) * (2 + 2 * uni(rng));
        lit.push_back({f, t->Width(), 6 + uni(rng) * 14});
    }
    if (sky == kDrifted && !plan.empty()) {
        // New transponders where the plan has none, as wide as some of its own.
        int inSweep = 0;
        for (const sky::Transponder* t : plan) inSweep += InSweep(c, t->frequency);
        const int add = static_cast<int>(std::lround((0.05 + 0.35 * uni(rng)) * inSweep));
        const double lowIf = panorama::SampleIf(c.shift, c.step, 1), highIf = panorama::SampleIf(c.shift, c.step, 127);
        for (int k = 0, tries = 0; k < add && tries < 200; ++tries) {
            const double width = plan[rng() % plan.size()]->Width();
            const double ifreq = lowIf + (highIf - lowIf) * uni(rng);
            const double f = c.osc.Rf(ifreq);
            const auto clash = [&](double g, double w) { return std::fabs(g - f) < (w + width) / 2; };
            if (std::any_of(plan.begin(), plan.end(), [&](const sky::Transponder* t) { return clash(t->frequency, t->Width()); }) ||
                std::any_of(lit.begin(), lit.end(), [&](const Lit& l) { return clash(l.frequency, l.width); }))
                continue;
            lit.push_back({f, width, 6 + uni(rng) * 14});
            ++k;
        }
    }
    return lit;
}

// A random site that sees every given position above 5 degrees.
std::optional<pointing::Site> SiteSeeing(const std::vector<double>& longitudes, std::mt19937& rng) {
    std::uniform_real_distribution<double> uni(0, 1);
    for (int tries = 0; tries < 200; ++tries) {
        pointing::Site site;
        site.latitude = -60 + 130 * uni(rng);
        site.longitude = std::fmod(longitudes[0] + (uni(rng) - 0.5) * 120 + 720, 360);
        if (std::all_of(longitudes.begin(), longitudes.end(),
                        [&](double lon) { return pointing::PointAt(site, lon).elevation >= 5; }))
            return site;
    }
    return std::nullopt;
}

struct Tally {
    int right = 0, unnamed = 0, wrong = 0;
    int first = 0;  // the right position scored best, named or not
    int Total() const { return right + unnamed + wrong; }
    void Add(const Tally& o) {
        right += o.right;
        unnamed += o.unnamed;
        wrong += o.wrong;
        first += o.first;
    }
};

constexpr int kHeld = 5;

void Count(Tally& t, const sky::NamingResult& named, const Case& c, Kind kind, double drift, std::vector<double>* offsetErrors) {
    const auto isRight = [&](const sky::Satellite& s) {
        return Same(s, *c.sat) || (kind == kBetween && Same(s, *c.neighbour));
    };
    if (!named.best.empty() && isRight(*named.best[0].satellite)) ++t.first;
    if (!named.named) {
        ++t.unnamed;
    } else if (isRight(*named.best[0].satellite)) {
        ++t.right;
        if (offsetErrors && kind == kAt) offsetErrors->push_back(std::fabs(named.best[0].offset - drift));
    } else {
        ++t.wrong;
        if (std::getenv("BENCH_SKY_DEBUG"))
            std::printf("wrong %s %s %c lo%.0f step %u shift %d: %s | %s\n",
                        kind == kAt ? "at" : kind == kBetween ? "between" : "blocked", c.sat->position.c_str(),
                        c.horizontal ? 'H' : 'V', c.osc.lo, c.step, c.shift, named.text.c_str(), named.tooltip.c_str());
    }
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
                        Case c{&sat, horizontal, osc, shift, step, nullptr};
                        if (CountInSweep(c, sat) < 6) continue;
                        double nearest = 1e9;
                        for (const sky::Satellite& o : catalogue.satellites) {
                            const double apart = std::fabs(o.longitude - sat.longitude);
                            if (o.cBand != sat.cBand || apart < 0.5 || apart >= nearest || CountInSweep(c, o) < 3) continue;
                            nearest = apart;
                            c.neighbour = &o;
                        }
                        cases.push_back(c);
                    }
                }
    }

    std::uniform_real_distribution<double> uni(0, 1);
    std::normal_distribution<double> gauss(0, 0.5);
    int truths = 0, recalled = 0, founds = 0, correct = 0;
    int resolvable = 0, resolvableRecalled = 0;
    std::vector<double> centreErrors, resolvableErrors, offsetErrors;
    double findSeconds = 0, nameSeconds = 0;
    int sweeps = 0, namings = 0;
    // [sky][step 10 / 4][site][kind]
    Tally tally[2][2][2][3], held[2][2][2][3];
    sky::Finding finding;
    for (const Case& c : cases) {
        for (Sky skyKind : {kPlain, kDrifted})
            for (Kind kind : {kAt, kBetween, kBlocked}) {
                if (kind == kBetween && !c.neighbour) continue;
                const double drift = uni(rng) * 8 - 4;
                const double tilt = uni(rng) * 20 - 10;
                const double floorDb = 40 + uni(rng) * 10;
                std::vector<Lit> lit = SkyOf(c, *c.sat, skyKind, rng);
                if (kind == kBetween) {
                    // Both off the beam: each down by 2-10 dB.
                    const double a = 2 + 8 * uni(rng), b = 2 + 8 * uni(rng);
                    for (Lit& l : lit) l.height -= a;
                    for (Lit l : SkyOf(c, *c.neighbour, skyKind, rng)) {
                        l.height -= b;
                        lit.push_back(l);
                    }
                } else if (kind == kBlocked) {
                    const double a = 6 + 4 * uni(rng);
                    for (Lit& l : lit) l.height -= a;
                }
                double power[panorama::kSamples] = {};
                std::vector<Truth> present;
                for (const Lit& l : lit) {
                    if (l.height <= 0) continue;
                    const double centre = c.osc.If(l.frequency - drift);
                    const double half = l.width / 2;
                    present.push_back({centre, l.width});
                    for (int i = 0; i < panorama::kSamples; ++i) {
                        const double d = std::fabs(panorama::SampleIf(c.shift, c.step, i) - centre);
                        // Flat to 85 % of the half width, a raised-cosine edge to 115 %: half power at the half width.
                        double shape = 1;
                        if (d > 1.15 * half) shape = 0;
                        else if (d > 0.85 * half) shape = 0.5 * (1 + std::cos(3.14159265358979 * (d - 0.85 * half) / (0.3 * half)));
                        power[i] += std::pow(10.0, l.height / 10) * shape;
                    }
                }
                // The sites: none, and one that sees the position (and its neighbour).
                std::optional<pointing::Site> sites[2];
                std::vector<double> seen{c.sat->longitude};
                if (kind == kBetween) seen.push_back(c.neighbour->longitude);
                sites[1] = SiteSeeing(seen, rng);
                sky::NameHold holds[2];
                // The same sky swept kHeld times with fresh noise, a naming
                // every 200 ms as the window names: the first naming alone,
                // and what the label shows after the last.
                for (int k = 0; k < kHeld; ++k) {
                    panorama::Levels levels;
                    for (int i = 0; i < panorama::kSamples; ++i)
                        levels[i] = static_cast<float>(floorDb + tilt * i / 127.0 + 10 * std::log10(1 + power[i]) + gauss(rng));

                    const double t0 = bench::CpuSeconds();
                    sky::FindTransponders(levels, c.shift, c.step, c.osc, finding);
                    findSeconds += bench::CpuSeconds() - t0;
                    ++sweeps;

                    if (skyKind == kPlain && kind == kAt && k == 0) {
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
                    }

                    for (int withSite : {0, 1}) {
                        if (withSite && !sites[1]) continue;
                        sky::SweepInput in{&levels, &finding, c.shift, c.step, c.osc, c.horizontal, sites[withSite], {}};
                        const double t1 = bench::CpuSeconds();
                        const sky::NamingResult named = sky::NameSatellite(catalogue.satellites, in);
                        nameSeconds += bench::CpuSeconds() - t1;
                        ++namings;
                        const int stepIndex = c.step == 10 ? 0 : 1;
                        const sky::NamingResult& shown = holds[withSite].Take(named, 0.2 * k);
                        if (k == 0) Count(tally[skyKind][stepIndex][withSite][kind], named, c, kind, drift, &offsetErrors);
                        if (k == kHeld - 1) Count(held[skyKind][stepIndex][withSite][kind], shown, c, kind, drift, nullptr);
                    }
                }
            }
    }

    std::printf("sweeps: %zu cases (positions with >= 6 transponders in the sweep; steps 10 and 4 MHz), %d sweeps, %d namings\n",
                cases.size(), sweeps, namings);
    std::printf("finder on the plain sky at the position:\n");
    std::printf("  recall:    %.1f %% of %d transponders wholly in the sweep\n", 100.0 * recalled / truths, truths);
    std::printf("    of those resolvable (wider than a step, a step clear of neighbours): %.1f %% of %d\n",
                100.0 * resolvableRecalled / std::max(1, resolvable), resolvable);
    std::printf("    centre error of those: median %.2f MHz, 95th percentile %.2f MHz\n", Percentile(resolvableErrors, 0.5),
                Percentile(resolvableErrors, 0.95));
    std::printf("  precision: %.1f %% of %d found\n", 100.0 * correct / std::max(1, founds), founds);
    std::printf("  centre error: median %.2f MHz, 95th percentile %.2f MHz\n", Percentile(centreErrors, 0.5),
                Percentile(centreErrors, 0.95));
    const auto cell = [](const Tally& t) {
        char buf[40];
        const double n = std::max(1, t.Total());
        if (std::getenv("BENCH_SKY_FIRST"))
            std::snprintf(buf, sizeof buf, "%5.1f %5.1f %5.2f %5.1f", 100.0 * t.right / n, 100.0 * t.unnamed / n,
                          100.0 * t.wrong / n, 100.0 * t.first / n);
        else
            std::snprintf(buf, sizeof buf, "%5.1f %5.1f %5.2f", 100.0 * t.right / n, 100.0 * t.unnamed / n, 100.0 * t.wrong / n);
        return std::string(buf);
    };
    const auto print = [&](const char* title, Tally (&t)[2][2][2][3]) {
        std::printf("%s: named right / unnamed / named wrong, %% of the sweeps\n", title);
        std::printf("  %-8s %-5s %-5s  %-20s %-20s %-20s %-20s\n", "sky", "step", "site", "at the position", "between two",
                    "half blocked", "all");
        Tally everything;
        for (int skyKind : {0, 1})
            for (int stepIndex : {0, 1})
                for (int withSite : {0, 1}) {
                    Tally all;
                    for (const Tally& k : t[skyKind][stepIndex][withSite]) all.Add(k);
                    everything.Add(all);
                    std::printf("  %-8s %-5s %-5s  %-20s %-20s %-20s %-20s\n", skyKind ? "drifted" : "plain",
                                stepIndex ? "4" : "10", withSite ? "yes" : "no", cell(t[skyKind][stepIndex][withSite][kAt]).c_str(),
                                cell(t[skyKind][stepIndex][withSite][kBetween]).c_str(),
                                cell(t[skyKind][stepIndex][withSite][kBlocked]).c_str(), cell(all).c_str());
                }
        std::printf("  all %d sweeps: %s\n", everything.Total(), cell(everything).c_str());
    };
    print("naming, one sweep", tally);
    print("the label, after five namings a second (the name shown only when all five agree)", held);
    std::printf("offset error (named right at the position): median %.2f MHz, 95th percentile %.2f MHz\n",
                Percentile(offsetErrors, 0.5), Percentile(offsetErrors, 0.95));
    std::printf("finding:           %.1f us per sweep\n", 1e6 * findSeconds / std::max(1, sweeps));
    std::printf("naming:            %.3f ms per naming (%zu plans)\n", 1e3 * nameSeconds / std::max(1, namings),
                catalogue.satellites.size());
    return 0;
}
