#include "settings/Exchange.h"

#include "common/Convert.h"
#include "sim/Sim.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

using namespace settings;
namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

namespace {

// Records the boxes with the number of device handles open while each is up,
// and answers questions from a queue (Yes when it is empty).
struct RecordingPrompt : common::UserPrompt {
    Texts shown;
    std::deque<bool> answers;
    void Message(const std::string& text) override {
        shown.push_back(text + " [" + std::to_string(sim::OpenHandles()) + "]");
    }
    bool Ask(const std::string& text, const std::string& caption) override {
        shown.push_back(caption + ": " + text);
        const bool a = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    Texts Take() { return std::exchange(shown, {}); }
};

SettingsBlock Pattern(std::uint8_t seed) {
    SettingsBlock b;
    for (std::size_t i = 0; i < kBlockSize; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

std::string FileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, std::size_t n, char v) { std::ofstream(p, std::ios::binary) << std::string(n, v); }

const std::string kAskWriteText = std::string(kAttention) + ": " + kAskWrite;

}  // namespace

TEST(SettingsExchange, ReadAndWriteWithTheMeter) {
    sim::Reset();
    RecordingPrompt prompt;
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

TEST(SettingsExchange, FilesHoldExactlyOneBlock) {
    const fs::path dir = fs::temp_directory_path() / "settings-exchange-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "a.vkr3";
    RecordingPrompt prompt;
    SettingsBlock buf = Pattern(3), opened{};
    int gathered = 0;
    auto gather = [&] { ++gathered; };
    const std::string block(buf.begin(), buf.end());

    // A longer file gives its first 248 bytes; saving over it leaves exactly 248.
    WriteFile(file, 300, 'x');
    OpenFromFile(file.string(), opened, prompt, [] {});
    EXPECT_EQ(opened[247], 'x');
    SaveToFile(file.string(), buf, prompt, gather);
    EXPECT_EQ(FileText(file), block);
    EXPECT_EQ(prompt.Take(), Texts{std::string(kAttention) + ": " + kAskOverwrite});

    // A file too short, missing or not a file changes nothing.
    WriteFile(dir / "short.vkr3", 100, 'y');
    int applied = 0;
    for (const fs::path& p : {dir / "short.vkr3", dir / "missing.vkr3", dir})
        OpenFromFile(p.string(), opened, prompt, [&] { ++applied; });
    EXPECT_EQ(prompt.Take(), Texts(3, "Ошибка чтения файла [0]"));
    EXPECT_EQ(opened[0], 'x');
    EXPECT_EQ(applied, 0);

    // A failed gather neither creates nor truncates; a file that cannot be
    // written is reported and nothing is left behind.
    auto failing = [] { throw common::UserError("'5 ,0' is not a valid floating point value"); };
    EXPECT_THROW(SaveToFile((dir / "new.vkr3").string(), buf, prompt, failing), common::UserError);
    EXPECT_THROW(SaveToFile((dir / "short.vkr3").string(), buf, prompt, failing), common::UserError);
    EXPECT_EQ(FileText(dir / "short.vkr3").size(), 100u);
    for (const fs::path& p : {dir / "no-folder" / "a.vkr3", dir}) SaveToFile(p.string(), buf, prompt, gather);
    EXPECT_EQ(prompt.Take().back(), "Ошибка записи файла [0]");

    // A link is followed, and the replaced file keeps its permissions.
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, perms);
    fs::create_symlink(file, dir / "link.vkr3");
    ASSERT_TRUE(WriteSettingsFile((dir / "link.vkr3").string(), Pattern(8)));
    EXPECT_TRUE(fs::is_symlink(dir / "link.vkr3"));
    EXPECT_EQ(FileText(file)[0], static_cast<char>(Pattern(8)[0]));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, perms);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3) << "no temporary files left";
    fs::remove_all(dir);
}
