#include "panorama/Tools.h"

#include "CommaLocale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace panorama;

namespace {

// The default scale in dBuV: reference 9, 0.43 dB per sample unit.
LevelScale DefaultScale() { return ComputeLevelScale(9, 4300, 0); }

SampleMeaning DefaultMeaning() {
    SampleMeaning m;
    m.step = 10;
    m.shift = 950;
    m.axisMin = 11550;
    m.loIndex = 0;
    m.flags = 0xE000;
    m.unitIndex = 0;
    m.oporPosition = 9;
    m.koefPosition = 4300;
    return m;
}

SweepFrame Frame(const std::function<int(int)>& sample) {
    SweepFrame f{};
    for (int i = 0; i < kSamples; ++i) f[i] = static_cast<std::uint8_t>(sample(i));
    return f;
}
SweepFrame Flat(int v) { return Frame([v](int) { return v; }); }

float L(int sample) { return Level(static_cast<std::uint8_t>(sample), 9, 0.43f); }

}  // namespace

TEST(TraceTools, OffByDefaultTheLiveTraceIsTheSweep) {
    TraceTools t;
    const SweepFrame f = Frame([](int i) { return (i * 37) % 256; });
    ASSERT_TRUE(t.Feed(f, DefaultMeaning(), DefaultScale()));
    const auto& s = t.shown();
    for (int i = 0; i < kSamples; ++i) {
        ASSERT_EQ(s.live[i], Level(f[i], 9, 0.43f)) << i;
        ASSERT_EQ(s.levels[i], s.live[i]);
    }
    EXPECT_FALSE(s.max || s.min);
    EXPECT_EQ(s.averaged, 0);
    EXPECT_EQ(s.frame, f);
}

TEST(TraceTools, HoldsKeepTheExtremesSinceSwitchedOnOrReset) {
    TraceTools t;
    const SampleMeaning m = DefaultMeaning();
    t.Feed(Flat(200), m, DefaultScale());  // before the holds are on: not held
    t.SetMaxHold(true);
    t.SetMinHold(true);
    t.Feed(Frame([](int i) { return i; }), m, DefaultScale());
    t.Feed(Frame([](int i) { return 127 - i; }), m, DefaultScale());
    t.Feed(Flat(60), m, DefaultScale());
    const auto& s = t.shown();
    ASSERT_TRUE(s.max && s.min);
    for (int i = 0; i < kSamples; ++i) {
        ASSERT_EQ((*s.max)[i], L(std::max({i, 127 - i, 60}))) << i;
        ASSERT_EQ((*s.min)[i], L(std::min({i, 127 - i, 60}))) << i;
    }

    // Reset: gone at once, and the next sweep starts them again.
    t.Reset();
    EXPECT_FALSE(t.shown().max || t.shown().min);
    t.Feed(Flat(70), m, DefaultScale());
    EXPECT_EQ((*t.shown().max)[5], L(70));
    EXPECT_EQ((*t.shown().min)[5], L(70));

    // Off drops a hold at once; on again starts it afresh.
    t.SetMaxHold(false);
    EXPECT_FALSE(t.shown().max);
    EXPECT_TRUE(t.shown().min);
    t.Feed(Flat(90), m, DefaultScale());
    EXPECT_FALSE(t.shown().max);
    t.SetMaxHold(true);
    t.Feed(Flat(80), m, DefaultScale());
    EXPECT_EQ((*t.shown().max)[0], L(80));
    EXPECT_EQ((*t.shown().min)[0], L(70));
}

TEST(TraceTools, AverageIsTheMeanOfTheLastSweepsAndHoldsFollowIt) {
    TraceTools t;
    const SampleMeaning m = DefaultMeaning();
    t.SetAverage(4);
    t.SetMaxHold(true);
    // Sweeps of 10, 20, ..., 80: the mean of the last (up to) four.
    const double expected[] = {10, 15, 20, 25, 35, 45, 55, 65};
    for (int k = 0; k < 8; ++k) {
        t.Feed(Flat(10 * (k + 1)), m, DefaultScale());
        const auto& s = t.shown();
        EXPECT_EQ(s.averaged, std::min(k + 1, 4));
        EXPECT_EQ(s.levels[3], L(10 * (k + 1))) << "the sweep's own levels stay beside the mean";
        EXPECT_NEAR(s.live[3], (expected[k] - 9) * 0.43, 1e-4) << k;
        EXPECT_EQ((*s.max)[3], s.live[3]) << "the hold takes the live trace as shown";
    }
    // A new depth starts the mean afresh.
    t.SetAverage(8);
    t.Feed(Flat(100), m, DefaultScale());
    EXPECT_EQ(t.shown().averaged, 1);
    EXPECT_EQ(t.shown().live[0], L(100));
    for (int d : kAverageDepths) {
        t.SetAverage(d);
        EXPECT_EQ(t.Average(), d);
    }
    t.SetAverage(5);  // not a depth the menu offers: off
    EXPECT_EQ(t.Average(), 0);
    t.Feed(Flat(30), m, DefaultScale());
    EXPECT_EQ(t.shown().live[0], L(30));
    EXPECT_EQ(t.shown().averaged, 0);
}

