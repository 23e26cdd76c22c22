// One panorama tick's exchange with the simulated meter.
#include "panorama/Panorama.h"
#include "device/UsbLink.h"
#include "sim/Sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

using namespace panorama;

class ExchangeTickTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override { EXPECT_EQ(sim::OpenHandles(), 0); }
    SweepFrame frame{};
    settings::SettingsBlock buf{};
};

TEST_F(ExchangeTickTest, NoMeterRescansAndSendsNothing) {
    sim::AddDevice(0, 0x1234, 0x5678);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ExchangeTick(true, 0xE000, 950, 10, frame, buf), TickResult::NoMeter);
    EXPECT_EQ(sim::Calls().init, 3);
    EXPECT_EQ(sim::Calls().findBusses, 3);
    EXPECT_EQ(sim::Calls().findDevices, 3);
    EXPECT_EQ(sim::Calls().open, 0);
    EXPECT_TRUE(sim::Log().empty());
}

TEST_F(ExchangeTickTest, SweepClearsTheFrameSoMissingSamplesReadZero) {
    int m = sim::AddMeter();
    frame.fill(0xAA);
    ASSERT_EQ(ExchangeTick(true, 0xE000, 950, 10, frame, buf), TickResult::Swept);
    ASSERT_EQ(sim::Log().size(), 1u);
    const sim::Transfer& t = sim::Log()[0];
    EXPECT_EQ(t.kind, sim::Kind::Sweep);
    EXPECT_EQ(t.value, 0xE002);
    EXPECT_EQ(t.index, 0xA3B6);
    EXPECT_EQ(t.size, 128);
    EXPECT_EQ(t.timeout, 5000);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), t.dataIn.begin()));

    // A short reply leaves the rest of the frame at 0, a failed one all of it.
    auto& f = sim::MeterAt(m).FaultFor(sim::Kind::Sweep);
    f.fail = true;
    f.result = 100;
    frame.fill(0xAA);
    ExchangeTick(true, 0xE000, 950, 10, frame, buf);
    for (int i = 100; i < kSamples; ++i) ASSERT_EQ(frame[i], 0) << i;
    f.result = -5;
    frame.fill(0xAA);
    ExchangeTick(true, 0xE000, 950, 10, frame, buf);
    for (int i = 0; i < kSamples; ++i) ASSERT_EQ(frame[i], 0) << i;
    EXPECT_EQ(sim::Calls().close, 3);
}

TEST_F(ExchangeTickTest, IdleReplyReplacesTheBufferOnlyWhenWhole) {
    int m = sim::AddMeter();
    for (int i = 0; i < 248; ++i) sim::MeterAt(m).settings[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_EQ(ExchangeTick(false, 0xE000, 950, 10, frame, buf), TickResult::Idle);
    const sim::Transfer& t = sim::Log().back();
    EXPECT_EQ(t.kind, sim::Kind::Idle);
    EXPECT_EQ(t.requestType, 0xC0);
    EXPECT_EQ(t.request, 9);
    EXPECT_EQ(t.value, 3);
    EXPECT_EQ(t.index, 0);
    EXPECT_EQ(t.size, 248);
    EXPECT_EQ(buf, sim::MeterAt(m).settings);

    // Short and failed idle replies leave the buffer as it was.
    settings::SettingsBlock before = buf;
    sim::MeterAt(m).settings.fill(0x55);
    auto& f = sim::MeterAt(m).FaultFor(sim::Kind::Idle);
    f.fail = true;
    for (int result : {247, 1, -110}) {
        f.result = result;
        ExchangeTick(false, 0xE000, 950, 10, frame, buf);
        EXPECT_EQ(buf, before) << result;
    }
}

TEST_F(ExchangeTickTest, UnpluggedMeterFailsQuietlyAndIsNotFoundAgain) {
    int m = sim::AddMeter();
    ExchangeTick(true, 0xE000, 950, 10, frame, buf);
    sim::Unplug(m);
    EXPECT_EQ(ExchangeTick(true, 0xE000, 950, 10, frame, buf), TickResult::NoMeter);
    sim::Replug(m);
    EXPECT_EQ(ExchangeTick(true, 0xE000, 950, 10, frame, buf), TickResult::Swept);
}

// The demo meter of make demo: a swung dish's spectrum rises and falls; the
// meter the tests script keeps every sweep alike but for its noise.
TEST_F(ExchangeTickTest, SwungDishSpectrumRisesAndFalls) {
    const int m = sim::AddMeter();
    auto strongest = [&] {
        ExchangeTick(true, 0xE000, 950, 10, frame, buf);
        return *std::max_element(frame.begin(), frame.end());
    };
    int steadyLow = 255, steadyHigh = 0;
    for (int k = 0; k < 240; ++k) {
        const int s = strongest();
        steadyLow = std::min(steadyLow, s);
        steadyHigh = std::max(steadyHigh, s);
    }
    EXPECT_LE(steadyHigh - steadyLow, 8) << "only the noise moves";

    sim::MeterAt(m).swinging = true;
    sim::MeterAt(m).sweepsAnswered = 0;
    const int onSatellite = strongest();  // sweep 0: right on it
    for (int k = 1; k < 120; ++k) strongest();
    const int off = strongest();          // sweep 120: furthest off
    EXPECT_GE(onSatellite - off, 30);
    EXPECT_LE(std::abs(onSatellite - steadyHigh), 8) << "on the satellite as strong as the steady meter";
    EXPECT_NEAR(sim::SwingSignal(0), 1.0, 1e-12);
    EXPECT_NEAR(sim::SwingSignal(240), 1.0, 1e-9);
    EXPECT_LT(sim::SwingSignal(120), 0.2);
}

// The tick tells how it met the meter from what it did anyway: one request
// per tick whatever the state, none when the meter is absent or refused.
TEST_F(ExchangeTickTest, TellsTheMetersStateWithoutAnExtraRequest) {
    const auto tick = [this](bool on) {
        device::LinkState link = device::LinkState::Connected;
        const std::size_t before = sim::Log().size();
        ExchangeTick(on, 0xE000, 950, 10, frame, buf, &link);
        EXPECT_LE(sim::Log().size(), before + 1);
        return link;
    };
    sim::AddDevice(0, 0x1234, 0x5678);
    EXPECT_EQ(tick(true), device::LinkState::NotFound);
    const int meter = sim::AddMeter(0);
    EXPECT_EQ(tick(true), device::LinkState::Connected);
    EXPECT_EQ(tick(false), device::LinkState::Connected);
    sim::SetOpenFails(meter, true);
    EXPECT_EQ(tick(true), device::LinkState::NoAccess);
    EXPECT_EQ(sim::Log().size(), 2u);
    // Opened read-only: every transfer is refused (-EPERM from the kernel,
    // -EACCES through a library that maps it). Other failures are no
    // question of access.
    sim::SetOpenFails(meter, false);
    for (const int error : {-EPERM, -EACCES}) {
        sim::MeterAt(meter).FaultFor(sim::Kind::Sweep) = {error, true};
        sim::MeterAt(meter).FaultFor(sim::Kind::Idle) = {error, true};
        EXPECT_EQ(tick(true), device::LinkState::NoAccess);
        EXPECT_EQ(tick(false), device::LinkState::NoAccess);
    }
    sim::MeterAt(meter).FaultFor(sim::Kind::Sweep) = {-EPIPE, true};
    EXPECT_EQ(tick(true), device::LinkState::Connected);
    sim::Unplug(meter);
    EXPECT_EQ(tick(true), device::LinkState::NotFound);
}
