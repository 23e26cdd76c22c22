// The device link's operations through the real libusb-0.1 and the kernel's
// USB stack, against the emulated meter. Runs inside the test VM; elsewhere
// every test is skipped. Lines starting "FIGURE" report what the real stack
// returned where the simulated meter has its own answer.
#include "device/UsbLink.h"
#include "firmware/HexLoader.h"
#include "firmware/Upload.h"
#include "panorama/Panorama.h"
#include "settings/Exchange.h"
#include "sim/Meter.h"
#include "tests/usb/RealStack.h"

#include <usb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

using namespace std::chrono_literals;
using realstack::MsSince;

namespace {

// Records every box with the USB files open while it is shown; Yes to every question.
struct Prompt : common::UserPrompt {
    std::vector<std::string> messages;
    std::vector<std::size_t> filesOpen;
    void Message(const std::string& text) override {
        messages.push_back(text);
        filesOpen.push_back(realstack::OpenUsbFiles().size());
    }
    bool Ask(const std::string&, const std::string&) override { return true; }
};

void Figure(const char* name, const std::string& value) {
    std::printf("FIGURE %s %s\n", name, value.c_str());
    std::fflush(stdout);
}

// The path of a device's file, as the link's own usb_open opens it.
std::string DevicePath(const usb_bus* bus, const struct usb_device* dev) {
    return std::string("/dev/bus/usb/") + bus->dirname + "/" + dev->filename;
}

class RealLink : public ::testing::Test {
protected:
    void SetUp() override {
        if (!realstack::Available()) GTEST_SKIP() << "needs the emulated meter (run through make test-usb)";
        realstack::SetControl("");
    }
    void TearDown() override {
        if (!realstack::Available()) return;
        realstack::SetControl("");
        EXPECT_TRUE(realstack::OpenUsbFiles().empty()) << "a USB device file stayed open";
    }
    // The number of lines in the meter's log once the meter has written the
    // lines of every request answered so far (it writes after answering).
    static std::size_t LogSize() {
        std::size_t n = realstack::MeterLog().size();
        for (int i = 0; i < 100; ++i) {
            std::this_thread::sleep_for(50ms);
            const std::size_t again = realstack::MeterLog().size();
            if (again == n) break;
            n = again;
        }
        return n;
    }
    // The meter's log lines from `from` on. The meter writes a line once it
    // has answered, which can be after the host has its reply: wait until at
    // least `count` lines are there (at most 3 s).
    static std::vector<realstack::LoggedRequest> LogSince(std::size_t from, std::size_t count) {
        const auto t0 = std::chrono::steady_clock::now();
        for (;;) {
            auto log = realstack::MeterLog();
            std::vector<realstack::LoggedRequest> out(log.begin() + static_cast<long>(std::min(from, log.size())),
                                                      log.end());
            if (out.size() >= count || MsSince(t0) > 3000) return out;
            std::this_thread::sleep_for(20ms);
        }
    }
};

TEST_F(RealLink, FindsTheMeterAmongTheOtherDevicesAndOpensOnlyIt) {
    usb_init();
    usb_find_busses();
    usb_find_devices();
    std::vector<std::string> meters, others;
    std::string listing;
    for (usb_bus* b = usb_get_busses(); b; b = b->next)
        for (struct usb_device* d = b->devices; d; d = d->next) {
            char id[16];
            std::snprintf(id, sizeof id, "%04x:%04x", d->descriptor.idVendor, d->descriptor.idProduct);
            listing += DevicePath(b, d) + "=" + id + " ";
            (d->descriptor.idVendor == device::kVendorId && d->descriptor.idProduct == device::kProductId
                 ? meters : others).push_back(DevicePath(b, d));
        }
    Figure("devices", listing);
    ASSERT_EQ(meters.size(), 1u) << listing;
    EXPECT_GE(others.size(), 1u) << "only the meter on the busses: " << listing;
    const std::string decoyLog = realstack::Env("USB_DECOY_LOG");
    if (!decoyLog.empty()) {
        // The other device: the meter's vendor, another product.
        EXPECT_NE(listing.find("=16c0:05de "), std::string::npos) << listing;
    }

    const std::size_t before = LogSize();
    const std::size_t decoyBefore = decoyLog.empty() ? 0 : realstack::ReadLog(decoyLog).size();
    {
        device::MeterSession s;
        ASSERT_TRUE(s);
        EXPECT_EQ(realstack::OpenUsbFiles(), meters) << "the link opened another device than the meter";
        std::uint8_t info[7];
        EXPECT_EQ(s.Transfer(device::kDeviceInfo, info), 7);
    }
    const auto log = LogSince(before, 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, "DeviceInfo");
    if (!decoyLog.empty()) {
        EXPECT_EQ(realstack::ReadLog(decoyLog).size(), decoyBefore) << "a request reached the other device";
    }
}

TEST_F(RealLink, SettingsReadAndWriteWithTheirLengthTests) {
    // The meter starts with the demo block; this is the only test that writes it.
    settings::SettingsBlock buffer{};
    Prompt prompt;
    int applied = 0;
    const std::size_t before = LogSize();
    settings::ReadFromMeter(buffer, prompt, [&] { ++applied; });
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgReceived});
    EXPECT_EQ(prompt.filesOpen, std::vector<std::size_t>{1}) << "the meter is closed after the box";
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(buffer, sim::DemoSettings());

    settings::SettingsBlock written = buffer;
    for (std::size_t i = 0; i < written.size(); ++i) written[i] = static_cast<std::uint8_t>(i * 7 + 3);
    prompt = {};
    settings::WriteToMeter(buffer, prompt, [&] { buffer = written; });
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgSent});
    const auto writes = realstack::OfKind(LogSince(before, 2), "WriteSettings");
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().outcome.rfind("received=248", 0), 0u) << writes.back().outcome;

    // The meter keeps the block across operations.
    settings::SettingsBlock readBack{};
    prompt = {};
    settings::ReadFromMeter(readBack, prompt, [] {});
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgReceived});
    EXPECT_EQ(readBack, written);

    // 247 bytes are a failed read and leave the buffer as it was.
    realstack::SetControl("ReadSettings short 247\n");
    {
        device::MeterSession s;
        std::uint8_t raw[248];
        const int got = s.Transfer(device::kReadSettings, raw);
        Figure("short-read-result", std::to_string(got));
        EXPECT_EQ(got, 247);
    }
    settings::SettingsBlock sentinel{};
    sentinel.fill(0xA5);
    settings::SettingsBlock kept = sentinel;
    prompt = {};
    settings::ReadFromMeter(kept, prompt, [] { ADD_FAILURE() << "applied after a short read"; });
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgReadError});
    EXPECT_EQ(kept, sentinel);
    // So is a refused one.
    realstack::SetControl("ReadSettings stall\n");
    prompt = {};
    settings::ReadFromMeter(kept, prompt, [] { ADD_FAILURE() << "applied after a stalled read"; });
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgReadError});
    EXPECT_EQ(kept, sentinel);

    // A refused write is reported and the meter's block stays.
    realstack::SetControl("WriteSettings stall\n");
    prompt = {};
    settings::SettingsBlock other = sentinel;
    settings::WriteToMeter(other, prompt, [] {});
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgWriteError});
    realstack::SetControl("");
    prompt = {};
    settings::ReadFromMeter(readBack, prompt, [] {});
    EXPECT_EQ(readBack, written);
}

