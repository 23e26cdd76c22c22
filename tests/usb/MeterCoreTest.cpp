// The emulated meter's logic, on the host: its descriptors, its answers to
// the meter's requests and the HID driver's, the control text and the log line.
#include "tests/usb/EmulatedMeter.h"

#include <linux/usb/functionfs.h>

#include <gtest/gtest.h>

using usbmeter::EmulatedMeter;
using usbmeter::InterfaceClass;

namespace {

std::uint32_t Le32At(const std::vector<std::uint8_t>& v, std::size_t at) {
    return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | static_cast<std::uint32_t>(v[at + 3]) << 24;
}

// The descriptors of one speed, walked by their length bytes: their types.
std::vector<int> Types(const std::vector<std::uint8_t>& blob, std::size_t& at, std::uint32_t count) {
    std::vector<int> types;
    for (std::uint32_t i = 0; i < count; ++i) {
        EXPECT_LT(at + 1, blob.size());
        types.push_back(blob[at + 1]);
        at += blob[at];
    }
    return types;
}

}  // namespace

TEST(EmulatedMeterDescriptors, BlockIsWellFormedForBothClasses) {
    for (InterfaceClass cls : {InterfaceClass::Hid, InterfaceClass::Vendor}) {
        const auto d = usbmeter::FunctionDescriptors(cls);
        ASSERT_EQ(Le32At(d, 0), static_cast<std::uint32_t>(FUNCTIONFS_DESCRIPTORS_MAGIC_V2));
        EXPECT_EQ(Le32At(d, 4), d.size());
        // Requests addressed to the device must reach the function.
        EXPECT_TRUE(Le32At(d, 8) & FUNCTIONFS_ALL_CTRL_RECIP);
        EXPECT_EQ(Le32At(d, 8) & (FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC),
                  static_cast<std::uint32_t>(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC));
        const std::uint32_t fs = Le32At(d, 12), hs = Le32At(d, 16);
        std::size_t at = 20;
        const auto fsTypes = Types(d, at, fs);
        const auto hsTypes = Types(d, at, hs);
        EXPECT_EQ(at, d.size()) << "descriptor lengths do not add up to the block";
        const std::vector<int> want = cls == InterfaceClass::Hid ? std::vector<int>{4, 0x21, 5} : std::vector<int>{4, 5};
        EXPECT_EQ(fsTypes, want);
        EXPECT_EQ(hsTypes, want);
        EXPECT_EQ(d[20 + 5], cls == InterfaceClass::Hid ? 0x03 : 0xFF) << "interface class";
        if (cls == InterfaceClass::Hid) {
            // The HID descriptor announces the report descriptor's true length.
            EXPECT_EQ(d[29 + 7] | d[29 + 8] << 8, static_cast<int>(usbmeter::HidReportDescriptor().size()));
        }
    }
    const auto s = usbmeter::FunctionStrings();
    EXPECT_EQ(Le32At(s, 0), static_cast<std::uint32_t>(FUNCTIONFS_STRINGS_MAGIC));
    EXPECT_EQ(Le32At(s, 4), s.size());
}

TEST(EmulatedMeterAnswers, TheMetersRequestsAsTheSimulatedMeterAnswersThem) {
    EmulatedMeter m(InterfaceClass::Vendor);
    auto read = m.In({0xC0, 9, 1, 0, 248});
    EXPECT_FALSE(read.stall);
    ASSERT_EQ(read.reply.size(), 248u);
    EXPECT_TRUE(std::equal(read.reply.begin(), read.reply.end(), sim::DemoSettings().begin()));

    // A written block is kept for the next read.
    std::vector<std::uint8_t> block(248);
    for (int i = 0; i < 248; ++i) block[i] = static_cast<std::uint8_t>(255 - i);
    const usbmeter::Setup write{0x40, 1, 0, 0, 248};
    EXPECT_FALSE(m.BeforeOut(write).stall);
    m.Out(write, block.data(), 248);
    EXPECT_EQ(m.In({0xC0, 9, 1, 0, 248}).reply, block);
    EXPECT_EQ(m.In({0xC0, 9, 3, 0, 248}).reply, block) << "the idle reply is the settings block";

    const auto info = m.In({0xC0, 1, 0, 0, 7}).reply;
    EXPECT_EQ(info, (std::vector<std::uint8_t>{0, 128, 0, 0, 0x80, 0, 0}));
    EXPECT_EQ(m.In({0xC0, 9, 0xE002, 0xA3B6, 128}).reply.size(), 128u);

    // Firmware blocks land in flash at their 24-bit address.
    std::vector<std::uint8_t> fw(132, 0x5A);
    fw[0] = 2;
    fw[1] = 0x80;
    fw[2] = 0x01;
    fw[3] = 0x00;
    const usbmeter::Setup blockSetup{0x40, 9, 2, 0, 132};
    EXPECT_FALSE(m.BeforeOut(blockSetup).stall);
    m.Out(blockSetup, fw.data(), 132);
    EXPECT_EQ(m.meter().flash[0x17F], 0xFF);
    EXPECT_EQ(m.meter().flash[0x180], 0x5A);
    EXPECT_EQ(m.meter().flash[0x1FF], 0x5A);
    EXPECT_EQ(m.meter().flash[0x200], 0xFF);

    // An unknown request is refused, in either direction.
    EXPECT_TRUE(m.In({0xC0, 7, 0, 0, 8}).stall);
    EXPECT_TRUE(m.BeforeOut({0x40, 9, 5, 0, 8}).stall);
}

