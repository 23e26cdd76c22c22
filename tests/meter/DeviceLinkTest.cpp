#include "device/UsbLink.h"
#include "sim/Sim.h"

#ifdef _WIN32
#include <lusb0_usb.h>
#else
#include <usb.h>
#endif

#include <gtest/gtest.h>

class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override { EXPECT_EQ(sim::OpenHandles(), 0); }

    // The device a fresh operation opens, or -1.
    static int OpenedBySession() {
        std::size_t before = sim::Opened().size();
        device::MeterSession s;
        if (!s) return -1;
        EXPECT_EQ(sim::Opened().size(), before + 1);
        return sim::Opened().back();
    }
};

TEST_F(DeviceLinkTest, OnlyTheMetersVendorAndProductMatch) {
    sim::AddDevice(0, 0x16C0, 0x05DE);  // same vendor, other product
    sim::AddDevice(0, 0x16C1, 0x05DF);  // other vendor, same product
    EXPECT_EQ(OpenedBySession(), -1);
    EXPECT_EQ(sim::Calls().open, 0) << "a non-matching device was opened";
    int meter = sim::AddMeter(0);
    EXPECT_EQ(OpenedBySession(), meter);
    EXPECT_EQ(sim::Calls().open, 1);
}

TEST_F(DeviceLinkTest, FirstMeterInBusThenDeviceOrderAndNoSecondTry) {
    sim::AddBus();
    sim::AddBus();
    int onBus1 = sim::AddMeter(1);
    sim::AddDevice(0, 0x0001, 0x0002);
    int onBus0 = sim::AddMeter(0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(OpenedBySession(), onBus0);
    // When opening the first meter fails, the other is not tried.
    sim::SetOpenFails(onBus0, true);
    EXPECT_EQ(OpenedBySession(), -1);
    EXPECT_EQ(sim::Opened().size(), 3u);
    sim::Unplug(onBus0);
    EXPECT_EQ(OpenedBySession(), onBus1);
}

TEST_F(DeviceLinkTest, EveryOperationRescansAndClosesOnEveryPath) {
    sim::AddMeter();
    {
        device::MeterSession s;
        ASSERT_TRUE(s);
        EXPECT_EQ(sim::OpenHandles(), 1);
        // A second operation may open the same meter while the first is open.
        device::MeterSession t;
        EXPECT_TRUE(t);
        EXPECT_EQ(sim::OpenHandles(), 2);
    }
    EXPECT_EQ(sim::OpenHandles(), 0);
    try {
        device::MeterSession s;
        throw std::runtime_error("an error inside the operation");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(sim::OpenHandles(), 0);
    const sim::CallCounts& c = sim::Calls();
    EXPECT_EQ(c.init, 3);
    EXPECT_EQ(c.findBusses, 3);
    EXPECT_EQ(c.findDevices, 3);
    EXPECT_EQ(c.close, 3);
}

TEST_F(DeviceLinkTest, RequestTable) {
    using namespace device;
    struct Row { ControlRequest r; int type, req, value, index, length; };
    const Row rows[] = {
        {kReadSettings, 0xC0, 9, 1, 0, 248}, {kWriteSettings, 0x40, 1, 0, 0, 248},
        {kIdle, 0xC0, 9, 3, 0, 248},         {kDeviceInfo, 0xC0, 1, 0, 0, 7},
        {kFirmwareBlock, 0x40, 9, 2, 0, 132}, {kEndOfUpload, 0x40, 9, 1, 0, 7},
    };
    sim::AddMeter();
    device::MeterSession s;
    for (const Row& row : rows) {
        std::uint8_t buf[248] = {};
        s.Transfer(row.r, buf);
        const sim::Transfer& t = sim::Log().back();
        EXPECT_EQ(t.requestType, row.type);
        EXPECT_EQ(t.request, row.req);
        EXPECT_EQ(t.value, row.value);
        EXPECT_EQ(t.index, row.index);
        EXPECT_EQ(t.size, row.length);
        EXPECT_EQ(t.timeout, 5000);
        EXPECT_NE(t.kind, sim::Kind::Other);
    }
}

TEST_F(DeviceLinkTest, SimulatedMeterFaultsAndTimeouts) {
    int m = sim::AddMeter();
    auto& f = sim::MeterAt(m).FaultFor(sim::Kind::ReadSettings);
    f.fail = true;
    f.result = 247;
    f.afterCount = 1;
    device::MeterSession s;
    std::uint8_t buf[248];
    EXPECT_EQ(s.Transfer(device::kReadSettings, buf), 248);
    EXPECT_EQ(s.Transfer(device::kReadSettings, buf), 247);
    f = {};
    f.delayMs = 20;
    EXPECT_EQ(s.Transfer(device::kReadSettings, buf), 248);
    // A request to a device that is not the meter stalls.
    int other = sim::AddDevice(0, 1, 2);
    usb_find_devices();
    for (usb_bus* b = usb_get_busses(); b; b = b->next)
        for (struct usb_device* d = b->devices; d; d = d->next)
            if (d->descriptor.idVendor == 1) {
                usb_dev_handle* h = usb_open(d);
                char c[8];
                EXPECT_LT(usb_control_msg(h, 0xC0, 1, 0, 0, c, 7, 5000), 0);
                usb_close(h);
            }
    (void)other;
}
