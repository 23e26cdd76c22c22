// The aiming tone's logic: the pitch for a level, the best so far, which
// level the tone follows and when it is silent, and the oscillator's glide.
#include "aiming/Aiming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

using namespace aiming;

TEST(AimingPitch, LogarithmicFromBottomToTopOfTheAxisAndClamped) {
    EXPECT_DOUBLE_EQ(PitchForLevel(45, 45, 125), 300.0);
    EXPECT_NEAR(PitchForLevel(125, 45, 125), 3000.0, 1e-9);
    // The middle of the axis is the geometric middle of the range.
    EXPECT_NEAR(PitchForLevel(85, 45, 125), std::sqrt(300.0 * 3000.0), 1e-9);
    // Equal steps in level, equal ratios in pitch, on a dBm axis as well.
    EXPECT_NEAR(PitchForLevel(-55, -75, 5) / PitchForLevel(-65, -75, 5),
                PitchForLevel(-35, -75, 5) / PitchForLevel(-45, -75, 5), 1e-12);
    EXPECT_DOUBLE_EQ(PitchForLevel(20, 45, 125), 300.0);
    EXPECT_DOUBLE_EQ(PitchForLevel(300, 45, 125), 3000.0);
    EXPECT_DOUBLE_EQ(PitchForLevel(50, 60, 60), 300.0);  // an axis without height
    EXPECT_DOUBLE_EQ(PitchForLevel(NAN, 45, 125), 300.0);
}

TEST(AimingBestSoFar, BeepsOncePerDbPassedAndNeverOnJitterOrFalls) {
    BestSoFar b;
    EXPECT_FALSE(b.Take(60.0f));  // the first level only sets the mark
    EXPECT_FALSE(b.Take(60.9f));
    EXPECT_FALSE(b.Take(55.0f));
    EXPECT_TRUE(b.Take(61.0f));   // 1 dB over the mark
    EXPECT_FALSE(b.Take(61.0f));
    // A slow climb is still announced once a dB.
    int beeps = 0;
    for (float l = 61.3f; l < 64.05f; l += 0.3f) beeps += b.Take(l);
    EXPECT_EQ(beeps, 2);
    // Jitter round the peak never beeps.
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(b.Take(*b.Mark() + ((i % 2) ? 0.9f : -0.9f)));
    b.Reset();
    EXPECT_FALSE(b.Take(40.0f));  // after a reset the next level sets the mark again
    EXPECT_TRUE(b.Take(41.5f));
}

TEST(AimingAimer, FollowsMarkerThenFoundThenVisibleAndFallsSilentWhenItMust) {
    Aimer a;
    TickInput in;
    in.swept = true;
    in.axisMin = 45;
    in.axisMax = 125;
    in.sources.highestVisible = 85;
    EXPECT_NEAR(*a.Tick(in).pitch, PitchForLevel(85, 45, 125), 1e-9);
    in.sources.strongestFound = 65;
    EXPECT_NEAR(*a.Tick(in).pitch, PitchForLevel(65, 45, 125), 1e-9);
    in.sources.marker = 70;
    EXPECT_NEAR(*a.Tick(in).pitch, PitchForLevel(70, 45, 125), 1e-9);

    // Silent while frozen, without a sweep, or with nothing to follow; none
    // of these counts as a level for the best so far.
    in.frozen = true;
    EXPECT_FALSE(a.Tick(in).pitch);
    in.frozen = false;
    in.swept = false;
    EXPECT_FALSE(a.Tick(in).pitch);
    in.swept = true;
    EXPECT_FALSE(a.Tick({true, false, false, {}, 45, 125}).pitch);

    in.sources.marker = 90;
    EXPECT_TRUE(a.Tick(in).beep);
    // What the samples mean changed: the best so far starts again.
    in.meaningChanged = true;
    in.sources.marker = 20;
    EXPECT_FALSE(a.Tick(in).beep);
    in.meaningChanged = false;
    in.sources.marker = 21;
    EXPECT_TRUE(a.Tick(in).beep);
}

namespace {

std::vector<std::int16_t> Render(ToneSynth& s, std::size_t n, std::size_t block) {
    std::vector<std::int16_t> out(n);
    for (std::size_t at = 0; at < n; at += block) s.Render(out.data() + at, std::min(block, n - at));
    return out;
}

}  // namespace

TEST(AimingSynth, GlidesPhaseContinuouslyWhateverTheBlocks) {
    constexpr int kRate = 48000;
    auto play = [](std::size_t block) {
        ToneSynth s(kRate);
        s.Set(300.0);
        std::vector<std::int16_t> all = Render(s, 4800, block);
        s.Set(3000.0);  // the widest jump, mid-cycle
        s.Beep();
        auto more = Render(s, 9600, block);
        all.insert(all.end(), more.begin(), more.end());
        s.Set(std::nullopt);
        more = Render(s, 2400, block);
        all.insert(all.end(), more.begin(), more.end());
        EXPECT_FALSE(s.Sounding());
        return all;
    };
    const std::vector<std::int16_t> whole = play(16800), small = play(37), large = play(960);
    EXPECT_EQ(whole, small);
    EXPECT_EQ(whole, large);

    // No click: no step between neighbouring samples larger than the
    // steepest slope of the tone at 3000 Hz and the beep together.
    const double steepest = 2 * std::numbers::pi * (3000.0 * ToneSynth::kLevel + ToneSynth::kBeepHz * ToneSynth::kBeepLevel) /
                            kRate * 32767 + 2;
    for (std::size_t i = 1; i < whole.size(); ++i)
        ASSERT_LE(std::abs(whole[i] - whole[i - 1]), steepest) << "at sample " << i;
    // It fades in from silence and out to silence.
    EXPECT_EQ(whole.front(), 0);
    EXPECT_EQ(whole.back(), 0);

    // The glide reaches the new pitch within its time, and stays there.
    ToneSynth s(kRate);
    s.Set(300.0);
    Render(s, 480, 480);
    s.Set(3000.0);
    Render(s, static_cast<std::size_t>(ToneSynth::kGlideSeconds * kRate) - 10, 64);
    EXPECT_LT(s.CurrentPitch(), 3000.0);
    EXPECT_GT(s.CurrentPitch(), 2500.0);
    Render(s, 10, 64);
    EXPECT_DOUBLE_EQ(s.CurrentPitch(), 3000.0);
}
