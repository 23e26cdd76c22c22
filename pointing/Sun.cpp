#include "pointing/Sun.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace pointing {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;

// The day is scanned in steps of this many seconds. The sun meets an
// azimuth twice within one step only when the azimuth is within about a
// hundredth of a degree of a turning point of the sun's azimuth (which it
// has in the tropics); such a grazing meeting is passed over.
constexpr double kScanStep = 300;

// Position at a moment in seconds since 1970 UTC, not rounded to the second.
// NOAA's solar calculator (after Meeus, Astronomical Algorithms ch. 25), in
// Julian centuries since J2000.0 counted in UT: the 69 s of TT-UT shift the
// sun by under a thousandth of a degree.
SunPosition Position(double latitude, double longitude, double seconds) {
    const double jd = seconds / 86400 + 2440587.5;
    const double t = (jd - 2451545.0) / 36525;

    const double l0 = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);  // mean longitude
    const double m = 357.52911 + t * (35999.05029 - 0.0001537 * t);                     // mean anomaly
    const double e = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);                // orbit's eccentricity
    const double center = std::sin(m * kRad) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          std::sin(2 * m * kRad) * (0.019993 - 0.000101 * t) + std::sin(3 * m * kRad) * 0.000289;
    const double omega = 125.04 - 1934.136 * t;
    // Apparent longitude: true longitude less aberration, with nutation.
    const double lambda = l0 + center - 0.00569 - 0.00478 * std::sin(omega * kRad);
    const double meanObliquity = 23 + (26 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60) / 60;
    const double obliquity = meanObliquity + 0.00256 * std::cos(omega * kRad);
    const double declination = std::asin(std::sin(obliquity * kRad) * std::sin(lambda * kRad));

    // Equation of time, in degrees of hour angle (NOAA gives it as 4 minutes
    // to the degree).
    const double y = std::pow(std::tan(obliquity * kRad / 2), 2);
    const double l2 = 2 * l0 * kRad, mr = m * kRad;
    const double equationOfTime = (y * std::sin(l2) - 2 * e * std::sin(mr) + 4 * e * y * std::sin(mr) * std::cos(l2) -
                                   0.5 * y * y * std::sin(2 * l2) - 1.25 * e * e * std::sin(2 * mr)) /
                                  kRad;

    // Hour angle: the UTC time of day in degrees, moved to the site's
    // meridian and from mean to true solar time; 0 at the true noon.
    const double dayDegrees = (seconds - 86400 * std::floor(seconds / 86400)) / 240;
    const double h = (dayDegrees + equationOfTime + longitude - 180) * kRad;
    const double phi = latitude * kRad;

    SunPosition p;
    const double sinElevation =
        std::sin(phi) * std::sin(declination) + std::cos(phi) * std::cos(declination) * std::cos(h);
    p.elevation = std::asin(std::clamp(sinElevation, -1.0, 1.0)) / kRad;
    // From north, clockwise: east in the morning (h < 0), west after noon.
    const double az = std::atan2(-std::sin(h) * std::cos(declination),
                                 std::sin(declination) * std::cos(phi) - std::cos(declination) * std::sin(phi) * std::cos(h)) /
                      kRad;
    p.azimuth = az < 0 ? az + 360 : az;
    if (p.azimuth >= 360) p.azimuth -= 360;
    return p;
}

// The signed angle from `target` to `azimuth`, -180..180.
double Off(double azimuth, double target) { return std::remainder(azimuth - target, 360.0); }

// The sun passes `target` between two samples when its offset from it
// changes sign the short way round, not through the opposite azimuth. Over a
// step the sun moves about a degree and a quarter along a nearly straight
// path, and seen from under any straight path that misses the zenith the
// sun sweeps less than 180 degrees of azimuth: so even when it passes close
// to the zenith, its azimuth swinging fast through north or south, the short
// way round is the way it went.
bool Crosses(double off0, double off1) {
    return (off0 == 0 || (off0 < 0) != (off1 < 0)) && std::fabs(off0 - off1) < 180;
}

struct Search {
    double latitude, longitude, target;

    double OffAt(double t) const { return Off(Position(latitude, longitude, t).azimuth, target); }

    // The moment in [t0, t1) at which the sun stands at the target above the
    // horizon, not rounded; off0/off1 the offsets at the ends.
    std::optional<double> In(double t0, double off0, double t1, double off1) const {
        if (!Crosses(off0, off1)) return std::nullopt;
        // Bisection to a second, keeping the bracket.
        double a = t0, b = t1, offA = off0;
        while (b - a > 1 && offA != 0) {
            const double m = (a + b) / 2, offM = OffAt(m);
            if (Crosses(offA, offM)) {
                b = m;
            } else {
                a = m;
                offA = offM;
            }
        }
        const double t = offA == 0 ? a : (a + b) / 2;
        if (Position(latitude, longitude, t).elevation <= 0) return std::nullopt;
        return t;
    }
};

}  // namespace

SunPosition SunAt(double latitude, double longitude, std::int64_t unixSeconds) {
    return Position(latitude, longitude, static_cast<double>(unixSeconds));
}

std::optional<std::int64_t> SunAtAzimuth(double latitude, double longitude, int year, int month, int day,
                                         int utcOffsetMinutes, double azimuth) {
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok()) return std::nullopt;
    const double midnight =
        static_cast<double>(sys_days{date}.time_since_epoch().count()) * 86400 - utcOffsetMinutes * 60.0;

    const Search search{latitude, longitude, azimuth};
    double t0 = midnight, off0 = search.OffAt(t0);
    for (int i = 1; i * kScanStep <= 86400; ++i) {
        const double t1 = midnight + i * kScanStep, off1 = search.OffAt(t1);
        if (auto t = search.In(t0, off0, t1, off1)) return static_cast<std::int64_t>(std::floor(*t / 60 + 0.5)) * 60;
        t0 = t1;
        off0 = off1;
    }
    return std::nullopt;
}

}  // namespace pointing
