// Transponder plans, the transponder finder and the satellite naming.
#include "sky/Finder.h"
#include "sky/Naming.h"
#include "sky/Plans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using panorama::Levels;
using panorama::Oscillator;

namespace {

// A sweep of levels: a floor of 40 dB with some noise, plus plateaus (IF
// centre, width, height) with steep edges, sample i at its IF.
struct Plateau {
    double centre, width, height;
};
Levels MakeSweep(std::int32_t shift, std::uint32_t step, const std::vector<Plateau>& plateaus, double noise = 0.4,
                 unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0, noise);
    Levels l;
    for (int i = 0; i < panorama::kSamples; ++i) {
        const double f = panorama::SampleIf(shift, step, i);
        double p = 0;
        for (const Plateau& t : plateaus) {
            const double d = (f - t.centre) / (t.width / 2);
            p += std::pow(10.0, t.height / 10) / (1 + std::pow(d, 12));
        }
        l[i] = static_cast<float>(40 + 10 * std::log10(1 + p) + n(rng));
    }
    return l;
}

sky::Finding Find(const Levels& l, std::int32_t shift, std::uint32_t step) {
    sky::Finding f;
    sky::FindTransponders(l, shift, step, Oscillator{9750, false}, f);
    return f;
}

std::string Message(std::string_view text, bool xml = false) {
    const std::string error = xml ? sky::ParseSatellitesXml(text).error : sky::ParseScanFile(text).error;
    return error.empty() ? "accepted" : error;
}

}  // namespace

TEST(SkyPlans, EveryFileOfTheDataSetIsReadAndMergedPerPosition) {
    const sky::Catalogue c = sky::LoadScanFolder(SCAN_TABLES_DIR);
    EXPECT_TRUE(c.refused.empty()) << c.refused.front();
    ASSERT_GT(c.satellites.size(), 150u);
    std::size_t transponders = 0;
    for (const sky::Satellite& s : c.satellites) transponders += s.transponders.size();
    EXPECT_GT(transponders, 8000u);
    const auto at = [&](const std::string& pos, bool cBand) {
        const auto it = std::find_if(c.satellites.begin(), c.satellites.end(),
                                     [&](const sky::Satellite& s) { return s.position == pos && s.cBand == cBand; });
        return it == c.satellites.end() ? nullptr : &*it;
    };
    const sky::Satellite* hotbird = at("13.0E", false);
    ASSERT_NE(hotbird, nullptr);
    EXPECT_EQ(hotbird->name, "Hotbird");
    EXPECT_DOUBLE_EQ(hotbird->transponders.front().frequency, 10719);  // MHz, sorted
    EXPECT_DOUBLE_EQ(hotbird->transponders.front().symbolRate, 27.5);
    const sky::Satellite* amc9c = at("83.0W", true);
    ASSERT_NE(amc9c, nullptr);
    EXPECT_DOUBLE_EQ(amc9c->longitude, -83);
    EXPECT_LT(amc9c->transponders.back().frequency, 4300);
    // 19.2E comes in several files and is one plan.
    EXPECT_EQ(std::count_if(c.satellites.begin(), c.satellites.end(),
                            [](const sky::Satellite& s) { return s.position == "19.2E" && !s.cBand; }),
              1);
    EXPECT_FALSE(sky::LoadScanFolder(SCAN_TABLES_DIR "/no such folder").refused.empty());
}

TEST(SkyPlans, ScanFilesAreReadTolerantlyAndRefusedWithWhereAndWhy) {
    const auto plan = sky::ParseScanFile(
        "\xEF\xBB\xBF# comment\r\n[CHANNEL]\r\n\tDELIVERY_SYSTEM = DVBS2\r\n\tFREQUENCY = 11000000\r\n"
        "\tPOLARIZATION = LEFT\r\n\tSYMBOL_RATE = 30000000\r\n\tSTREAM_ID = 3\r\n\n[Other name]\n"
        "FREQUENCY=10900000\nPOLARIZATION=RIGHT\nSYMBOL_RATE=2000000\n").plans;
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_DOUBLE_EQ(plan[0].frequency, 10900);
    EXPECT_EQ(plan[0].polarisation, sky::Polarisation::R);
    EXPECT_DOUBLE_EQ(plan[1].Width(), 40.5);

    const std::string ok = "[C]\nFREQUENCY = 10719000\nPOLARIZATION = VERTICAL\nSYMBOL_RATE = 27500000\n";
    EXPECT_EQ(Message(""), "в файле нет ни одного канала");
    EXPECT_EQ(Message("FREQUENCY = 1\n" + ok), "строка 1: значение до первого заголовка канала");
    EXPECT_EQ(Message(ok + "garbage\n"), "строка 5: строка не вида КЛЮЧ = ЗНАЧЕНИЕ");
    EXPECT_EQ(Message("[C\n"), "строка 1: заголовок канала без закрывающей скобки");
    EXPECT_EQ(Message("[C]\nFREQUENCY = 10719x\n"), "строка 2: неверная частота");
    EXPECT_EQ(Message("[C]\nFREQUENCY = 99999999999999\n"), "строка 2: неверная частота");
    EXPECT_EQ(Message("[C]\nFREQUENCY = 10719000\nPOLARIZATION = SIDEWAYS\n"), "строка 3: неизвестная поляризация");
    EXPECT_EQ(Message("[C]\nFREQUENCY = 10719000\nSYMBOL_RATE = 27500000\n" + ok), "строка 1: в канале нет POLARIZATION");

    const auto name = sky::ParseScanFileName("AMC9_C-83.0W");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->name, "AMC9");
    EXPECT_TRUE(name->cBand);
    EXPECT_EQ(name->position, "83.0W");
    EXPECT_EQ(sky::ParseScanFileName("Eutelsat5_5.0W")->position, "5.0W");
    EXPECT_EQ(sky::ParseScanFileName("Sat-13E")->position, "13.0E");
    for (const char* bad : {"README", "Hotbird-13.0", "-13.0E", "Sat-.5E", "Sat-1.2.3E", "Sat-400.0E"})
        EXPECT_FALSE(sky::ParseScanFileName(bad)) << bad;
}

