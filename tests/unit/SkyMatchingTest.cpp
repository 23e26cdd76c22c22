// The found transponders beside the known ones they most likely are.
#include "sky/Matching.h"

#include <gtest/gtest.h>

namespace {

sky::Found FoundAt(double rf, double width) {
    sky::Found f;
    f.centreRf = rf;
    f.width = width;
    return f;
}

}  // namespace

TEST(SkyMatching, TheNearestKnownWithinHalfTheWidthButAFewMhzAtLeast) {
    const std::vector<sky::Known> known{{11727, "a"}, {11747, "b"}, {11766, "c"}};
    // Half of a 36 MHz plateau; a narrow or merged find still gets 5 MHz.
    EXPECT_DOUBLE_EQ(sky::MatchTolerance(FoundAt(0, 36)), 18);
    EXPECT_DOUBLE_EQ(sky::MatchTolerance(FoundAt(0, 4)), 5);
    EXPECT_EQ(sky::NearestKnown(known, 11750, 18), 1u);
    EXPECT_EQ(sky::NearestKnown(known, 11760, 18), 2u);
    EXPECT_EQ(sky::NearestKnown(known, 11737, 18), 0u);  // equally near: the first
    EXPECT_FALSE(sky::NearestKnown(known, 11800, 18));
    EXPECT_FALSE(sky::NearestKnown({}, 11750, 18));
}

TEST(SkyMatching, APlanGivesItsTranspondersOfTheSwitchPositionAndTheStrongestFindIsKnown) {
    sky::Satellite s;
    s.transponders = {{10971, 29.7, sky::Polarisation::H},
                      {10992, 27.5, sky::Polarisation::V},
                      {11013, 27.5, sky::Polarisation::L}};
    const std::vector<sky::Known> h = sky::PlanKnown(s, true);
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].text, "10971 H 29700");
    EXPECT_EQ(h[1].text, "11013 L 27500");
    ASSERT_EQ(sky::PlanKnown(s, false).size(), 1u);

    sky::Finding finding;
    EXPECT_FALSE(sky::StrongestLevel(finding));
    finding.found = {FoundAt(1, 1), FoundAt(2, 1), FoundAt(3, 1)};
    finding.found[0].level = 50;
    finding.found[1].level = 71.5f;
    finding.found[2].level = 60;
    EXPECT_EQ(sky::StrongestLevel(finding), 71.5f);
}
