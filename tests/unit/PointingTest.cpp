// Dish pointing against values worked out independently by vector geometry
// in Earth-centred coordinates (see pointing/Pointing.cpp).
#include "pointing/Pointing.h"

#include <gtest/gtest.h>

using pointing::Site;

namespace {

struct Case {
    Site site;
    double satellite, azimuth, elevation, skew;
};

settings::RowTexts Row(const char* name, const char* pol = "H") { return {name, "11766", pol, "27500", "2"}; }

}  // namespace

TEST(Pointing, MatchesTheVectorCheckNorthSouthEastAndWest) {
    const Case cases[] = {
        {{50, 36}, 19, 201.7571, 30.4363, 13.8982},           // start site, satellite west of it
        {{50, 36}, 96, 113.8587, 10.1850, -36.3111},          // east
        {{69, 33}, -30, 244.5604, 0.6637, 19.0859},           // far north, just above the horizon
        {{69, 33}, 90, 121.2274, 2.5638, -18.0392},
        {{5, 36}, 75, 96.1430, 44.5423, -82.1310},            // near the equator
        {{5, 36}, -30, 267.7778, 15.5223, 84.5876},
        {{-33.9, 18.4}, 68.5, 64.9981, 24.2405, 49.0569},     // south of the equator: dish faces north
        {{50, 330}, -30, 180.0, 32.6857, 0.0},                // longitude east 0..360: 330 is 30 W
    };
    for (const Case& c : cases) {
        const pointing::Pointing p = pointing::PointAt(c.site, c.satellite);
        SCOPED_TRACE(testing::Message() << c.site.latitude << "/" << c.site.longitude << " -> " << c.satellite);
        EXPECT_NEAR(p.azimuth, c.azimuth, 1e-3);
        EXPECT_NEAR(p.elevation, c.elevation, 1e-3);
        EXPECT_NEAR(p.skew, c.skew, 1e-3);
        EXPECT_TRUE(p.AboveHorizon());
    }
    const pointing::Pointing below = pointing::PointAt({69, 33}, -61);
    EXPECT_NEAR(below.elevation, -9.9996, 1e-3);
    EXPECT_FALSE(below.AboveHorizon());
}

TEST(Pointing, TheTableTakesStoredRowsWithTheGathersMotorAngle) {
    std::array<settings::RowTexts, settings::kEntryCount> rows;
    rows[0] = Row("Ast 19E");
    rows[1] = Row("His 30W", "V");
    rows[2] = {"Hot 13E", "11766", "H", "27500", ""};  // not stored
    rows[3] = Row("Ech 61W");                            // below the horizon from 69 N
    rows[4] = Row("Nameless");                           // no position in the name
    const auto site = pointing::ParseSite("69,0", "033,0");
    ASSERT_TRUE(site);
    const auto lines = pointing::StoredEntries(rows, site);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].row, 2);
    EXPECT_EQ(lines[2].row, 4);
    EXPECT_EQ(pointing::TableRow(lines[1]),
              (pointing::TableLine{"His 30W", "30° з. д.", "11766", "V", "27500", "2", "−65,8°", "244,6°", "0,7°",
                                   "+19,1°"}));
    EXPECT_EQ(pointing::PointingTip(lines[2]), "Ech 61W — 61° з. д.\nНиже горизонта\nУгол мотора +82,9°");
    EXPECT_EQ(pointing::TableRow(lines[3])[6], "—");
    EXPECT_EQ(pointing::PointingTip(lines[3]), "Nameles\nНет орбитальной позиции в названии");

    // The start site: the motor angle as the gather stores it (-18.79 as -18.8).
    const auto start = pointing::StoredEntries(rows, pointing::ParseSite("50,0", "036,0"));
    EXPECT_EQ(pointing::PointingTip(start[0]),
              "Ast 19E — 19° в. д.\nАзимут 201,8°, угол места 30,4°, поворот LNB +13,9°\nУгол мотора −18,8°");
    // Fields that give no site: no pointing, but the entries are listed.
    for (auto [lat, lon] : {std::pair{"5 ,0", "036,0"}, {"95,0", "036,0"}, {"50,0", "400,0"}}) {
        const auto none = pointing::StoredEntries(rows, pointing::ParseSite(lat, lon));
        ASSERT_EQ(none.size(), 4u);
        EXPECT_FALSE(none[0].pointing);
        EXPECT_EQ(pointing::TableRow(none[0])[7], "—");
    }
}