TEST_F(RealLink, SweepWithTheWindowsDefaultWordsAndTheIdleRequest) {
    // The window's defaults: polarisation, upper band and +9 dB on; IF start
    // 950 MHz, 10 MHz steps.
    const std::uint32_t flags = 0xE000;
    const std::int32_t shift = 950;
    const std::uint32_t step = 10;
    panorama::SweepFrame frame{};
    settings::SettingsBlock buf{};
    std::size_t before = LogSize();
    ASSERT_EQ(panorama::ExchangeTick(true, flags, shift, step, frame, buf), panorama::TickResult::Swept);
    auto log = LogSince(before, 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, "Sweep");
    EXPECT_EQ(log[0].requestType, 0xC0);
    EXPECT_EQ(log[0].request, 9);
    EXPECT_EQ(log[0].value, 0xE002);
    EXPECT_EQ(log[0].index, 0xA3B6);
    EXPECT_EQ(log[0].length, 128);
    EXPECT_EQ(log[0].outcome.rfind("sent=128", 0), 0u) << log[0].outcome;
    // The frame follows the words: the demo spectrum for them, give or take
    // its noise of at most 4 steps either way.
    std::uint8_t expected[128];
    sim::DemoSweep(0xE002, 0xA3B6, expected);
    for (int i = 0; i < 128; ++i) ASSERT_LE(std::abs(frame[i] - expected[i]), 8) << "sample " << i;

    before = LogSize();
    ASSERT_EQ(panorama::ExchangeTick(false, flags, shift, step, frame, buf), panorama::TickResult::Idle);
    log = LogSince(before, 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, "Idle");
    EXPECT_EQ(log[0].value, 3);
    settings::SettingsBlock fromRead{};
    Prompt prompt;
    settings::ReadFromMeter(fromRead, prompt, [] {});
    EXPECT_EQ(buf, fromRead) << "the idle reply is the meter's settings block";

    // A stalled sweep is not reported: the tick ends with a cleared frame.
    realstack::SetControl("Sweep stall\n");
    frame.fill(7);
    EXPECT_EQ(panorama::ExchangeTick(true, flags, shift, step, frame, buf), panorama::TickResult::Swept);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(RealLink, DeviceInformationTwoHandlesAndStalledRequests) {
    device::MeterSession s;
    ASSERT_TRUE(s);
    std::uint8_t info[7] = {};
    ASSERT_EQ(s.Transfer(device::kDeviceInfo, info), 7);
    EXPECT_EQ(firmware::GetLeInt(info, 1, 2), 128);
    EXPECT_EQ(firmware::GetLeInt(info, 3, 4), 32768);
    // A second operation (the panorama tick while a box waits) opens the
    // meter again beside the first handle.
    {
        device::MeterSession t;
        ASSERT_TRUE(t);
        EXPECT_EQ(realstack::OpenUsbFiles().size(), 2u);
        EXPECT_EQ(t.Transfer(device::kDeviceInfo, info), 7);
        EXPECT_EQ(s.Transfer(device::kDeviceInfo, info), 7);
    }
    EXPECT_EQ(realstack::OpenUsbFiles().size(), 1u);

    // What a stall returns, in each direction.
    realstack::SetControl("DeviceInfo stall\nWriteSettings stall\n");
    const int in = s.Transfer(device::kDeviceInfo, info);
    settings::SettingsBlock block{};
    const int out = s.Transfer(device::kWriteSettings, block.data());
    Figure("stall-in-result", std::to_string(in));
    Figure("stall-out-result", std::to_string(out));
    EXPECT_EQ(in, -EPIPE);
    EXPECT_EQ(out, -EPIPE);
    // The default control endpoint recovers by itself after a stall.
    realstack::SetControl("");
    EXPECT_EQ(s.Transfer(device::kDeviceInfo, info), 7);
}

TEST_F(RealLink, SmallUploadAndItsEndRequest) {
    firmware::Image image;
    std::int32_t start = 0, end = 0;
    firmware::ResetImage(image, start, end);
    start = 0x100;
    end = 0x1A0;
    for (int a = start; a < end; ++a) image[a] = static_cast<std::uint8_t>(a * 13 + 1);
    Prompt prompt;
    const std::size_t before = LogSize();
    std::FILE* sink = std::fopen("/dev/null", "w");
    const int result = firmware::UploadFirmware(image, start, end, prompt, sink);
    std::fclose(sink);
    EXPECT_EQ(result, firmware::kFlashBlockSize);
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[0], "Page size = 128\nDevice size = 32768\nДоступно байт - 30720");
    EXPECT_EQ(prompt.messages[1], "Прошито успешно");

    const auto log = LogSince(before, 4);
    std::vector<std::string> kinds;
    for (const auto& r : log) kinds.push_back(r.kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"DeviceInfo", "FirmwareBlock", "FirmwareBlock", "EndOfUpload"}));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].length, 132);
    EXPECT_EQ(log[1].outcome.rfind("received=132", 0), 0u) << log[1].outcome;
    EXPECT_EQ(log[3].requestType, 0x40);
    EXPECT_EQ(log[3].value, 1);
    EXPECT_EQ(log[3].length, 7);
    EXPECT_EQ(log[3].outcome.rfind("received=7", 0), 0u) << log[3].outcome;

    // The meter assembled the blocks into its flash: the image's bytes, then
    // unset flash to the end of the last page.
    std::ifstream in(realstack::Env("USB_METER_FLASH"), std::ios::binary);
    const std::vector<char> flash{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(flash.size(), static_cast<std::size_t>(sim::kFlashSize));
    for (int a = 0x100; a < 0x200; ++a)
        ASSERT_EQ(static_cast<std::uint8_t>(flash[a]), a < end ? image[a] : 0xFF) << "address " << a;
    EXPECT_EQ(static_cast<std::uint8_t>(flash[0xFF]), 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(flash[0x200]), 0xFF);

    // A short device-information reply ends the upload before any block; a
    // refused block ends it with the block's address.
    realstack::SetControl("DeviceInfo short 6\n");
    prompt = {};
    sink = std::fopen("/dev/null", "w");
    EXPECT_EQ(firmware::UploadFirmware(image, start, end, prompt, sink), 0);
    std::fclose(sink);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Not enough bytes in device info repor"});
    realstack::SetControl("FirmwareBlock stall after 1\n");
    prompt = {};
    sink = std::fopen("/dev/null", "w");
    EXPECT_EQ(firmware::UploadFirmware(image, start, end, prompt, sink), -EPIPE);
    std::fclose(sink);
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1], "Ошибка записи по адресу  384");
}