TEST(TraceTools, EveryChangeOfMeaningResetsHoldsAndAverage) {
    const std::vector<std::pair<const char*, std::function<void(SampleMeaning&)>>> changes = {
        {"step", [](SampleMeaning& m) { m.step = 9; }},
        {"shift", [](SampleMeaning& m) { m.shift = 960; }},
        {"axis start (oscillator, band, own oscillator)", [](SampleMeaning& m) { m.axisMin = 10700; }},
        {"oscillator", [](SampleMeaning& m) { m.loIndex = 3; }},
        {"polarisation", [](SampleMeaning& m) { m.flags ^= kPolarisationBit; }},
        {"band", [](SampleMeaning& m) { m.flags ^= kBandBit; }},
        {"+9 dB", [](SampleMeaning& m) { m.flags ^= kAmp9dBBit; }},
        {"-20 dB", [](SampleMeaning& m) { m.flags ^= kAtt20dBBit; }},
        {"unit", [](SampleMeaning& m) { m.unitIndex = 1; }},
        {"reference bar", [](SampleMeaning& m) { m.oporPosition = 10; }},
        {"scale bar", [](SampleMeaning& m) { m.koefPosition = 4310; }},
    };
    for (const auto& [what, change] : changes) {
        TraceTools t;
        t.SetMaxHold(true);
        t.SetMinHold(true);
        t.SetAverage(4);
        SampleMeaning m = DefaultMeaning();
        t.Feed(Flat(100), m, DefaultScale());
        t.Feed(Flat(50), m, DefaultScale());
        EXPECT_FALSE(t.Observe(m)) << what << ": the same meaning keeps them";
        ASSERT_EQ((*t.shown().max)[0], L(100));

        change(m);
        // Noted on a tick without a sweep: the holds vanish at once.
        EXPECT_TRUE(t.Observe(m)) << what;
        EXPECT_FALSE(t.shown().max || t.shown().min) << what;
        t.Feed(Flat(20), m, DefaultScale());
        EXPECT_EQ(t.shown().averaged, 1) << what;
        EXPECT_EQ((*t.shown().max)[0], L(20)) << what;
        EXPECT_EQ((*t.shown().min)[0], L(20)) << what;

        // A sweep whose meaning differs resets before it is taken in.
        m.step = 7;
        t.Feed(Flat(30), m, DefaultScale());
        EXPECT_EQ((*t.shown().max)[0], L(30)) << what;
        EXPECT_EQ(t.shown().live[0], L(30)) << what;
    }
}

TEST(TraceTools, FreezeKeepsWhatIsShownWhileSweepsGoOn) {
    TraceTools t;
    const SampleMeaning m = DefaultMeaning();
    t.SetMaxHold(true);
    t.SetAverage(4);
    t.Feed(Flat(40), m, DefaultScale());
    t.SetFrozen(true);
    const TraceTools::Shown before = t.shown();
    EXPECT_FALSE(t.Feed(Flat(120), m, DefaultScale()));
    EXPECT_EQ(t.shown().frame, before.frame);
    EXPECT_EQ(t.shown().live, before.live);
    EXPECT_EQ(t.shown().max, before.max);
    // Reset and a change of meaning while frozen clear the holds, not the picture.
    t.Reset();
    SampleMeaning other = m;
    other.unitIndex = 1;
    t.Observe(other);
    EXPECT_EQ(t.shown().max, before.max);
    EXPECT_EQ(t.shown().meaning, m);
    // Resumed: the frozen sweeps were not taken in, and holds start afresh.
    t.SetFrozen(false);
    ASSERT_TRUE(t.Feed(Flat(60), other, DefaultScale()));
    EXPECT_EQ(t.shown().averaged, 1);
    EXPECT_EQ((*t.shown().max)[0], L(60));
}

