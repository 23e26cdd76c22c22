// The settings exchange with the simulated meter.
#include "settings/Exchange.h"

#include "common/Convert.h"
#include "sim/Sim.h"

#include "RecordingPrompt.h"

#include <gtest/gtest.h>


using namespace settings;
using Texts = std::vector<std::string>;

namespace {

SettingsBlock Pattern(std::uint8_t seed) {
    SettingsBlock b;
    for (std::size_t i = 0; i < kBlockSize; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

const std::string kAskWriteText = std::string(kAttention) + ": " + kAskWrite;

}  // namespace

TEST(SettingsExchange, ReadAndWriteWithTheMeter) {
    sim::Reset();
    TranscriptPrompt prompt;
    prompt.countHandles = &sim::OpenHandles;
    SettingsBlock buf = Pattern(1);
    int applied = 0, gathered = 0;
    auto apply = [&] { ++applied; };
    auto gather = [&] { ++gathered, buf = Pattern(5); };

    ReadFromMeter(buf, prompt, apply);
    WriteToMeter(buf, prompt, gather);  // no question without a meter
    EXPECT_EQ(prompt.Take(), (Texts{"Velkarn3 отключен [0]", "Velkarn3 отключен [0]"}));

    const int m = sim::AddMeter();
    sim::MeterAt(m).settings = Pattern(9);
    ReadFromMeter(buf, prompt, apply);
    EXPECT_EQ(prompt.Take(), Texts{"Принято OK [1]"}) << "the meter closes after the box";
    EXPECT_EQ(buf, Pattern(9));
    EXPECT_EQ(applied, 1);

    // A short reply or an error leaves the buffer as it was.
    sim::Fault& readFault = sim::MeterAt(m).FaultFor(sim::Kind::ReadSettings);
    readFault.fail = true;
    sim::MeterAt(m).settings = Pattern(20);
    for (int result : {247, -110}) {
        readFault.result = result;
        ReadFromMeter(buf, prompt, apply);
        EXPECT_EQ(prompt.Take(), Texts{"read error [1]"});
        EXPECT_EQ(buf, Pattern(9));
    }
    EXPECT_EQ(applied, 1);

    prompt.answers = {false};
    WriteToMeter(buf, prompt, gather);
    EXPECT_EQ(prompt.Take(), Texts{kAskWriteText});
    EXPECT_EQ(gathered, 0);
    WriteToMeter(buf, prompt, gather);
    EXPECT_EQ(prompt.Take(), (Texts{kAskWriteText, "Передано OK [1]"}));
    EXPECT_EQ(sim::MeterAt(m).settings, Pattern(5));
    const sim::Transfer write = sim::LogOf(sim::Kind::WriteSettings).at(0);
    EXPECT_EQ((std::array{write.requestType, write.request, write.value, write.index, write.size, write.timeout}),
              (std::array{0x40, 1, 0, 0, 248, 5000}));

    sim::MeterAt(m).FaultFor(sim::Kind::WriteSettings) = {100, true};
    WriteToMeter(buf, prompt, gather);
    EXPECT_EQ(prompt.Take().back(), "write error [1]");

    // A failed gather sends nothing; the meter is closed all the same.
    sim::ClearLog();
    EXPECT_THROW(WriteToMeter(buf, prompt, [] { throw common::UserError("Range check error"); }), common::UserError);
    EXPECT_TRUE(sim::LogOf(sim::Kind::WriteSettings).empty());
    EXPECT_EQ(sim::OpenHandles(), 0);
}
