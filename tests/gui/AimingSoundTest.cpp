// The aiming tone's item in the real window, with a recording sound device in
// place of the system's.
#include "Fixture.h"

#include "app/modules/AimingSound.h"
#include "app/Features.h"
#include "app/modules/Tone.h"
#include "toolkit/Chart.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace {

struct RecordingOutput : ToneOutput {
    std::string why;
    bool playing = false;
    int starts = 0;
    std::vector<std::optional<double>> tones;
    int beeps = 0;
    std::string Unavailable() override { return why; }
    bool Start() override { return ++starts, playing = why.empty(); }
    void Stop() override { playing = false; }
    bool Playing() const override { return playing; }
    void Set(std::optional<double> hz) override { tones.push_back(hz); }
    void Beep() override { ++beeps; }
};

}  // namespace

class AimingSoundWindow : public WindowTest {
protected:
    void Use(std::string why = {}) {
        auto out = std::make_unique<RecordingOutput>();
        out->why = std::move(why);
        output = out.get();
        tools = form->Features.get();
        tools->Find<ToneFeature>()->UseOutput(std::move(out));
        form->show();
        QApplication::setActiveWindow(form.get());
    }
    // A tick whose sweep has every sample at `sample`.
    void Tick(int sample) {
        std::array<std::uint8_t, 128> f;
        f.fill(static_cast<std::uint8_t>(sample));
        sim::MeterAt(meter).scriptedSweeps = {f};
        form->ButtonRead_PANOClick();
    }
    double PitchOf(int sample) const {
        return aiming::PitchForLevel(panorama::Level(static_cast<std::uint8_t>(sample), 9, 0.43f), 45, 125);
    }
    FeatureSet* tools = nullptr;
    RecordingOutput* output = nullptr;
};

TEST_F(AimingSoundWindow, WithoutASoundDeviceTheItemIsDisabledAndSaysWhy) {
    Use(kNoSoundDevice);
    QAction* item = tools->Item("ActionAimingSound");
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(item->toolTip(), QString::fromUtf8(kNoSoundDevice));
    EXPECT_TRUE(tools->Menu->toolTipsVisible());
    QTest::keyClick(form.get(), Qt::Key_F8, Qt::ShiftModifier);
    form->SpeedButton1->setChecked(true);
    Tick(200);
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(output->starts, 0);
    EXPECT_TRUE(output->tones.empty());
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());
}

TEST_F(AimingSoundWindow, TheToneFollowsEachSweepBeepsAtANewBestAndFallsSilentWhenItMust) {
    Use();
    QAction* item = tools->Item("ActionAimingSound");
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    form->SpeedButton1->setChecked(true);
    Tick(150);
    EXPECT_TRUE(output->tones.empty()) << "nothing sounds while off";

    QTest::keyClick(form.get(), Qt::Key_F8, Qt::ShiftModifier);
    ASSERT_TRUE(item->isChecked());
    EXPECT_EQ(output->starts, 1);
    Tick(150);
    EXPECT_DOUBLE_EQ(*output->tones.back(), PitchOf(150));
    Tick(152);  // under 1 dB above: no beep
    EXPECT_EQ(output->beeps, 0);
    Tick(153);  // 1.29 dB above the first
    EXPECT_EQ(output->beeps, 1);
    Tick(140);
    EXPECT_DOUBLE_EQ(*output->tones.back(), PitchOf(140));
    // "Сбросить": the next level is the new mark, the one after beeps.
    tools->Item("ActionReset")->trigger();
    Tick(141);
    Tick(144);
    EXPECT_EQ(output->beeps, 2);

    // The level axis sets the pitch's span.
    form->ScrollBar2->setValue(40);  // 45..85
    Tick(144);
    EXPECT_DOUBLE_EQ(*output->tones.back(),
                     aiming::PitchForLevel(panorama::Level(144, 9, 0.43f), 45, 85));

    // Silent while frozen, without a sweep and without a meter.
    tools->Item("ActionFreeze")->trigger();
    Tick(200);
    EXPECT_FALSE(output->tones.back().has_value());
    tools->Item("ActionFreeze")->trigger();
    Tick(200);
    EXPECT_TRUE(output->tones.back().has_value());
    form->SpeedButton1->setChecked(false);
    form->ButtonRead_PANOClick();
    EXPECT_FALSE(output->tones.back().has_value());
    form->SpeedButton1->setChecked(true);
    sim::Unplug(meter);
    form->ButtonRead_PANOClick();
    EXPECT_FALSE(output->tones.back().has_value());

    // Closing the window stops the sound; switching the item off as well.
    form->close();
    EXPECT_FALSE(output->playing);
    form->show();
    EXPECT_TRUE(output->playing);
    item->trigger();
    EXPECT_FALSE(output->playing);
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());
}
