// Guided aiming's verdict and its turn, the target's bands on the axis.
#include "aiming/Guide.h"

#include <gtest/gtest.h>

namespace {

sky::Satellite Plan(double longitude, const char* position, const char* name) {
    sky::Satellite s;
    s.longitude = longitude;
    s.position = position;
    s.name = name;
    s.transponders = {{11034, 27.5, sky::Polarisation::V}, {11747, 27.5, sky::Polarisation::H}};
    return s;
}

sky::NamingResult Naming(const sky::Satellite& s) {
    sky::NamingResult n;
    n.named = true;
    n.best.push_back({&s});
    return n;
}

}  // namespace

// The turn is the target's azimuth less the named position's, both from the
// site; west and east are the orbit's, so that the words hold in both
// hemispheres while the azimuth's sign turns over.
TEST(Guide, TheVerdictSaysWhichWayToTurnInBothHemispheres) {
    const sky::Satellite hotbird = Plan(13, "13.0E", "Hotbird"), eutelsat = Plan(16, "16.0E", "Eutelsat 16A");
    const aiming::Target target{13, "13.0E Hotbird", hotbird};
    sky::Finding found;
    found.found.push_back({});

    const pointing::Site moscow{55.7, 37.6}, capeTown{-33.9, 18.4};
    const sky::NamingResult other = Naming(eutelsat), onTarget = Naming(hotbird);
    const aiming::Judgement north = aiming::Judge(target, moscow, &other, &found);
    EXPECT_EQ(north.verdict, aiming::Verdict::Other);
    EXPECT_TRUE(north.west);
    EXPECT_GT(north.turn, 2.5);
    EXPECT_LT(north.turn, 4);
    const std::string turn = pointing::AngleText(north.turn);
    EXPECT_EQ(north.text, "Это 16.0E Eutelsat 16A: поверните на " + turn + " к западу (по азимуту +" + turn + ")");
    const aiming::Judgement south = aiming::Judge(target, capeTown, &other, &found);
    EXPECT_TRUE(south.west);
    EXPECT_LT(south.turn, 0);
    EXPECT_NE(south.text.find("к западу (по азимуту −"), std::string::npos) << south.text;
    // From the west of it, the turn is east.
    const aiming::Judgement east = aiming::Judge({16, "16.0E", eutelsat}, moscow, &onTarget, &found);
    EXPECT_FALSE(east.west);
    EXPECT_LT(east.turn, 0);

    EXPECT_EQ(aiming::Judge(target, moscow, &onTarget, &found).text, "На цели: 13.0E Hotbird");
    sky::NamingResult none;
    EXPECT_EQ(aiming::Judge(target, moscow, &none, &found).text, "Спутник не определён");
    EXPECT_EQ(aiming::Judge(target, moscow, &none, nullptr).text, "Сигнала спутника нет");
    EXPECT_EQ(aiming::Judge(target, moscow, &none, &(found = {})).verdict, aiming::Verdict::NoSignal);
}

TEST(Guide, TheTargetsBandsLieWhereTheChartDrawsTheirFrequencies) {
    const sky::Satellite hotbird = Plan(13, "13.0E", "Hotbird");
    // The upper band on 10600 MHz, horizontal, the axis from 11550 MHz.
    const panorama::SampleMeaning m{10, 950, 11550, 0, panorama::kPolarisationBit, 0, 9, 4300};
    const std::vector<aiming::GhostBand> bands = aiming::GhostBands(hotbird, m, 12830);
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_NEAR(bands[0].low, 11747 - 27.5 * 1.35 / 2, 1e-9);
    EXPECT_NEAR(bands[0].high, 11747 + 27.5 * 1.35 / 2, 1e-9);
    EXPECT_TRUE(aiming::GhostBands(hotbird, {10, 950, 11550, 0, 0, 0, 9, 4300}, 11600).empty());
}