TEST(SkyPlans, SatellitesXmlGoodAndBad) {
    const auto sats = sky::ParseSatellitesXml(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by hand -->\n<satellites>\n"
        "  <sat name=\"Hot Bird &amp; Co\" flags=\"0\" position=\"130\">\n"
        "    <transponder frequency=\"12111000\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"3\"/>\n"
        "    <transponder frequency='10719000' symbol_rate='27500000' polarization='0'/>\n"
        "  </sat>\n  <sat name=\"Hispasat\" position=\"-300\"><transponder frequency=\"3700000\" "
        "symbol_rate=\"3000000\" polarization=\"3\"/></sat>\n</satellites>\n").plans;
    ASSERT_EQ(sats.size(), 2u);
    EXPECT_EQ(sats[0].name, "Hot Bird & Co");
    EXPECT_EQ(sats[0].position, "13.0E");
    ASSERT_EQ(sats[0].transponders.size(), 2u);
    EXPECT_DOUBLE_EQ(sats[0].transponders[0].frequency, 10719);
    EXPECT_EQ(sats[0].transponders[1].polarisation, sky::Polarisation::V);
    EXPECT_EQ(sats[1].position, "30.0W");
    EXPECT_EQ(sats[1].transponders[0].polarisation, sky::Polarisation::R);
    EXPECT_TRUE(sats[1].cBand);

    const std::string head = "<satellites><sat name=\"A\" position=\"130\">";
    const std::string tp = "<transponder frequency=\"11000000\" symbol_rate=\"27500000\" polarization=\"0\"/>";
    EXPECT_EQ(Message(head + tp + "</sat></satellites>", true), "accepted");
    EXPECT_EQ(Message(head + tp + "</sat>", true), "строка 1: файл оборван внутри <satellites>");
    EXPECT_EQ(Message(head + tp + "</satellites></sat>", true),
              "строка 1: закрывающий тег </satellites> не к месту");
    EXPECT_EQ(Message(head + "<transponder frequency=\"11000000\" polarization=\"0\"/></sat></satellites>", true),
              "строка 1: у <transponder> нет атрибута symbol_rate");
    EXPECT_EQ(Message(head + "<transponder frequency=\"11x\" symbol_rate=\"1\" polarization=\"0\"/></sat></satellites>", true),
              "строка 1: неверная частота");
    EXPECT_EQ(Message(head + "<transponder frequency=\"1\" symbol_rate=\"1\" polarization=\"4\"/></sat></satellites>", true),
              "строка 1: неверная поляризация");
    EXPECT_EQ(Message("<satellites><sat name=\"A\" position=\"1x\"/></satellites>", true),
              "строка 1: неверная позиция спутника");
    EXPECT_EQ(Message("<satellites><sat name=\"A\" position=\"1\" position=\"2\"/></satellites>", true),
              "строка 1: атрибут position дважды");
    EXPECT_EQ(Message("<html></html>", true), "строка 1: корневой элемент не <satellites>");
    EXPECT_EQ(Message("junk", true), "строка 1: текст вне корневого элемента");
    EXPECT_EQ(Message("<satellites>\n<sat name=\"A&bogus;\" position=\"1\"/></satellites>", true),
              "строка 2: неизвестная ссылка &bogus;");
    EXPECT_EQ(Message("<satellites></satellites>", true), "в файле нет ни одного спутника");
}

TEST(SkyFinder, SamplesSitWhereTheChartPutsThem) {
    EXPECT_DOUBLE_EQ(panorama::SampleIf(950, 10, 1), 950);
    EXPECT_DOUBLE_EQ(panorama::SampleAtIf(950, 10, 1200), 26);
    EXPECT_DOUBLE_EQ(panorama::OscillatorOfAxis(0, 11550, 950).Rf(panorama::SampleIf(950, 10, 2)), 11560);
    // C band: the radio frequency falls as the IF rises, whatever the axis shows.
    const Oscillator c = panorama::OscillatorOfAxis(2, 4200, 950);
    EXPECT_DOUBLE_EQ(c.Rf(1000), 4150);
    EXPECT_DOUBLE_EQ(c.If(4150), 1000);
}

