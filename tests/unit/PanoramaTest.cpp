#include "common/Convert.h"
#include "device/UsbLink.h"
#include "panorama/Panorama.h"

#include <gtest/gtest.h>

using namespace panorama;

TEST(PanoramaControlWord, SwitchesSetClearOrKeepTheirBits) {
    // The default switches: H / L, upper band, +9 dB on, -20 dB off.
    EXPECT_EQ(FoldControlWord(0, 0, 0, true, false), 0xE000u);
    EXPECT_EQ(FoldControlWord(0xFFFF, 1, 1, false, false), 0x0FFFu);
    EXPECT_EQ(FoldControlWord(0, 1, 0, false, true), 0x5000u);
    // No selection keeps the bit as it was.
    EXPECT_EQ(FoldControlWord(0xC000, -1, -1, false, false), 0xC000u);
    EXPECT_EQ(FoldControlWord(0x0000, -1, -1, true, false), 0x2000u);
}

TEST(PanoramaControlWord, SweepRequestWords) {
    auto r = device::SweepRequest(0xE000, 950, 10);
    EXPECT_EQ(r.requestType, 0xC0);
    EXPECT_EQ(r.request, 9);
    EXPECT_EQ(r.value, 0xE002);
    EXPECT_EQ(r.index, 0xA3B6);
    EXPECT_EQ(r.length, 128);
    // Only the high byte of the word travels; the low byte is the selector.
    EXPECT_EQ(device::SweepRequest(0x12FF, 0, 1).value, 0x1202);
    // Shift and step keep their low 12 and 4 bits.
    EXPECT_EQ(device::SweepRequest(0, 2150, 1).index, 0x1866);
    EXPECT_EQ(device::SweepRequest(0, 4096 + 5, 17).index, 0x1005);
}

TEST(PanoramaLevels, DefaultScaleInDbuvAndDbm) {
    LevelScale uv = ComputeLevelScale(9, 4300, 0);
    EXPECT_EQ(uv.opor, 9);
    EXPECT_FLOAT_EQ(uv.koef, 0.43f);
    EXPECT_EQ(uv.unitLabel, "dBuV");
    EXPECT_EQ(uv.oporLabel, "Опорa 9");
    EXPECT_EQ(uv.koefLabel, "Коэф 0,4300");
    EXPECT_NEAR(Level(100, uv.opor, uv.koef), 39.13, 0.005);
    EXPECT_NEAR(Level(0, uv.opor, uv.koef), -3.87, 0.005);
    EXPECT_NEAR(Level(255, uv.opor, uv.koef), 105.78, 0.005);
    EXPECT_EQ(Level(9, uv.opor, uv.koef), 0.0f);

    LevelScale dbm = ComputeLevelScale(9, 4300, 1);
    EXPECT_EQ(dbm.opor, 9 + 252);
    EXPECT_EQ(dbm.unitLabel, "dBm");
    EXPECT_EQ(dbm.oporLabel, "Опорa 9") << "the label shows the bar, not the shifted reference";
    EXPECT_NEAR(Level(100, dbm.opor, dbm.koef), -69.23, 0.005);
    EXPECT_NEAR(Level(0, dbm.opor, dbm.koef), -112.23, 0.005);
    EXPECT_NEAR(Level(255, dbm.opor, dbm.koef), -2.58, 0.005);
    // No unit selected counts as dBm.
    EXPECT_EQ(ComputeLevelScale(9, 4300, -1).opor, 261);
}

TEST(PanoramaLevels, ScaleEndsAndDbmShift) {
    LevelScale lo = ComputeLevelScale(0, 4000, 1);
    EXPECT_FLOAT_EQ(lo.koef, 0.4f);
    EXPECT_EQ(lo.opor, 271);
    LevelScale hi = ComputeLevelScale(0, 8000, 1);
    EXPECT_FLOAT_EQ(hi.koef, 0.8f);
    EXPECT_EQ(hi.opor, 135);
    // The truncated shift is the integer quotient at every position.
    for (int k = 4000; k <= 8000; ++k) ASSERT_EQ(ComputeLevelScale(0, k, 1).opor, 1087500 / k) << k;
}

TEST(PanoramaView, SamplesStartOneStepLeftOfTheAxis) {
    EXPECT_EQ(SampleX(11550, 0, 10), 11540);
    EXPECT_EQ(SampleX(11550, 1, 10), 11550);
    EXPECT_EQ(SampleX(11550, 127, 10), 11550 + 1260);
}

TEST(PanoramaView, LocalOscillatorRule) {
    EXPECT_EQ(StartFrequency(0, 0, 950, ""), 11550);
    EXPECT_EQ(StartFrequency(0, 1, 950, ""), 10700);
    EXPECT_EQ(StartFrequency(0, -1, 950, ""), 10700);
    EXPECT_EQ(StartFrequency(1, 0, 950, ""), 11700);
    EXPECT_EQ(StartFrequency(2, 0, 950, ""), 4200);
    EXPECT_EQ(StartFrequency(3, 0, 950, "10000"), 10950);
    EXPECT_EQ(StartFrequency(-1, 0, 950, "garbage"), std::nullopt);
    try {
        StartFrequency(3, 0, 950, "1000 ");
        ADD_FAILURE() << "a blank last digit must not convert";
    } catch (const common::UserError& e) {
        EXPECT_STREQ(e.what(), "'1000 ' is not a valid integer value");
    }
    // An own oscillator text near the 32-bit limit: the sum is refused, not
    // wrapped to a negative start.
    EXPECT_EQ(StartFrequency(3, 0, 2150, "2147481497"), 2147483647);
    for (const char* text : {"2147481498", "2147483647", "-2147483648"}) {
        try {
            StartFrequency(3, 0, text[0] == '-' ? -1 : 2150, text);
            ADD_FAILURE() << text << " must not fit";
        } catch (const common::UserError& e) {
            EXPECT_STREQ(e.what(), "Range check error") << text;
        }
    }
    EXPECT_EQ(StepLabel(10), "Шаг 10 МГц");
    EXPECT_EQ(ShiftFromPosition(0), 2150);
    EXPECT_EQ(ShiftFromPosition(1200), 950);
}

TEST(PanoramaView, ReadoutUnderTheMouse) {
    ReadoutInput in;
    in.x = 133; in.y = 215;
    in.levelMin = 45; in.levelMax = 125;
    in.step = 10; in.shift = 950; in.startFrec = 11550; in.polIndex = 0;
    EXPECT_EQ(ReadoutText(in), "85    11750 МГц  H    ПЧ 1150 МГц ");

    in.x = 33; in.y = 395; in.polIndex = 1;
    EXPECT_EQ(ReadoutText(in), "45    11550 МГц  V    ПЧ 950 МГц ");
    in.x = 673; in.y = 35; in.polIndex = -1;
    EXPECT_EQ(ReadoutText(in), "125    12830 МГц2230 МГц ");
    in.x = 28;
    EXPECT_EQ(ReadoutText(in), "125    11540 МГц940 МГц ");
    // Offsets truncate toward zero: 3 pixels left of the origin is no step.
    in.x = 30; in.step = 1;
    EXPECT_EQ(ReadoutText(in), "125    11550 МГц950 МГц ");
    // Negative levels truncate toward zero: -74.9 reads -74.
    in.levelMin = -75; in.levelMax = 5; in.y = 395 - 1;  // -75 + 80/360 = -74.78
    EXPECT_EQ(ReadoutText(in).substr(0, 3), "-74");
}
