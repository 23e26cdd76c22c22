#include "settings/Editor.h"

#include "common/Convert.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace settings;
using Bytes = std::array<std::uint8_t, 2>;

namespace {

RowTexts Row(std::string name, std::string freq = "11766", std::string pol = "H", std::string rate = "3400",
             std::string input = "2") {
    return {name, freq, pol, rate, input};
}

std::string ErrorOf(const EditorTexts& t, SettingsBlock& b) {
    try {
        GatherSettings(t, b);
    } catch (const common::UserError& e) {
        return e.what();
    }
    return "no error";
}

SettingsBlock Filled(std::uint8_t v) {
    SettingsBlock b;
    b.fill(v);
    return b;
}

Bytes Motor(const SettingsBlock& b, int e) { return {b[EntryOffset(e) + 14], b[EntryOffset(e) + 15]}; }

bool Empty(const SettingsBlock& b, int e) {
    return std::all_of(b.begin() + EntryOffset(e), b.begin() + EntryOffset(e + 1), [](auto v) { return v == 0; });
}

}  // namespace

TEST(SettingsEditor, GathersFieldByField) {
    EditorTexts t;  // start texts "50,0", "036,0"
    t.rows[0] = Row("Ast 19E");
    t.rows[1] = Row("Hot 13E", "11766", "H", "3400", "");  // no input: an empty entry
    t.rows[2] = Row(std::string(kDeleteName));
    t.rows[3] = Row("Astra 19.2E", "11766", " ", "3400", "8");  // a blank is text, but no letter
    t.zener = 85;
    SettingsBlock b = Filled(0x5A);
    GatherSettings(t, b);
    const std::uint8_t entry0[16] = {'A', 's', 't', ' ', '1', '9', 'E', 0, 0xF6, 0x2D, 'H', 0x48, 0x0D, 1, 0x2D, 0xD1};
    EXPECT_TRUE(std::equal(entry0, entry0 + 16, b.begin()));
    EXPECT_TRUE(Empty(b, 1) && Empty(b, 2));
    EXPECT_EQ(std::string(b.begin() + 48, b.begin() + 56), std::string("Astra 1\0", 8));
    EXPECT_EQ((Bytes{b[48 + kPolarisationAt], b[48 + kDiseqcInputAt]}), (Bytes{0, 23}));
    EXPECT_EQ((std::array{b[240], b[241], b[242], b[243], b[244], b[245], b[246], b[247]}),
              (std::array<std::uint8_t, 8>{50, 0, 36, 0, 0xFF, 0x5A, 165, 0x5A}))
        << "nothing selected leaves the battery code; the last byte is never written";

    const std::uint8_t battery[] = {75, 25, 100};
    for (int type = 0; type < 3; ++type) {
        t.batteryIndex = type;
        GatherSettings(t, b);
        EXPECT_EQ(b[kBatteryCodeAt], battery[type]) << type;
    }
    t.latitude = "55,7";
    t.longitude = "255,9";
    GatherSettings(t, b);
    EXPECT_EQ((std::array{b[240], b[241], b[242], b[243]}), (std::array<std::uint8_t, 4>{55, 0x70, 255, 0x90}));
}

TEST(SettingsEditor, MotorPositionForEveryEntry) {
    EditorTexts t;
    const char* names[] = {"Ast 19E", "Hot 13E", "HTB 36E", "Exp 40E", "Exp 96E", "Home 1X", "", "His 30W"};
    const Bytes words[] = {{0x2D, 0xD1}, {0x96, 0xD1}, {0x00, 0xE0}, {0x46, 0xE0},
                           {0x10, 0xE4}, {0, 0},       {0, 0},       {0x75, 0xD4}};
    for (int i = 0; i < 8; ++i) t.rows[i] = Row(names[i]);
    // A name without a position and an empty row do not end the pass: every
    // entry gets its own word, stale ones included.
    SettingsBlock b = Filled(0x77);
    GatherSettings(t, b);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Motor(b, i), words[i]) << names[i];
    t.latitude = "55,7";  // taken in double precision
    GatherSettings(t, b);
    EXPECT_EQ(Motor(b, 1), (Bytes{0x92, 0xD1}));

    EXPECT_EQ(EncodeMotorPosition(12.96), 0xE0C0);  // ten tenths add nothing
    EXPECT_EQ(EncodeMotorPosition(-0.5), 0xE008);   // a whole part of -0 points east
    const int codes[] = {0, 2, 3, 5, 6, 8, 10, 11, 13, 14};
    for (int tenth = 0; tenth < 10; ++tenth) EXPECT_EQ(EncodeMotorPosition(7 + tenth / 10.0) & 0xF, codes[tenth]);
}

