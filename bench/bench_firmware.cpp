// Times the firmware update against the simulated meter: loading the largest
// sound HEX file of the test data, uploading it, and, for comparison, a plain
// loop of as many firmware-block transfers on one open handle.
//   bench_firmware [hex directory]
#include "device/UsbLink.h"
#include "firmware/HexLoader.h"
#include "firmware/Upload.h"
#include "sim/Sim.h"

#include <usb.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct SilentPrompt : common::UserPrompt {
    void Message(const std::string&) override {}
    bool Ask(const std::string&, const std::string&) override { return true; }
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Report(const char* what, int count, double seconds) {
    std::printf("%-44s %7d x  %9.3f ms total  %9.2f us each\n", what, count, seconds * 1e3,
                seconds * 1e6 / count);
}

// The largest file of the directory that loads without any fault.
fs::path LargestSoundFile(const fs::path& dir) {
    SilentPrompt quiet;
    fs::path best;
    std::uintmax_t bestSize = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".hex") continue;
        firmware::Image image;
        std::int32_t start, end;
        firmware::ResetImage(image, start, end);
        firmware::LoadReport report;
        if (firmware::LoadHexFile(entry.path().string(), image, start, end, quiet, &report) != 0 ||
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

// Uploads the range `rounds` times; returns the transfers one upload makes.
int TimeUploads(const char* what, const firmware::Image& image, std::int32_t start, std::int32_t end,
                int rounds, std::FILE* sink) {
    SilentPrompt quiet;
    sim::Reset();
    sim::AddMeter();
    sim::MeterAt(0).deviceSize = 1 << 20;
    firmware::UploadFirmware(image, start, end, quiet, sink);  // warm-up and count
    const int transfers = static_cast<int>(sim::Log().size());
    sim::ClearLog();
    const auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        firmware::UploadFirmware(image, start, end, quiet, sink);
        sim::ClearLog();
    }
    Report(what, rounds, Seconds(t0));
    return transfers;
}

// The same number of transfers straight through usb_control_msg on one handle.
void TimePlainLoop(const char* what, int transfers, int rounds) {
    sim::Reset();
    sim::AddMeter();
    usb_init();
    usb_find_busses();
    usb_find_devices();
    usb_dev_handle* handle = device::FindDevice();
    if (handle == nullptr) {
        std::printf("%s: no meter\n", what);
        return;
    }
    std::array<char, firmware::kFlashBlockSize> block{};
    block[0] = 2;
    const auto& r = device::kFirmwareBlock;
    const auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        for (int k = 0; k < transfers; ++k)
            usb_control_msg(handle, r.requestType, r.request, r.value, r.index, block.data(), r.length,
                            device::kTimeoutMs);
        sim::ClearLog();
    }
    Report(what, rounds, Seconds(t0));
    usb_close(handle);
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1])
                                  : fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "testdata" / "hex";
    const fs::path file = LargestSoundFile(dir);
    if (file.empty()) {
        std::fprintf(stderr, "no usable HEX file in %s\n", dir.string().c_str());
        return 1;
    }
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) sink = std::tmpfile();
    SilentPrompt quiet;

    // Load.
    constexpr int kLoads = 20000;
    auto image = std::make_unique<firmware::Image>();
    std::int32_t start = 0, end = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < kLoads; ++i) {
        firmware::ResetImage(*image, start, end);
        firmware::LoadHexFile(file.string(), *image, start, end, quiet);
    }
    std::printf("file %s: %lld bytes, data %d..%d\n", file.filename().string().c_str(),
                static_cast<long long>(fs::file_size(file)), start, end);
    Report("load (reset + LoadHexFile)", kLoads, Seconds(t0));

    // Upload of that file, and of a synthetic image that fills a 32 KiB meter.
    constexpr int kUploads = 20000;
    const int fileTransfers = TimeUploads("upload of the file (UploadFirmware)", *image, start, end, kUploads, sink);
    TimePlainLoop("plain loop, same transfers per round", fileTransfers, kUploads);

    constexpr int kFullUploads = 1000;
    for (int a = 0; a < 30720; ++a) (*image)[a] = static_cast<std::uint8_t>(a * 13);
    const int fullTransfers = TimeUploads("upload of 30720 bytes (UploadFirmware)", *image, 0, 30720, kFullUploads, sink);
    TimePlainLoop("plain loop, same transfers per round", fullTransfers, kFullUploads);
    std::printf("transfers per upload: file %d, 30720 bytes %d\n", fileTransfers, fullTransfers);

    std::fclose(sink);
    return 0;
}
