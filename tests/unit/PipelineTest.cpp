// The live pipeline: what each tick's record holds, worked out in order.
#include "live/Pipeline.h"

#include <gtest/gtest.h>

namespace {

struct NoWindow : live::Window {
    const std::array<settings::RowTexts, settings::kEntryCount>& GridRows() const override { return rows; }
    int GridRevision() const override { return 0; }
    std::optional<pointing::Site> FieldSite() const override { return std::nullopt; }
    std::optional<pointing::Site> KnownSite() const override { return std::nullopt; }
    int SiteRevision() const override { return siteRevision; }
    std::string CoordinateTexts() const override { return {}; }
    std::string LevelUnit() const override { return "dBuV"; }
    double AxisMin() const override { return 11550; }
    double AxisMax() const override { return 12830; }
    int PolarisationIndex() const override { return 0; }
    std::string LoCaption(int) const override { return {}; }
    std::array<settings::RowTexts, settings::kEntryCount> rows{};
    int siteRevision = 0;
};

struct Ticks {
    NoWindow window;
    live::Pipeline pipeline{window};
    panorama::SweepFrame frame{};
    live::TickIn in;
    std::int64_t now = 1'765'000'000'000;
    Ticks() {
        in.meaning = {10, 950, 11550, 0, 0xE000, 0, 9, 4300};
        in.scale = panorama::ComputeLevelScale(9, 4300, 0);
        in.levelMin = 45;
        in.levelMax = 125;
    }
    const live::Sweep& Tick(bool swept, int top = 150) {
        for (int i = 0; i < panorama::kSamples; ++i) frame[i] = static_cast<std::uint8_t>(100 + i % 7);
        frame[top % panorama::kSamples] = 200;
        in.result = swept ? panorama::TickResult::Swept : panorama::TickResult::Idle;
        in.frame = swept ? &frame : nullptr;
        in.nowMs = now += 25;
        in.seconds = now / 1000.0;
        return pipeline.Take(in);
    }
};

}  // namespace

TEST(Pipeline, TheRecordHoldsTheShownTraceItsPeakAndTheHistory) {
    Ticks t;
    const live::Sweep& idle = t.Tick(false);
    EXPECT_FALSE(idle.fresh || idle.peak || idle.finding || idle.naming);
    EXPECT_EQ(idle.history->Size(), 0u);

    const live::Sweep& s = t.Tick(true, 40);
    ASSERT_TRUE(s.fresh && s.peak);
    EXPECT_EQ(s.peak->index, 40);
    EXPECT_EQ(s.shown->live[40], s.peak->level);
    EXPECT_EQ(s.history->Size(), 1u);
    EXPECT_EQ(s.history->Newest().meaning.levelMax, 125);

    // Frozen: swept and kept in the history, but the shown trace and its
    // peak stand still.
    t.pipeline.Traces().SetFrozen(true);
    const live::Sweep& f = t.Tick(true, 90);
    EXPECT_FALSE(f.fresh);
    EXPECT_EQ(f.peak->index, 40);
    EXPECT_EQ(f.history->Size(), 2u);
    t.pipeline.Traces().SetFrozen(false);

    // Another meaning resets the holds at once, swept or not.
    t.pipeline.Traces().SetMaxHold(true);
    EXPECT_TRUE(t.Tick(true).holdsChanged);
    t.in.meaning.unitIndex = 1;
    EXPECT_TRUE(t.Tick(false).holdsChanged);
    EXPECT_FALSE(t.pipeline.Traces().shown().max);
}

TEST(Pipeline, NamesEveryFewFreshSweepsAndAtOnceWhenTheMeaningOrTheSiteChanges) {
    Ticks t;
    t.Tick(true);
    t.pipeline.SetNaming(true);  // names the trace already shown
    ASSERT_NE(t.pipeline.Current().naming, nullptr);
    EXPECT_NE(t.pipeline.Current().finding, nullptr);
    int named = 0;
    for (int k = 0; k < 3 * live::Pipeline::kNameEvery; ++k) named += t.Tick(true).named;
    EXPECT_EQ(named, 3);
    EXPECT_FALSE(t.Tick(false).named) << "no sweep, no naming";
    t.in.meaning.step = 4;
    EXPECT_TRUE(t.Tick(true).named);
    ++t.window.siteRevision;
    EXPECT_TRUE(t.Tick(true).named);
    t.pipeline.SetNaming(false);
    EXPECT_EQ(t.Tick(true).naming, nullptr);
    EXPECT_EQ(t.pipeline.Last().finding, nullptr);
}
