// The magnetic declination against values from an independent evaluation of
// the same model (the npm package magvar 2.2.0, which gives hundredths of a
// degree), written down here so that the test needs nothing but itself.
#include "pointing/Magnetic.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Case {
    const char* place;
    double latitude, longitude, year, heightKm, degrees;
};

}  // namespace

TEST(Magnetic, MatchesAnIndependentEvaluationWorldwide) {
    const double moscowDecember = pointing::DecimalYear(2026, 12, 15);
    const Case cases[] = {
        {"Moscow", 55.7, 37.6, moscowDecember, 0, 12.13},
        {"85 N", 85.0, 120.0, 2027.5, 0, 97.24},
        {"80 S", -80.0, 240.0, 2028.0, 0, 68.43},
        {"Sydney", -33.9, 151.2, 2025.5, 0, 12.81},
        {"New York", 40.7, 286.0, 2029.9, 0, -12.34},
        {"Cape Town", -33.9, 18.4, 2026.2, 0, -26.64},
        {"Buenos Aires", -34.6, -58.4, 2027.3, 0, -10.34},  // west given as negative
        {"Reykjavik", 64.1, 338.1, 2025.0, 0, -11.54},
        {"equator", 0.0, 120.0, 2025.0, 0, -0.16},
        {"Anchorage, 3 km up", 61.2, -149.9, 2026.6, 3.0, 14.03},
        {"Norilsk", 69.3, 88.2, 2029.0, 0.1, 16.68},
        {"Vladivostok", 43.1, 131.9, 2028.4, 0, -10.93},
        {"Moscow past the span", 55.7, 37.6, 2031.5, 0, 12.56},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.place);
        const pointing::Declination d = pointing::MagneticDeclination(c.latitude, c.longitude, c.year, c.heightKm);
        EXPECT_NEAR(d.degrees, c.degrees, 0.05);
        EXPECT_EQ(d.extrapolated, c.year > 2030.0);
    }
    EXPECT_NEAR(pointing::MagneticDeclination(-34.6, 301.6, 2027.3).degrees, -10.34, 0.05);  // the same west as 0..360
}

TEST(Magnetic, PolesSpanAndCalendar) {
    // At the pole itself: finite, and the limit along the meridian.
    for (const double pole : {90.0, -90.0}) {
        for (const double longitude : {0.0, 100.0, 250.0}) {
            SCOPED_TRACE(testing::Message() << pole << " " << longitude);
            const double at = pointing::MagneticDeclination(pole, longitude, 2027.0).degrees;
            const double near = pointing::MagneticDeclination(pole * (1 - 1e-7), longitude, 2027.0).degrees;
            EXPECT_TRUE(std::isfinite(at));
            EXPECT_NEAR(at, near, 1e-3);
        }
    }

    EXPECT_TRUE(pointing::MagneticDeclination(50, 36, 2024.99).extrapolated);
    EXPECT_FALSE(pointing::MagneticDeclination(50, 36, 2025.0).extrapolated);
    EXPECT_FALSE(pointing::MagneticDeclination(50, 36, 2030.0).extrapolated);
    EXPECT_TRUE(pointing::MagneticDeclination(50, 36, 2030.01).extrapolated);

    EXPECT_DOUBLE_EQ(pointing::DecimalYear(2026, 1, 1), 2026 + 0.5 / 365);
    EXPECT_DOUBLE_EQ(pointing::DecimalYear(2026, 12, 31), 2026 + 364.5 / 365);
    EXPECT_DOUBLE_EQ(pointing::DecimalYear(2028, 3, 1), 2028 + 60.5 / 366);  // leap year: Feb 29 counts
    EXPECT_DOUBLE_EQ(pointing::DecimalYear(2100, 3, 1), 2100 + 59.5 / 365);  // a century is no leap year
}
