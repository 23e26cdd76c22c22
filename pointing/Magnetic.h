// The magnetic declination at the installation site, from the World Magnetic
// Model 2025: what a compass needs added to read true bearings. Standard C++.
#pragma once

namespace pointing {

// The model's span in decimal years; outside it the field is extrapolated
// from the secular variation and grows less trustworthy.
inline constexpr double kMagneticModelStart = 2025.0;
inline constexpr double kMagneticModelEnd = 2030.0;

struct Declination {
    double degrees = 0;         // east positive, -180..180
    bool extrapolated = false;  // the date lies before 2025.0 or past 2030.0
};

// The magnetic declination at the site (geodetic latitude -90..90, clamped;
// longitude east, 0..360 or -180..180; height above the WGS-84 ellipsoid in
// km) on the decimal year (2026.95 ...). Near the poles the value is exact as
// long as the latitude is not exactly +-90; at the pole itself north and east
// are not defined, and the value given is the limit reached on approaching
// the pole along the given meridian (finite, as on any other site).
Declination MagneticDeclination(double latitude, double longitude, double decimalYear, double heightKm = 0);

// The decimal year of a calendar day (month 1..12), taken at its noon:
// 2026-01-01 is 2026 + 0.5/365.
double DecimalYear(int year, int month, int day);

}  // namespace pointing