TEST(TracePeak, StrongestSampleOnTheAxisFirstOfEquals) {
    Levels l{};
    l.fill(10);
    l[0] = 99;  // one step left of the axis: never the peak
    l[40] = 50;
    l[90] = 50;
    Peak p = FindPeak(l, 11550, 950, 10);
    EXPECT_EQ(p.index, 40);
    EXPECT_EQ(p.level, 50);
    // Placed as the sweep places sample 40: the axis minimum plus 39 steps.
    EXPECT_EQ(p.rf, 11550 + 390);
    EXPECT_EQ(p.ifreq, 950 + 390);
    EXPECT_EQ(PeakText(p, "dBuV"), "50 dBuV  11940 МГц  ПЧ 1340 МГц");

    // The read-out under the mouse at that sample's pixel names the same
    // frequencies (5 pixels a sample from x 33 at the axis minimum).
    ReadoutInput in;
    in.x = 33 + 5 * (p.index - 1);
    in.y = 215;
    in.levelMin = 45;
    in.levelMax = 125;
    in.step = 10;
    in.shift = 950;
    in.startFrec = 11550;
    in.polIndex = -1;
    EXPECT_EQ(ReadoutText(in), "85    11940 МГц1340 МГц ");
    p = FindPeak(l, 4200, 950, 3);
    EXPECT_EQ(p.rf, 4200 + 39 * 3);
    EXPECT_EQ(p.ifreq, 950 + 39 * 3);

    // A flat trace: the first sample on the axis. Negative levels truncate
    // toward zero, as in the read-out.
    l.fill(-74.9f);
    p = FindPeak(l, 11550, 950, 10);
    EXPECT_EQ(p.index, 1);
    EXPECT_EQ(PeakText(p, "dBm"), "-74 dBm  11550 МГц  ПЧ 950 МГц");
}

TEST(TransponderMarks, StoredEntriesOnTheAxisWithAFittingPolarisation) {
    std::array<settings::RowTexts, settings::kEntryCount> rows{};
    auto row = [&rows](int r, std::string name, std::string f, std::string pol, std::string rate = "27500",
                       std::string input = "1") { rows[r] = {name, f, pol, rate, input}; };
    row(0, "Ast 19E", "11766", "H");
    row(1, "Hot 13E", "11034", "V");                        // below the axis
    row(2, "Sir  5E", "12054", "V");
    row(3, "Exp 96E", "11550", "L");                        // the axis minimum
    row(4, "EurB 9E", "12830", "R");                        // the axis maximum
    row(5, "Amos 4W", "12831", "H");                        // just above it
    row(6, "Eut 21E", "11800", "H", "27500", "");           // no input: not stored
    row(7, std::string(settings::kDeleteName), "11900", "H");
    row(8, "Thor", "12000", "H");                           // too short: the gather refuses it
    row(9, "Tur 42E", "12,5", "H");                         // not an integer
    row(10, "Tel 15W", "12100", "h");                       // no polarisation letter
    row(11, "\xD0\xF3\xF1\xFC 9E", "11600", "H");            // "Русь 9E" in Windows-1251
    row(12, "Exp 40E Long", "11766", "H");                  // seven characters are stored
    row(13, "Yml 90E", "11700", "H", "abc");                // symbol rate not an integer

    auto names = [](const std::vector<TransponderMark>& marks) {
        std::vector<std::string> out;
        for (const auto& m : marks) out.push_back(std::to_string(static_cast<int>(m.frequency)) + " " + m.name);
        return out;
    };
    EXPECT_EQ(names(TransponderMarks(rows, 11550, 12830, true)),
              (std::vector<std::string>{"11550 Exp 96E", "11600 Русь 9E", "11766 Ast 19E", "11766 Exp 40E"}));
    EXPECT_EQ(names(TransponderMarks(rows, 11550, 12830, false)),
              (std::vector<std::string>{"12054 Sir  5E", "12830 EurB 9E"}));
    EXPECT_EQ(names(TransponderMarks(rows, 10700, 11980, false)), (std::vector<std::string>{"11034 Hot 13E"}));
    EXPECT_TRUE(TransponderMarks({}, 11550, 12830, true).empty());
}

namespace {

// A level in hundredths, as the file must show it: from whole numbers, so
// that the expectation does not share the code's floating-point formatting.
std::string Hundredths(long h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%ld,%02ld", h < 0 ? "-" : "", std::labs(h) / 100, std::labs(h) % 100);
    return buf;
}

}  // namespace

