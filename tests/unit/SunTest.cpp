// The sun's azimuth moments against those worked out with the npm package
// suncalc 2.0.2 (Meeus ch. 25 sun, position good to about 0.01 degree, here
// a second or two of time): its positions searched every 20 s for the
// crossing of the azimuth and bisected to a tenth of a second; its apparent
// altitude turned back to geometric by undoing its own refraction formula.
#include "pointing/Sun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

struct Case {
    const char* where;
    double latitude, longitude;
    int year, month, day, utcOffset;
    double azimuth;
    double moment;     // the reference's, seconds since 1970 UTC
    double elevation;  // the reference's at that moment, geometric
};

}  // namespace

TEST(Sun, MeetsTheAzimuthWhenTheReferenceDoes) {
    const Case cases[] = {
        // 13:08 local, low winter sun.
        {"Moscow", 55.7, 37.6, 2024, 12, 15, 180, 190, 1734257266.8, 10.474},
        // South of the equator the sun passes north: its azimuth falls through 0 to 340 after noon.
        {"Cape Town", -33.9, 18.4, 2024, 6, 21, 120, 340, 1718971423.5, 29.924},
        // The sun passes north of the zenith: 68 is met at 07:03 local and again at 09:10.
        {"Caracas", 10.5, 293.1, 2024, 6, 21, -240, 68, 1718967780.4, 11.761},
        // Midnight sun due north at 00:59 local, early in the local day that began at 22:00 UTC.
        {"Longyearbyen", 78.2, 15.6, 2024, 6, 21, 120, 0, 1718924364.5, 11.639},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const auto t = pointing::SunAtAzimuth(c.latitude, c.longitude, c.year, c.month, c.day, c.utcOffset, c.azimuth);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(*t % 60, 0);
        EXPECT_LE(std::fabs(static_cast<double>(*t) - c.moment), 32);  // the nearest minute

        const pointing::SunPosition p = pointing::SunAt(c.latitude, c.longitude, std::llround(c.moment));
        EXPECT_NEAR(std::remainder(p.azimuth - c.azimuth, 360.0), 0, 0.02);
        EXPECT_NEAR(p.elevation, c.elevation, 0.02);
    }
    EXPECT_EQ(pointing::SunAtAzimuth(78.2, 15.6, 2024, 6, 21, 120, 360), 1718924340);
}

TEST(Sun, NeverWhereTheSunDoesNotReachTheAzimuthAboveTheHorizon) {
    // Due north in Moscow's December: the sun passes it only below the horizon, at night.
    EXPECT_FALSE(pointing::SunAtAzimuth(55.7, 37.6, 2024, 12, 15, 180, 0));
    // Caracas at the June solstice: the sun keeps to the north half of the sky.
    EXPECT_FALSE(pointing::SunAtAzimuth(10.5, 293.1, 2024, 6, 21, -240, 180));
    // Polar night.
    EXPECT_FALSE(pointing::SunAtAzimuth(78.2, 15.6, 2024, 12, 21, 60, 180));
}
