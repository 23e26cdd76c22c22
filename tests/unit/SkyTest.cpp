// Transponder plans, the transponder finder and the satellite naming.
#include "sky/Finder.h"
#include "sky/Naming.h"
#include "sky/Plans.h"
#include "sky/SatelliteList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

std::string Message(std::string_view text) {
    const std::string error = sky::ParseScanFile(text).error;
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

// A satellites.xml as the reader hands it over: one element a line.
class ListFeed {
public:
    using Attributes = sky::SatelliteListBuilder::Attributes;
    ListFeed() { b_.Start("satellites", {}, line_++); }
    // A <sat> and its transponders, each {frequency kHz, symbol rate,
    // polarisation}, a null one not written.
    ListFeed& Sat(Attributes sat, const std::vector<std::array<const char*, 3>>& transponders) {
        b_.Start("sat", sat, line_++);
        for (const auto& values : transponders) {
            Attributes t;
            for (int k = 0; k < 3; ++k)
                if (values[k]) t.emplace_back(std::array{"frequency", "symbol_rate", "polarization"}[k], values[k]);
            b_.Start("transponder", t, line_++);
            b_.End();
        }
        b_.End();
        return *this;
    }
    ListFeed& Sat(const char* position, const char* name, const std::vector<std::array<const char*, 3>>& transponders) {
        return Sat({{"name", name}, {"position", position}}, transponders);
    }
    sky::SatelliteList Finish() {
        b_.End();
        return b_.Finish();
    }

private:
    sky::SatelliteListBuilder b_;
    long long line_ = 1;
};

TEST(SatelliteList, PositionsBandsAndNamesAsListsWriteThem) {
    const std::array<const char*, 3> ku{"11000000", "27500000", "0"}, c{"3700000", "3000000", "3"};
    const sky::SatelliteList list =
        ListFeed()
            .Sat("1801", "180.0E Intelsat 18 (C-band)", {c})
            .Sat("-1801", "Twin West", {c})
            .Sat("3550", "Eutelsat 5 West B (5.0°W)", {ku})
            .Sat("-1770", "177.0W NSS 9", {ku})
            .Sat("-1771", "177.0W NSS 9 C", {c, {"3900000", "3000000", "2"}})
            .Sat("31", "Eutelsat 3B", {c})  // C band at 3.1E with no 3.0E beside it: where written
            .Sat("130", "Hot Bird 13B (13.0E)", {ku, c, {"10719000", "27500000", "1"}})
            .Sat("90", "9E - Eutelsat 9B", {ku})
            .Sat("70", "7.0W Nilesat", {ku})  // another place: the name as written
            .Sat("160", "16.0E", {ku})
            .Finish();
    ASSERT_TRUE(list) << list.error;
    std::vector<std::string> plans;
    for (const sky::Satellite& s : list.plans)
        plans.push_back(s.position + (s.cBand ? " C " : " Ku ") + s.name + " " + std::to_string(s.transponders.size()));
    EXPECT_EQ(plans, (std::vector<std::string>{
                         "180.0W C Twin West 1", "177.0W Ku NSS 9 1", "177.0W C NSS 9 C 2", "5.0W Ku Eutelsat 5 West B 1",
                         "3.1E C Eutelsat 3B 1", "7.0E Ku 7.0W Nilesat 1", "9.0E Ku Eutelsat 9B 1",
                         "13.0E Ku Hot Bird 13B 2", "13.0E C Hot Bird 13B 1", "16.0E Ku 16.0E 1",
                         "180.0E C Intelsat 18 (C-band) 1"}));
    EXPECT_DOUBLE_EQ(list.plans[0].longitude, -180);
    EXPECT_DOUBLE_EQ(list.plans[7].transponders[0].frequency, 10719);  // ascending
    EXPECT_EQ(list.plans[7].transponders[0].polarisation, sky::Polarisation::V);
    EXPECT_EQ(list.plans[8].transponders[0].polarisation, sky::Polarisation::R);
    EXPECT_DOUBLE_EQ(list.plans[8].transponders[0].symbolRate, 3);
    EXPECT_EQ(list.positions, 9u);
    EXPECT_EQ(list.transponders, 13u);
    EXPECT_EQ(list.skipped, 0u);
    EXPECT_EQ(sky::LoadedText(list), "Загружено: 9 позиций, 13 транспондеров");
}

TEST(SatelliteList, BadEntriesAreSkippedAndCountedTheRestLoads) {
    const std::array<const char*, 3> ku{"11000000", "27500000", "0"};
    ListFeed feed;
    feed.Sat("130", "Hotbird",
             {ku, {"11100000", "27500000", "H"}, {"", "27500000", "0"}, {"12x", "1", "0"}, {"11400000", nullptr, "0"}, ku})
        .Sat("3600", "Nowhere", {ku, ku})  // counted once, its transponders with it
        .Sat("-1802", "Nowhere", {})
        .Sat({{"position", "192"}}, {ku})
        .Sat({{"name", "A"}, {"position", "192"}, {"flags", "1"}}, {{"11200000", "0", "1"}, {"11300000", "22000000", "3"}})
        .Sat({{"name", "B"}, {"position", "235"}}, {});
    const sky::SatelliteList list = feed.Finish();
    ASSERT_TRUE(list) << list.error;
    EXPECT_EQ(list.plans.size(), 2u);  // a satellite without transponders names nothing
    EXPECT_EQ(list.transponders, 2u);  // the same one listed twice once
    EXPECT_EQ(list.skipped, 8u);
    EXPECT_EQ(list.firstSkipped, "строка 4: неверная поляризация");
    EXPECT_EQ(sky::LoadedText(list),
              "Загружено: 2 позиции, 2 транспондера; пропущено записей: 8 (строка 4: неверная поляризация)");

    // Russian plural forms, thousands grouped.
    std::string counts;
    for (std::size_t n : {0, 1, 2, 4, 5, 11, 12, 14, 21, 22, 25, 101, 111, 112, 1001, 9876, 1234567})
        counts += sky::CountText(n, "позиция", "позиции", "позиций") + ", ";
    EXPECT_EQ(counts, "0 позиций, 1 позиция, 2 позиции, 4 позиции, 5 позиций, 11 позиций, 12 позиций, 14 позиций, "
                      "21 позиция, 22 позиции, 25 позиций, 101 позиция, 111 позиций, 112 позиций, 1 001 позиция, "
                      "9 876 позиций, 1 234 567 позиций, ");

    // Refused whole: nothing but bad entries, another root, nesting past any list.
    EXPECT_EQ(ListFeed().Sat("9999", "X", {ku}).Finish().error,
              "строка 1: в списке нет ни одного спутника; пропущено записей: 1 (строка 2: неверная позиция спутника)");
    EXPECT_EQ(ListFeed().Sat("130", "X", {}).Finish().error, "строка 1: в списке нет ни одного транспондера");
    sky::SatelliteListBuilder html;
    EXPECT_FALSE(html.Start("html", {}, 3));
    EXPECT_FALSE(html.Start("satellites", {}, 4));
    EXPECT_EQ(html.Finish().error, "строка 3: корневой элемент не <satellites>");
    sky::SatelliteListBuilder deep;
    bool going = deep.Start("satellites", {}, 1);
    for (int k = 0; k < 100 && going; ++k) going = deep.Start("x", {}, 2);
    EXPECT_EQ(deep.CutShort(2).error, "строка 2: слишком глубокая вложенность элементов");
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
        const sky::NamingResult r = sky::NameSatellite(c.satellites, {&l, &f, 950, 10, lo, true, std::nullopt, {}});
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
    const sky::NamingResult r = sky::NameSatellite(c.satellites, {&flat, &f, 950, 10, lo, true, std::nullopt, {}});
    EXPECT_FALSE(r.named) << r.tooltip;
    EXPECT_EQ(r.text, "Спутник не определён");
}

// Between two positions, or with half the sky gone, the naming may name
// either position the dish is near, or none, but nothing farther away; a
// site whose horizon hides the position leaves it out.
TEST(SkyNaming, AbstainsRatherThanMisnamesAndKeepsToTheHorizon) {
    const sky::Catalogue c = sky::LoadScanFolder(SCAN_TABLES_DIR);
    const auto at = [&](const char* position) {
        return std::find_if(c.satellites.begin(), c.satellites.end(),
                            [&](const sky::Satellite& s) { return s.position == position && !s.cBand; });
    };
    const auto hotbird = at("13.0E"), eutelsat16 = at("16.0E");
    ASSERT_NE(hotbird, c.satellites.end());
    ASSERT_NE(eutelsat16, c.satellites.end());
    const Oscillator lo{9750, false};
    const auto plateausOf = [&](const sky::Satellite& sat, double height, int keepEvery) {
        std::vector<Plateau> plateaus;
        int k = 0;
        for (const sky::Transponder& t : sat.transponders)
            if (sky::OnHorizontalSwitch(t.polarisation) && k++ % keepEvery == 0)
                plateaus.push_back({lo.If(t.frequency), t.Width(), height + (k * 5) % 7});
        return plateaus;
    };
    const auto name = [&](const std::vector<Plateau>& plateaus, std::optional<pointing::Site> site) {
        const Levels l = MakeSweep(950, 10, plateaus);
        sky::Finding f;
        sky::FindTransponders(l, 950, 10, lo, f);
        return sky::NameSatellite(c.satellites, {&l, &f, 950, 10, lo, true, site, {}});
    };
    std::vector<Plateau> between = plateausOf(*hotbird, 4, 1);
    for (const Plateau& p : plateausOf(*eutelsat16, 4, 1)) between.push_back(p);
    for (const auto& [plateaus, near] : {std::pair{between, std::vector<std::string>{"13.0E", "16.0E"}},
                                         std::pair{plateausOf(*hotbird, 3, 2), std::vector<std::string>{"13.0E"}}}) {
        const sky::NamingResult r = name(plateaus, std::nullopt);
        if (r.named) {
            EXPECT_NE(std::find(near.begin(), near.end(), r.best[0].satellite->position), near.end()) << r.text;
        }
    }
    // Seen from Moscow 13.0E is named; from Denver it lies below the horizon.
    const std::vector<Plateau> full = plateausOf(*hotbird, 8, 1);
    const sky::NamingResult fromMoscow = name(full, pointing::Site{55.7, 37.6});
    EXPECT_TRUE(fromMoscow.named) << fromMoscow.tooltip;
    const sky::NamingResult fromDenver = name(full, pointing::Site{39.7, 255.0});
    EXPECT_FALSE(fromDenver.named && fromDenver.best[0].satellite->position == "13.0E");
    for (const sky::Candidate& k : fromDenver.best) EXPECT_GT(k.satellite->longitude, -180 + 75) << fromDenver.tooltip;
}

TEST(SkyNaming, HoldShowsANameOnlyOnceItHeldForItsTime) {
    sky::Satellite a, b;
    a.position = "13.0E";
    b.position = "16.0E";
    const auto naming = [](const sky::Satellite* s) {
        sky::NamingResult r;
        r.named = s != nullptr;
        r.text = s ? s->position : "Спутник не определён";
        if (s) r.best.push_back({s});
        return r;
    };
    sky::NameHold hold(0.8);
    for (double t : {0.0, 0.2, 0.4, 0.6}) EXPECT_FALSE(hold.Take(naming(&a), t).named) << t;
    EXPECT_EQ(hold.Take(naming(&a), 0.8).text, "13.0E");
    // Another position, or none, takes the name away at once and starts again.
    EXPECT_EQ(hold.Take(naming(&b), 1.0).text, "Спутник не определён");
    EXPECT_FALSE(hold.Take(naming(&b), 1.6).named);
    EXPECT_TRUE(hold.Take(naming(&b), 1.8).named);
    EXPECT_FALSE(hold.Take(naming(nullptr), 2.0).named);
    EXPECT_FALSE(hold.Take(naming(&b), 2.2).named);
}