TEST(TraceCsv, KnownSweepByteForByte) {
    // Two sweeps with max and min hold and a four-sweep average on: the
    // samples of the second are those of the first plus 2. The holds take
    // the live trace, the mean: the max is the mean of both, the min the first.
    TraceTools t;
    t.SetMaxHold(true);
    t.SetMinHold(true);
    t.SetAverage(4);
    const SampleMeaning m = DefaultMeaning();
    t.Feed(Frame([](int i) { return i; }), m, DefaultScale());
    t.Feed(Frame([](int i) { return i + 2; }), m, DefaultScale());
    TraceHeader h;
    h.when = {2026, 12, 9, 2, 5, 7};
    h.loCaption = "9750 - 10600";

    std::string expected =
        "\xEF\xBB\xBF"
        "Дата и время;09.12.2026 02:05:07\r\n"
        "Единица;dBuV\r\n"
        "Гетеродин;9750 - 10600\r\n"
        "Гетеродин, МГц;10600\r\n"
        "Диапазон;Верхн.\r\n"
        "Поляризация;H / L\r\n"
        "Усилитель +9 dB;вкл\r\n"
        "Аттенюатор -20 dB;выкл\r\n"
        "Шаг, МГц;10\r\n"
        "Сдвиг, МГц;950\r\n"
        "Опора;9\r\n"
        "Коэффициент;0,4300\r\n"
        "\r\n"
        "Частота, МГц;ПЧ, МГц;Отсчёт;Уровень, dBuV;Максимум, dBuV;Минимум, dBuV;Среднее (2 из 4), dBuV\r\n"
        "11540;940;2;-3,01;-3,44;-3,87;-3,44\r\n"
        "11550;950;3;-2,58;-3,01;-3,44;-3,01\r\n";
    for (int i = 2; i < kSamples; ++i) {
        // Level of sample s: (s - 9) x 0.43 dB, i.e. (s - 9) x 43 hundredths.
        const long sweep = (i + 2 - 9) * 43, low = (i - 9) * 43, mean = (i + 1 - 9) * 43;
        expected += std::to_string(11550 + (i - 1) * 10) + ";" + std::to_string(950 + (i - 1) * 10) + ";" +
                    std::to_string(i + 2) + ";" + Hundredths(sweep) + ";" + Hundredths(mean) + ";" +
                    Hundredths(low) + ";" + Hundredths(mean) + "\r\n";
    }
    EXPECT_EQ(TraceCsv(t.shown(), h), expected);
    EXPECT_NE(expected.find("12810;2210;129;51,60;51,17;50,74;51,17\r\n"), std::string::npos)
        << "the last sample, one step short of the axis maximum";

    // The process locale does not change a byte.
    CommaLocale comma;
    if (comma.Name().empty()) GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(TraceCsv(t.shown(), h), expected) << comma.Name();
}

TEST(TraceCsv, OnlyTheToolsThatAreOnHaveColumns) {
    TraceTools t;
    SampleMeaning m = DefaultMeaning();
    m.loIndex = 2;
    m.axisMin = 4200;
    m.step = 1;
    m.unitIndex = 1;
    m.flags = kAtt20dBBit;  // V / R, lower band, +9 dB off, -20 dB on
    const LevelScale dbm = ComputeLevelScale(9, 4300, 1);
    t.Feed(Flat(255), m, dbm);
    TraceHeader h;
    h.when = {2027, 1, 2, 13, 4, 5};
    h.loCaption = "5150";
    const std::string csv = TraceCsv(t.shown(), h);
    EXPECT_NE(csv.find("Гетеродин, МГц;5150\r\n"), std::string::npos);
    EXPECT_NE(csv.find("Диапазон;Нижн.\r\nПоляризация;V / R\r\nУсилитель +9 dB;выкл\r\nАттенюатор -20 dB;вкл\r\n"),
              std::string::npos);
    EXPECT_NE(csv.find("\r\nЧастота, МГц;ПЧ, МГц;Отсчёт;Уровень, dBm\r\n4199;949;255;-2,58\r\n4200;950;255;-2,58\r\n"),
              std::string::npos);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 14 + kSamples);
    EXPECT_EQ(csv.find('\n'), csv.find("\r\n") + 1) << "every line ends in CRLF";
    for (std::size_t at = csv.find('\n'); at != std::string::npos; at = csv.find('\n', at + 1))
        ASSERT_EQ(csv[at - 1], '\r');
}

TEST(TraceFiles, DefaultNamesCarryDateAndTime) {
    EXPECT_EQ(DefaultFileName("Спектр", {2026, 12, 9, 2, 5, 7}, "png"), "Спектр 2026-12-09 02-05-07.png");
}
