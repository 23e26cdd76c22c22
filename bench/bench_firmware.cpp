// The firmware update against the simulated meter, in CPU time: loading the
// largest test HEX file that loads without a fault; uploading a full image
// (all the memory a 32 KiB meter leaves to firmware) beside a bare loop that
// makes the same USB calls with blocks built beforehand, so that the
// difference is the program's own work. The upload writes its progress lines
// once to /dev/null (every flush a system call, as on a console) and once to
// a stream that discards them (the flush stays, without the system call).
//   bench_firmware [hex directory]
#include "device/UsbLink.h"
#include "firmware/HexLoader.h"
#include "firmware/Upload.h"
#include "sim/Sim.h"

#include "Timing.h"

#include <usb.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::CpuSeconds;
using bench::PerCall;
using bench::Row;

namespace fs = std::filesystem;

struct SilentPrompt : common::UserPrompt {
    void Message(const std::string&) override {}
    bool Ask(const std::string&, const std::string&) override { return true; }
};

// The largest file of the directory that loads without any fault.
fs::path LargestSoundFile(const fs::path& dir) {
    SilentPrompt quiet;
    fs::path best;
    std::uintmax_t bestSize = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".hex") continue;
        auto image = std::make_unique<firmware::Image>();
        std::int32_t start, end;
        firmware::ResetImage(*image, start, end);
        firmware::LoadReport report;
        if (firmware::LoadHexFile(entry.path().string(), *image, start, end, quiet, &report) != 0 ||
            report.Refused() || start >= end)
            continue;
        const auto size = entry.file_size();
        if (size > bestSize || (size == bestSize && entry.path() < best)) {
            best = entry.path();
            bestSize = size;
        }
    }
    return best;
}

// A stream whose writes go nowhere: flushing it costs no system call.
std::FILE* DiscardingStream() {
    cookie_io_functions_t io{};
    io.write = [](void*, const char*, size_t size) -> ssize_t { return static_cast<ssize_t>(size); };
    return fopencookie(nullptr, "w", io);
}

// The same USB calls as an upload of [start, end): the session, the
// device information, one transfer per block with blocks built beforehand,
// the end of the upload, the close.
struct BareUpload {
    std::vector<std::array<std::uint8_t, firmware::kFlashBlockSize>> blocks;

    BareUpload(const firmware::Image& image, int start, int end) {
        for (int a = start; a < end; a += firmware::kBlockBytes) {
            auto& b = blocks.emplace_back();
            b[0] = 2;
            firmware::PutLeInt(&b[1], static_cast<std::uint32_t>(a), 3);
            std::copy_n(image.begin() + a, firmware::kBlockBytes, b.begin() + 4);
        }
    }
    void operator()() const {
        usb_init();
        usb_find_busses();
        usb_find_devices();
        usb_dev_handle* h = device::FindDevice();
        std::array<char, 7> info{};
        auto send = [h](const device::ControlRequest& r, const void* data) {
            return usb_control_msg(h, r.requestType, r.request, r.value, r.index,
                                   static_cast<char*>(const_cast<void*>(data)), r.length, device::kTimeoutMs);
        };
        send(device::kDeviceInfo, info.data());
        for (const auto& b : blocks) send(device::kFirmwareBlock, b.data());
        send(device::kEndOfUpload, blocks.back().data());
        usb_close(h);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1])
                                  : fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "testdata" / "hex";
    const fs::path file = LargestSoundFile(dir);
    if (file.empty()) {
        std::fprintf(stderr, "no usable HEX file in %s\n", dir.string().c_str());
        return 1;
    }
    SilentPrompt quiet;
    constexpr int kRepeats = 7;

    // Load.
    auto image = std::make_unique<firmware::Image>();
    std::int32_t start = 0, end = 0;
    const double load = PerCall(2000, kRepeats, [&] {
        firmware::ResetImage(*image, start, end);
        firmware::LoadHexFile(file.string(), *image, start, end, quiet);
    });
    std::printf("HEX load of the largest test file that loads, %s (%lld bytes, data %d..%d), CPU per load:\n",
                file.filename().string().c_str(), static_cast<long long>(fs::file_size(file)), start, end);
    Row("reset + LoadHexFile", load);

    // A full image: every byte a 32 KiB meter leaves to firmware.
    sim::Reset();
    sim::AddMeter();
    const int full = sim::MeterAt(0).deviceSize - firmware::kReservedTop;
    for (int a = 0; a < full; ++a) (*image)[a] = static_cast<std::uint8_t>(a * 13 + (a >> 8));
    std::FILE* devNull = std::fopen("/dev/null", "w");
    std::FILE* discard = DiscardingStream();
    if (devNull == nullptr || discard == nullptr) return 1;

    firmware::UploadFirmware(*image, 0, full, quiet, discard);  // warm-up, and the transfers it makes
    const std::size_t transfers = sim::Log().size();
    if (sim::MeterAt(0).flash != std::vector<std::uint8_t>(image->begin(), image->begin() + sim::kFlashSize)) {
        std::fprintf(stderr, "the upload did not write the image\n");
        return 1;
    }
    sim::ClearLog();
    const BareUpload bare(*image, 0, full);

    constexpr int kUploads = 200;
    auto upload = [&](std::FILE* out) {
        return PerCall(kUploads, kRepeats, [&] {
            firmware::UploadFirmware(*image, 0, full, quiet, out);
            sim::ClearLog();
        });
    };
    const double toNull = upload(devNull);
    const double toDiscard = upload(discard);
    const double loop = PerCall(kUploads, kRepeats, [&] {
        bare();
        sim::ClearLog();
    });
    std::printf("upload of a full image, %d bytes in %zu blocks (%zu transfers), CPU per upload:\n", full,
                bare.blocks.size(), transfers);
    Row("bare loop of the same USB calls", loop);
    Row("UploadFirmware, progress to /dev/null", toNull);
    Row("UploadFirmware, progress to a discarding stream", toDiscard);
    std::printf("  program's own overhead: %.1f %% with /dev/null, %.1f %% without the system calls "
                "(target < 5 %%); per block %.0f ns and %.0f ns\n",
                100 * (toNull - loop) / loop, 100 * (toDiscard - loop) / loop,
                (toNull - loop) * 1e9 / static_cast<double>(bare.blocks.size()),
                (toDiscard - loop) * 1e9 / static_cast<double>(bare.blocks.size()));
    std::fclose(devNull);
    std::fclose(discard);
    return 0;
}
