// Replaying a recording at its own pace.
#include "recording/Player.h"

#include <gtest/gtest.h>

TEST(Player, ShowsEachSweepWhenItsTimeComesStandsWhilePausedAndStartsAgainAtTheEnd) {
    recording::Recording r;
    for (std::int64_t t : {1000, 1025, 1400, 2000}) r.sweeps.push_back({t, {}, {}});
    recording::Player p(std::move(r));
    ASSERT_EQ(p.Shown().Size(), 1u);  // the first at once
    std::vector<std::int64_t> seen;
    const auto each = [&](const recording::Sweep& s) { seen.push_back(s.timeMs); };
    p.Advance(30, each);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1025}));
    p.SetPaused(true);
    p.Advance(5000, each);
    EXPECT_EQ(p.Next(), 2u) << "the clock stands while paused";
    p.SetPaused(false);
    p.SetSpeed(4);
    p.Advance(100, each);  // 400 ms of the recording
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1025, 1400}));
    p.Advance(1000, each);
    EXPECT_TRUE(p.AtEnd());
    p.MarkStart();
    EXPECT_EQ(p.StretchStart(), std::optional<std::size_t>(3));
    EXPECT_TRUE(p.SetPaused(false)) << "played again at the end: from the start";
    EXPECT_EQ(p.Next(), 1u);
    EXPECT_EQ(p.Shown().Newest().timeMs, 1000);
}
