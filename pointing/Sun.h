// The sun's place in the site's sky, and the moment of a day at which it
// stands at a given azimuth: the moment a dish aimed at that azimuth casts
// its shadow straight back, which installers aim by.
#pragma once

#include <cstdint>
#include <optional>

namespace pointing {

// Degrees. Azimuth true, clockwise from north, 0..360; elevation of the
// sun's centre, geometric (no refraction).
struct SunPosition {
    double azimuth = 0;
    double elevation = 0;
};

// The sun's position at the site (latitude north, longitude east 0..360 or
// -180..180) at a moment given as seconds since 1970-01-01 UTC. NOAA's solar
// position algorithm (Meeus' low-precision sun): good to about a hundredth of
// a degree for years 1900..2100.
SunPosition SunAt(double latitude, double longitude, std::int64_t unixSeconds);

// The moment, within the site's local day year-month-day (from local
// midnight to the next, `utcOffsetMinutes` the site's offset from UTC on that
// day), at which the sun's centre stands above the horizon at `azimuth`
// (degrees true). Rounded to the whole minute, as seconds since 1970 UTC.
//
// Over most of the Earth the sun's azimuth moves one way through the day and
// meets a given azimuth at most once. Between the tropics, where the sun may
// pass north or south of the zenith, and near the poles, where it may stay up
// all day, the azimuth can turn back or sweep round the full circle and meet
// the same azimuth twice: the earlier moment is returned (two meetings within
// a few minutes of each other, a hundredth of a degree from where the azimuth
// turns back, count as none). None when the sun does not reach that azimuth
// above the horizon that day (polar night, or an azimuth on the side of the
// sky the sun keeps away from).
std::optional<std::int64_t> SunAtAzimuth(double latitude, double longitude, int year, int month, int day,
                                         int utcOffsetMinutes, double azimuth);

}  // namespace pointing