TEST(EmulatedMeterAnswers, TheHidDriversRequestsOnlyWithTheHidClass) {
    EmulatedMeter hid(InterfaceClass::Hid);
    auto report = hid.In({0x81, 6, 0x2200, 0, 255});
    EXPECT_FALSE(report.stall);
    EXPECT_EQ(report.reply, usbmeter::HidReportDescriptor());
    EXPECT_EQ(hid.In({0x81, 6, 0x2200, 0, 4}).reply.size(), 4u) << "never more than the host asked for";
    EXPECT_FALSE(hid.BeforeOut({0x21, 0x0A, 0, 0, 0}).stall);
    EXPECT_TRUE(hid.In({0xA1, 0x01, 0x0100, 0, 8}).stall) << "no input report to give";

    EmulatedMeter vendor(InterfaceClass::Vendor);
    EXPECT_TRUE(vendor.In({0x81, 6, 0x2200, 0, 255}).stall);
    EXPECT_TRUE(vendor.BeforeOut({0x21, 0x0A, 0, 0, 0}).stall);
}

TEST(EmulatedMeterControl, OrderedFaultsAndUnreadableLines) {
    const auto c = usbmeter::ParseControl(
        "# faults\n"
        "ReadSettings short 247\n"
        "Sweep stall after 2  # the third sweep on\n"
        "WriteSettings delay 300\n"
        "\n"
        "Bogus stall\n"
        "Idle short\n"
        "Idle stall after\n"
        "DeviceInfo shrink 3\n"
        "EndOfUpload stall after 1 extra\n");
    EXPECT_EQ(c.errors.size(), 5u);
    EmulatedMeter m(InterfaceClass::Vendor);
    m.SetFaults(c.faults);

    const auto shortRead = m.In({0xC0, 9, 1, 0, 248});
    EXPECT_FALSE(shortRead.stall);
    EXPECT_EQ(shortRead.reply.size(), 247u);

    for (int i = 0; i < 2; ++i) EXPECT_FALSE(m.In({0xC0, 9, 0xE002, 0xA3B6, 128}).stall) << i;
    EXPECT_TRUE(m.In({0xC0, 9, 0xE002, 0xA3B6, 128}).stall);
    EXPECT_TRUE(m.In({0xC0, 9, 0xE002, 0xA3B6, 128}).stall);

    EXPECT_EQ(m.BeforeOut({0x40, 1, 0, 0, 248}).delayMs, 300);
    EXPECT_FALSE(m.In({0xC0, 9, 3, 0, 248}).stall) << "the unreadable Idle lines ordered nothing";
    EXPECT_FALSE(m.BeforeOut({0x40, 9, 1, 0, 7}).stall);

    // New faults start counting afresh; none at all answers everything.
    m.SetFaults(usbmeter::ParseControl("Sweep stall after 1\n").faults);
    EXPECT_FALSE(m.In({0xC0, 9, 0xE002, 0xA3B6, 128}).stall);
    EXPECT_TRUE(m.In({0xC0, 9, 0xE002, 0xA3B6, 128}).stall);
    m.SetFaults(usbmeter::ParseControl("").faults);
    EXPECT_EQ(m.In({0xC0, 9, 1, 0, 248}).reply.size(), 248u);
    EXPECT_FALSE(m.In({0xC0, 9, 0xE002, 0xA3B6, 128}).stall);
}

TEST(EmulatedMeterControl, AStalledWriteLeavesTheBlock) {
    EmulatedMeter m(InterfaceClass::Hid);
    m.SetFaults(usbmeter::ParseControl("WriteSettings stall\n").faults);
    EXPECT_TRUE(m.BeforeOut({0x40, 1, 0, 0, 248}).stall);
    EXPECT_EQ(m.meter().settings, sim::DemoSettings());
    // A short count cannot be made on a host-to-device request: taken whole.
    m.SetFaults(usbmeter::ParseControl("WriteSettings short 100\n").faults);
    const auto d = m.BeforeOut({0x40, 1, 0, 0, 248});
    EXPECT_FALSE(d.stall);
    EXPECT_EQ(d.note, "ordered-short-ignored");
}

TEST(EmulatedMeterLog, OneLineWithTheSetupAndTheOutcome) {
    EXPECT_EQ(usbmeter::LogLine(12.5, {0xC0, 9, 0xE002, 0xA3B6, 128}, "sent=128"),
              "12.500000 type=0xc0 req=9 value=0xe002 index=0xa3b6 len=128 kind=Sweep sent=128");
    EXPECT_EQ(usbmeter::LogLine(0, {0x81, 6, 0x2200, 0, 34}, "sent=22"),
              "0.000000 type=0x81 req=6 value=0x2200 index=0x0000 len=34 kind=Other sent=22");
}