TEST(SkyFinder, FindsAdjacentTranspondersAtEveryStep) {
    for (std::uint32_t step : {1u, 2u, 4u}) {
        const std::int32_t shift = 1000;
        const double a = shift + 40 * step, b = a + 41;  // 27.5 Msym/s neighbours, a 4 MHz gap
        const sky::Finding f = Find(MakeSweep(shift, step, {{a, 36, 12}, {b, 36, 15}}), shift, step);
        ASSERT_EQ(f.found.size(), 2u) << "step " << step;
        EXPECT_NEAR(f.found[0].centreIf, a, step / 2.0 + 1);
        EXPECT_NEAR(f.found[1].centreIf, b, step / 2.0 + 1);
        EXPECT_NEAR(f.found[1].centreRf, b + 9750, step / 2.0 + 1);
        EXPECT_NEAR(f.found[1].height, 15, 2);
        EXPECT_NEAR(f.found[0].width, 36, step + 2.0);
    }
    // At 10 MHz a 4 MHz gap may fall between two samples; two with a free
    // channel between them are two.
    const sky::Finding f = Find(MakeSweep(950, 10, {{1300, 30, 10}, {1380, 30, 10}}), 950, 10);
    ASSERT_EQ(f.found.size(), 2u);
    EXPECT_NEAR(f.found[0].centreIf, 1300, 5);
    EXPECT_NEAR(f.found[1].centreIf, 1380, 5);
}

TEST(SkyFinder, EdgeFlatAndSaturatedSweeps) {
    // Cut by the sweep's first sample on the axis: found, marked partial.
    sky::Finding f = Find(MakeSweep(950, 10, {{955, 36, 12}, {1500, 30, 12}}), 950, 10);
    ASSERT_EQ(f.found.size(), 2u);
    EXPECT_TRUE(f.found[0].partial);
    EXPECT_FALSE(f.found[1].partial);
    // Flat, with noise and a tilt: nothing.
    Levels tilted = MakeSweep(950, 10, {}, 0.8);
    for (int i = 0; i < panorama::kSamples; ++i) tilted[i] += 8.0f * i / 127;
    EXPECT_TRUE(Find(tilted, 950, 10).found.empty());
    // Saturated: every sample at the scale's top is no transponder; a
    // plateau clipped at the top still is one.
    Levels top;
    top.fill(105.78f);
    EXPECT_TRUE(Find(top, 950, 10).found.empty());
    Levels clipped = MakeSweep(950, 4, {{1200, 30, 30}});
    for (float& v : clipped) v = std::min(v, 60.0f);
    f = Find(clipped, 950, 4);
    ASSERT_EQ(f.found.size(), 1u);
    EXPECT_NEAR(f.found[0].centreIf, 1200, 3);
}

TEST(SkyNaming, NamesHotbirdWithAndWithoutOffsetAndNotAFlatSweep) {
    const sky::Catalogue c = sky::LoadScanFolder(SCAN_TABLES_DIR);
    const auto hotbird = std::find_if(c.satellites.begin(), c.satellites.end(),
                                      [](const sky::Satellite& s) { return s.position == "13.0E" && !s.cBand; });
    ASSERT_NE(hotbird, c.satellites.end());
    const Oscillator lo{9750, false};
    for (int drift : {0, 3, -4}) {
        std::vector<Plateau> plateaus;
        int k = 0;
        for (const sky::Transponder& t : hotbird->transponders)
            if (sky::OnHorizontalSwitch(t.polarisation)) plateaus.push_back({lo.If(t.frequency - drift), t.Width(), 8.0 + (k++ * 5) % 12});
        const Levels l = MakeSweep(950, 10, plateaus);
        sky::Finding f;
        sky::FindTransponders(l, 950, 10, lo, f);
        const sky::NamingResult r = sky::NameSatellite(c.satellites, {&l, &f, 950, 10, lo, true});
        ASSERT_TRUE(r.named) << r.tooltip;
        EXPECT_EQ(r.best[0].satellite, &*hotbird);
        EXPECT_NEAR(r.best[0].offset, drift, 3);  // within a third of the 10 MHz step
        EXPECT_EQ(r.text.rfind("13.0E Hotbird (", 0), 0u) << r.text;
        EXPECT_NE(r.text.find(", гетеродин "), std::string::npos);
        EXPECT_EQ(std::count(r.tooltip.begin(), r.tooltip.end(), '\n'), 2);
    }
    const Levels flat = MakeSweep(950, 10, {});
    sky::Finding f;
    sky::FindTransponders(flat, 950, 10, lo, f);
    const sky::NamingResult r = sky::NameSatellite(c.satellites, {&flat, &f, 950, 10, lo, true});
    EXPECT_FALSE(r.named) << r.tooltip;
    EXPECT_EQ(r.text, "Спутник не определён");
}
