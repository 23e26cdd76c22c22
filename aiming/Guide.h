// Guided aiming: which positions the installer may aim at, what the target
// looks like on the chart, which transponder of the sweep is the target's,
// and what the sweep says: on the target, on another position and which way
// to turn, no satellite's signal, or nothing named. Texts are UTF-8.
#pragma once

#include "panorama/Tools.h"
#include "pointing/Pointing.h"
#include "sky/Finder.h"
#include "sky/Naming.h"
#include "sky/Plans.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace aiming {

// A position to aim at: its orbital longitude, how it is listed, and its
// plan when one of that position is known (a copy: it outlives plans
// loaded later).
struct Target {
    double longitude = 0;  // east positive
    std::string label;
    std::optional<sky::Satellite> plan;
};

// A longitude (or a difference of two) as east positive, -180..180.
double East(double longitude);

// Two positions a dish cannot tell apart (less than half a degree).
bool SamePosition(double a, double b);

// The targets offered: the meter's table entries that have a position, in
// table order, then every position of the plans (the Ku-band plan of a
// position where it has both), west to east.
std::vector<Target> Targets(const std::vector<pointing::EntryLine>& entries, const std::vector<sky::Satellite>& plans);

// The level of the strongest transponder found that lies on one of the
// plan's transponders of the swept polarisation (the oscillator `offset` MHz
// above nominal); none when none does.
std::optional<float> TargetLevel(const sky::Finding& finding, const sky::Satellite& plan, bool horizontal, int offset);

// The plan's transponders of the swept polarisation as bands on the
// frequency axis the sweep is drawn on, those that reach into minimum..maximum.
struct GhostBand {
    double low = 0, high = 0;  // MHz on the axis
};
std::vector<GhostBand> GhostBands(const sky::Satellite& plan, const panorama::SampleMeaning& meaning, double axisMax);

// What the sweep says about the target.
enum class Verdict { OnTarget, Other, NoSignal, NotNamed };
struct Judgement {
    Verdict verdict = Verdict::NotNamed;
    std::string text;
    // For another position: the turn in azimuth to the target (degrees,
    // clockwise positive) and whether the target lies west of it.
    double turn = 0;
    bool west = false;
};
// From the naming shown (null: naming off) and the transponders found.
Judgement Judge(const Target& target, const pointing::Site& site, const sky::NamingResult* naming,
                const sky::Finding* finding);

// The best level since the dish came onto the target, and when.
class Best {
public:
    // A tick: whether it is on the target and the target's level then.
    void Take(bool onTarget, std::optional<float> level, std::int64_t nowMs);
    void Reset() { *this = Best(); }
    std::optional<float> Level() const { return level_; }
    std::int64_t AtMs() const { return atMs_; }

private:
    bool on_ = false;
    std::optional<float> level_;
    std::int64_t atMs_ = 0;
};

// The angles for the window and the report, as its labels read.
struct Figures {
    bool aboveHorizon = false;
    std::string azimuth, magnetic, elevation, scale, skew;
};
// The compass's azimuth of a true azimuth, `declination` east positive
// (0 up to 360).
double MagneticAzimuth(double azimuth, double declination);
// `declination` east positive; `offsetAngle` the dish's offset (its scale
// reads the elevation less it).
Figures AimFigures(const pointing::Pointing& p, double declination, double offsetAngle);

}  // namespace aiming