TEST(SettingsEditor, FailuresLeaveWhatWasAlreadyWritten) {
    EditorTexts t;
    t.rows[0] = Row("Ast 19E", "11766", "V", "3400", "3");
    t.rows[1] = Row("Hot 13E");
    auto fail = [&](int row, int column, const char* text, const char* message) {
        EditorTexts bad = t;
        bad.rows[row][column] = text;
        SettingsBlock b = Filled(0xAA);
        EXPECT_EQ(ErrorOf(bad, b), message) << text;
        EXPECT_EQ(b[kZenerCodeAt], 0xAA) << text;
        return b;
    };
    // A short name: the rows above, one name byte per character.
    SettingsBlock b = fail(1, kNameColumn, "Abcd", "Range check error");
    EXPECT_EQ(b[kFrequencyAt], 0xF6);
    EXPECT_EQ(std::string(b.begin() + 16, b.begin() + 21), "Abcd\xAA");
    EXPECT_EQ(b[16 + kPolarisationAt], 0xAA);
    // A frequency that is no 16-bit integer: name, polarisation and input.
    for (auto [text, message] : {std::pair{"-", "'-' is not a valid integer value"},
                                 std::pair{"65536", "Range check error"}}) {
        b = fail(0, kFrequencyColumn, text, message);
        EXPECT_EQ((std::array{b[6], b[kEntryPadAt], b[kFrequencyAt], b[kPolarisationAt], b[kDiseqcInputAt]}),
                  (std::array<std::uint8_t, 5>{'E', 0xAA, 0xAA, 'V', 2}));
    }
    b = fail(0, kSymbolRateColumn, "12,5", "'12,5' is not a valid integer value");
    EXPECT_EQ((Bytes{b[kFrequencyAt], b[kSymbolRateAt]}), (Bytes{0xF6, 0xAA}));

    // A coordinate that is no number, or whose degrees do not fit the byte:
    // the whole table, but nothing of the site, battery and Zener, no motor words.
    for (auto [lat, lon, message] : {std::tuple{"5 ,0", "036,0", "'5 ,0' is not a valid floating point value"},
                                     std::tuple{"50,0", "300,0", "Range check error"}}) {
        EditorTexts bad = t;
        bad.latitude = lat;
        bad.longitude = lon;
        b = Filled(0xAA);
        EXPECT_EQ(ErrorOf(bad, b), message);
        EXPECT_TRUE(b[kEntryPadAt] == 0 && Empty(b, 14));
        EXPECT_EQ(Motor(b, 0), (Bytes{0xAA, 0xAA}));
        EXPECT_TRUE(std::all_of(b.begin() + 240, b.end(), [](auto v) { return v == 0xAA; })) << lon;
    }
}