TEST_F(RealLink, AnUnansweredRequestEndsAtTheTimeOut) {
    // The meter answers too late; the settings read gives up at the time-out.
    realstack::SetControl("ReadSettings delay 5400\n");
    {
        device::MeterSession s;
        ASSERT_TRUE(s);
        std::uint8_t raw[248];
        const auto t0 = std::chrono::steady_clock::now();
        const int r = s.Transfer(device::kReadSettings, raw);
        const double ms = MsSince(t0);
        Figure("timeout-result", std::to_string(r));
        Figure("timeout-ms", std::to_string(static_cast<int>(ms)));
        EXPECT_EQ(r, -ETIMEDOUT);
        EXPECT_GE(ms, 4900);
        EXPECT_LT(ms, 6000) << "the request outlived its time-out";
    }
    // Once the meter has caught up, requests are answered again.
    realstack::SetControl("");
    std::this_thread::sleep_for(1s);
    settings::SettingsBlock buffer{};
    Prompt prompt;
    settings::ReadFromMeter(buffer, prompt, [] {});
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgReceived});
}

TEST_F(RealLink, UnpluggedBetweenAndDuringOperations) {
    // Between operations: the next one finds no meter.
    realstack::Unplug();
    bool gone = false;
    for (int i = 0; i < 50 && !gone; ++i) {
        device::MeterSession s;
        gone = !s;
        if (!gone) std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(gone) << "the meter was still listed 5 s after the unplug";
    Prompt prompt;
    settings::SettingsBlock buffer{};
    settings::ReadFromMeter(buffer, prompt, [] {});
    EXPECT_EQ(prompt.messages, std::vector<std::string>{settings::kMsgDisconnected});
    panorama::SweepFrame frame{};
    EXPECT_EQ(panorama::ExchangeTick(true, 0xE000, 950, 10, frame, buffer), panorama::TickResult::NoMeter);
    ASSERT_TRUE(realstack::Replug());

    // With a handle open: the next transfer fails at once.
    {
        device::MeterSession s;
        ASSERT_TRUE(s);
        realstack::Unplug();
        std::this_thread::sleep_for(300ms);
        std::uint8_t info[7];
        const auto t0 = std::chrono::steady_clock::now();
        const int r = s.Transfer(device::kDeviceInfo, info);
        Figure("unplugged-handle-result", std::to_string(r));
        Figure("unplugged-handle-ms", std::to_string(static_cast<int>(MsSince(t0))));
        EXPECT_LT(r, 0);
        EXPECT_LT(MsSince(t0), 1000);
    }
    ASSERT_TRUE(realstack::Replug());

    // During a transfer the meter is slow to answer: the pending request
    // fails when the device leaves, well before the time-out.
    realstack::SetControl("Sweep delay 3000\n");
    {
        device::MeterSession s;
        ASSERT_TRUE(s);
        auto unplug = std::async(std::launch::async, [] {
            std::this_thread::sleep_for(500ms);
            realstack::Unplug();
        });
        std::uint8_t frameBytes[128];
        const auto t0 = std::chrono::steady_clock::now();
        const int r = s.Transfer(device::SweepRequest(0xE000, 950, 10), frameBytes);
        const double ms = MsSince(t0);
        unplug.wait();
        Figure("unplugged-pending-result", std::to_string(r));
        Figure("unplugged-pending-ms", std::to_string(static_cast<int>(ms)));
        EXPECT_LT(r, 0);
        EXPECT_LT(ms, 2900) << "the pending request waited for the meter instead of failing";
    }
    realstack::SetControl("");
    std::this_thread::sleep_for(3s);  // the meter finishes its late answer
    ASSERT_TRUE(realstack::Replug());
}

}  // namespace
