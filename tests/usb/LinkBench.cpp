// usb_link_bench: times each of the meter's requests through the real
// libusb-0.1 and kernel stack (inside the test VM) and prints the median and
// the spread of each, plus a whole panorama tick (rescan, open, sweep, close).
#include "device/UsbLink.h"
#include "panorama/Panorama.h"
#include "tests/usb/RealStack.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRounds = 40;

void Report(const char* name, std::vector<double> ms, int failures) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[static_cast<std::size_t>(q * (ms.size() - 1))]; };
    std::printf("FIGURE time %-14s median %7.2f ms  min %7.2f  p90 %7.2f  max %7.2f  (n=%zu, failed %d)\n", name,
                at(0.5), ms.front(), at(0.9), ms.back(), ms.size(), failures);
}

void Time(const char* name, const std::function<bool()>& op) {
    std::vector<double> ms;
    int failures = 0;
    for (int i = 0; i < kRounds; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!op()) ++failures;
        ms.push_back(realstack::MsSince(t0));
    }
    Report(name, ms, failures);
}

}  // namespace

int main() {
    if (!realstack::Available()) {
        std::printf("usb_link_bench: needs the emulated meter (run through make test-usb)\n");
        return 0;
    }
    realstack::SetControl("");
    std::array<std::uint8_t, 248> settings{};
    std::array<std::uint8_t, 132> block{};
    block[0] = 2;
    block[1] = 0x00;
    block[2] = 0x7E;  // a page far above anything the tests upload
    {
        device::MeterSession s;
        if (!s || s.Transfer(device::kReadSettings, settings.data()) != 248) {
            std::printf("usb_link_bench: the meter does not answer\n");
            return 1;
        }
        std::uint8_t buf[248];
        const auto request = [&](const device::ControlRequest& r, void* data) {
            return [&s, r, data] { return s.Transfer(r, data) == r.length; };
        };
        Time("ReadSettings", request(device::kReadSettings, buf));
        Time("WriteSettings", request(device::kWriteSettings, settings.data()));
        Time("Sweep", request(device::SweepRequest(0xE000, 950, 10), buf));
        Time("Idle", request(device::kIdle, buf));
        Time("DeviceInfo", request(device::kDeviceInfo, buf));
        Time("FirmwareBlock", request(device::kFirmwareBlock, block.data()));
    }
    Time("open+close", [] {
        device::MeterSession s;
        return s.IsOpen();
    });
    panorama::SweepFrame frame{};
    settings::SettingsBlock buf{};
    Time("sweep-tick", [&] {
        return panorama::ExchangeTick(true, 0xE000, 950, 10, frame, buf) == panorama::TickResult::Swept;
    });
    return 0;
}