TEST(SettingsEditor, ApplyShowsWhatTheNextGatherKeeps) {
    SettingsBlock b{};
    EditorTexts t = ApplySettings(b);
    EXPECT_EQ((std::tuple{t.rows[0], t.latitude, t.longitude, t.batteryIndex, t.zener}),
              (std::tuple{RowTexts{}, "0,0", "00,0", 0, 90}));  // 250 limited to the editor's range
    b[kLonDegreesAt] = 120;
    b[kLonTenthsAt] = 0x50;
    b[kZenerCodeAt] = 250;
    b[kBatteryTypeAt] = 0xFF;
    t = ApplySettings(b);
    EXPECT_EQ((std::tuple{t.longitude, t.batteryIndex, t.zener}), (std::tuple{"120,5", 2, 80}));

    // Unusual entries from a meter or file.
    TransponderEntry e{{'A', 's', 't', ' ', '1', '9', 'E'}, 0, 11766, 'H', 3400, 16, 0};
    PutEntry(b, 0, e);  // input 16 shows "1", gathers as 0
    e.diseqcInput = 20;
    PutEntry(b, 1, e);  // "5" and back to 20
    e.polarisation = 'X';
    PutEntry(b, 2, e);  // no letter, the input still shown; gathered as empty
    e.polarisation = 'H';
    e.satName = {'A', 'b', 'c', 0, 'x', 'y', 'z'};
    PutEntry(b, 3, e);  // a short name that fails every gather
    t = ApplySettings(b);
    EXPECT_EQ(t.rows[0], Row("Ast 19E", "11766", "H", "3400", "1"));
    EXPECT_EQ(t.rows[1][kInputColumn], "5");
    EXPECT_EQ(t.rows[2], Row("Ast 19E", "11766", "", "3400", "5"));
    EXPECT_EQ(t.rows[3][kNameColumn], "Abc");
    EXPECT_EQ(ErrorOf(t, b), "Range check error");
    t.rows[3] = Row("Ast 19E", "0");  // frequency 0: stored as 0, then shown empty
    GatherSettings(t, b);
    EXPECT_EQ((std::array{b[13], b[29], b[56], b[57]}), (std::array<std::uint8_t, 4>{0, 20, 0, 0}));
    EXPECT_TRUE(Empty(b, 2));
    t = ApplySettings(b);
    EXPECT_EQ(t.rows[3], Row("Ast 19E", "", "H", "3400", ""));
    GatherSettings(t, b);
    EXPECT_TRUE(Empty(b, 3));

    // A gathered block, a Windows-1251 name included, comes back unchanged.
    EditorTexts full;
    full.rows[0] = Row("\xD3\xF0\xE0\xEB" "13E");  // "Урал13E"
    full.rows[14] = Row("His 30W", "50000", "R", "1", "4");
    full.latitude = "55,7";
    full.batteryIndex = 1;
    full.zener = 83;
    SettingsBlock g{};
    GatherSettings(full, g);
    EXPECT_EQ(ApplySettings(g).rows, full.rows);
    SettingsBlock again = g;
    GatherSettings(ApplySettings(g), again);
    EXPECT_EQ(again, g);
}

TEST(SettingsEditor, MotorWordsAreTheSameOnEverySystem) {
    // Motor words come from trigonometry and rounding to tenths: a different
    // math library could round a borderline angle the other way. Every word
    // over a grid of sites and satellites goes into one digest, which Linux
    // and Windows builds must both reproduce.
    SettingsBlock names{};
    for (int e = 0; e < kEntryCount; ++e) {
        const int position = e * 13 % 90;
        const char direction = e % 2 ? 'W' : 'E';
        const std::string name = "Sat " + std::to_string(position / 10) + std::to_string(position % 10) + direction;
        std::copy(name.begin(), name.end(), names.begin() + EntryOffset(e));
    }
    std::uint64_t digest = 14695981039346656037ull;  // FNV-1a
    int words = 0;
    for (int lat = 0; lat < 900; lat += 7) {
        for (int lon = 0; lon < 3600; lon += 13) {
            SettingsBlock b = names;
            ComputeMotorPositions(std::to_string(lat / 10) + "," + std::to_string(lat % 10),
                                  std::to_string(lon / 10) + "," + std::to_string(lon % 10), b);
            for (int e = 0; e < kEntryCount; ++e) {
                for (std::size_t k = 0; k < 2; ++k) {
                    digest ^= b[EntryOffset(e) + kMotorPositionAt + k];
                    digest *= 1099511628211ull;
                }
                ++words;
            }
        }
    }
    EXPECT_EQ(words, 129 * 277 * kEntryCount);
    EXPECT_EQ(digest, 12747199858004090160ull);
}
