// The firmware upload against the simulated meter, and the update from a file.
#include "firmware/Upload.h"

#include "common/Files.h"

#include "sim/Sim.h"

#include "RecordingPrompt.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using firmware::kImageSize;
using sim::Kind;

const fs::path kHexDir = fs::path(TESTDATA_DIR) / "hex";

std::string SizesBox(int page, long long size) {
    return "Page size = " + std::to_string(page) + "\nDevice size = " + std::to_string(size) +
           "\nДоступно байт - " + std::to_string(size - 2048);
}

int BlockAddress(const sim::Transfer& t) { return t.dataOut[1] | t.dataOut[2] << 8 | t.dataOut[3] << 16; }

class UploadTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(128, 32768); }
    void TearDown() override {
        std::fclose(out);
        EXPECT_EQ(sim::OpenHandles(), 0) << "a device handle was left open";
        fs::remove_all(dir);
    }

    // A fresh meter with the given geometry, an erased image, no output yet.
    void Restart(int pageSize, int deviceSize) {
        sim::Reset();
        meter = sim::AddMeter();
        sim::MeterAt(meter).pageSize = static_cast<std::uint16_t>(pageSize);
        sim::MeterAt(meter).deviceSize = deviceSize;
        image.fill(0xFF);
        prompt = RecordingPrompt{};
        prompt.countHandles = &sim::OpenHandles;
        if (out) std::fclose(out);
        // A file of its own that a second stream can read while `out` writes.
        fs::create_directories(dir);
        outPath = dir / ("out" + std::to_string(outs++) + ".txt");
        out = common::OpenFile(outPath, "w+b");
        ASSERT_NE(out, nullptr);
    }
    // Distinct data bytes over [from, to).
    void Fill(int from, int to) {
        for (int a = from; a < to; ++a) image[a] = static_cast<std::uint8_t>(a * 7 + 3);
    }
    int Upload(int start, int end) { return firmware::UploadFirmware(image, start, end, prompt, out); }
    std::vector<int> Blocks() {
        std::vector<int> a;
        for (const auto& t : sim::LogOf(Kind::FirmwareBlock)) a.push_back(BlockAddress(t));
        return a;
    }
    // What has reached the file so far; unflushed output does not show.
    std::string Written() {
        std::ifstream in(outPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string Output() {
        std::fflush(out);
        return Written();
    }
    fs::path WriteFile(const std::string& text) {
        fs::create_directories(dir);
        const fs::path p = dir / ("f" + std::to_string(files++) + ".hex");
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    void Update(const fs::path& path) {
        firmware::UpdateFromFile(testfiles::Utf8(path), image, start, end, prompt, out);
    }

    firmware::Image image;
    std::int32_t start = 0, end = 0;
    int meter = -1;
    RecordingPrompt prompt;
    std::FILE* out = nullptr;
    fs::path dir = testfiles::ScratchDir("upload");
    fs::path outPath;
    int files = 0, outs = 0;
};

TEST_F(UploadTest, WidensTheRangeToPagesAndSendsEveryBlock) {
    // 0x0000..0x0FFF with 128-byte pages: 32 blocks.
    Fill(0, 0x1000);
    EXPECT_EQ(Upload(0, 0x1000), 132);
    std::vector<int> expected;
    for (int a = 0; a < 0x1000; a += 128) expected.push_back(a);
    EXPECT_EQ(Blocks(), expected);
    const auto& log = sim::Log();
    ASSERT_EQ(log.size(), 34u);
    EXPECT_EQ(log.front().kind, Kind::DeviceInfo);
    EXPECT_EQ(log.back().kind, Kind::EndOfUpload);
    for (const auto& t : sim::LogOf(Kind::FirmwareBlock)) {
        EXPECT_EQ(t.requestType, 0x40);
        EXPECT_EQ(t.request, 9);
        EXPECT_EQ(t.value, 2);
        EXPECT_EQ(t.index, 0);
        EXPECT_EQ(t.timeout, 5000);
        ASSERT_EQ(t.dataOut.size(), 132u);
        EXPECT_EQ(t.dataOut[0], 2);
        EXPECT_TRUE(std::equal(t.dataOut.begin() + 4, t.dataOut.end(), image.begin() + BlockAddress(t)));
    }
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x1000, sim::MeterAt(meter).flash.begin()));
    const std::string output = Output();
    EXPECT_TRUE(output.starts_with("Uploading 4096 (0x1000) bytes starting at 0 (0x0)\n\r0x00000 ... 0x00080\r"));
    EXPECT_TRUE(output.ends_with("\r0x00f80 ... 0x01000")) << output;
    EXPECT_EQ(prompt.messages, (std::vector<std::string>{SizesBox(128, 32768), "Прошито успешно"}));

    // 0x0105..0x0110 with 64-byte pages: the mask stays 127, one block at 0x0100.
    Restart(64, 32768);
    Fill(0x105, 0x111);
    Upload(0x105, 0x111);
    ASSERT_EQ(Blocks(), std::vector<int>{0x100});
    const auto block = sim::LogOf(Kind::FirmwareBlock)[0].dataOut;
    for (int a = 0x100; a < 0x180; ++a) {
        const bool data = a >= 0x105 && a <= 0x110;
        EXPECT_EQ(block[4 + a - 0x100], data ? image[a] : 0xFF) << a;
    }

    // 0x0000..0x0100 with 256-byte pages: two pages, four blocks.
    Restart(256, 32768);
    Fill(0, 0x101);
    Upload(0, 0x101);
    EXPECT_EQ(Blocks(), (std::vector<int>{0, 128, 256, 384}));
    EXPECT_EQ(Output(), "Uploading 512 (0x200) bytes starting at 0 (0x0)\n"
                        "\r0x00000 ... 0x00080\r0x00080 ... 0x00100\r0x00100 ... 0x00180\r0x00180 ... 0x00200");
}

TEST_F(UploadTest, DeviceSizeDecidesWhatFits) {
    // 32768 bytes: the last 2048 are the meter's own.
    Fill(0, 30720);
    Upload(0, 30720);
    EXPECT_EQ(Blocks().size(), 240u);
    EXPECT_EQ(prompt.messages, (std::vector<std::string>{SizesBox(128, 32768), "Прошито успешно"}));

    Restart(128, 32768);
    EXPECT_EQ(Upload(0, 30721), 0);
    EXPECT_EQ(prompt.messages, (std::vector<std::string>{SizesBox(128, 32768), "Размер прошивки велик!"}));
    EXPECT_EQ(prompt.handlesOpen, (std::vector<int>{1, 1}));
    EXPECT_EQ(sim::Log().size(), 1u);
    EXPECT_EQ(Output(), "");

    // All-ones size bytes: minus 1, nothing fits.
    for (const auto& [size, bytes] : {std::pair<long long, std::uint8_t>{-1, 0xFF}, {INT_MIN, 0x00}}) {
        Restart(128, 0);
        auto& m = sim::MeterAt(meter);
        m.rawDeviceInfo = true;
        m.deviceInfo = {0, 0x80, 0x00, bytes, bytes, bytes, bytes == 0 ? std::uint8_t{0x80} : bytes};
        EXPECT_EQ(Upload(0, 1), 0);
        EXPECT_EQ(prompt.messages, (std::vector<std::string>{SizesBox(128, size), "Размер прошивки велик!"}));
        EXPECT_TRUE(sim::LogOf(Kind::FirmwareBlock).empty());
    }
    EXPECT_EQ(SizesBox(128, -1), "Page size = 128\nDevice size = -1\nДоступно байт - -2049");
}

TEST_F(UploadTest, NoMeterOrShortDeviceInformation) {
    sim::MeterAt(meter).deviceInfoLength = 6;
    EXPECT_EQ(Upload(0, 128), 0);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Not enough bytes in device info repor"});
    EXPECT_EQ(prompt.handlesOpen, std::vector<int>{1});
    EXPECT_EQ(sim::Log().size(), 1u);
    EXPECT_EQ(sim::Calls().close, 1);

    Restart(128, 32768);
    sim::MeterAt(meter).FaultFor(Kind::DeviceInfo) = {-110, true, 0, 0};
    EXPECT_EQ(Upload(0, 128), 0);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Not enough bytes in device info repor"});
    EXPECT_TRUE(sim::LogOf(Kind::FirmwareBlock).empty());

    Restart(128, 32768);
    sim::Reset();
    EXPECT_EQ(Upload(0, 128), 0);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Velkarn3 отключен"});
    EXPECT_TRUE(sim::Log().empty());
    EXPECT_EQ(sim::Calls().init, 1);
}

TEST_F(UploadTest, FailedBlockStopsTheUploadAtItsAddress) {
    Fill(0, 0x400);
    sim::MeterAt(meter).FaultFor(Kind::FirmwareBlock) = {-5, true, 2, 0};
    prompt.onMessage = [&](const std::string& text) {
        // The failed block's progress line is out before its box.
        if (text.starts_with("Ошибка")) {
            const std::string w = Written();
            EXPECT_TRUE(w.ends_with("\r0x00100 ... 0x00180")) << w;
        }
    };
    EXPECT_EQ(Upload(0, 0x400), -5);
    EXPECT_EQ(prompt.messages.back(), "Ошибка записи по адресу  256");
    EXPECT_EQ(prompt.handlesOpen.back(), 1);
    EXPECT_EQ(Blocks(), (std::vector<int>{0, 128, 256}));
    EXPECT_TRUE(sim::LogOf(Kind::EndOfUpload).empty());
    const auto& flash = sim::MeterAt(meter).flash;
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 256, flash.begin()));
    EXPECT_EQ(flash[256], 0xFF);

    // A short count is a failure too, and is what the upload returns.
    Restart(128, 32768);
    sim::MeterAt(meter).FaultFor(Kind::FirmwareBlock) = {131, true, 0, 0};
    EXPECT_EQ(Upload(0x80, 0x100), 131);
    EXPECT_EQ(prompt.messages.back(), "Ошибка записи по адресу  128");
    EXPECT_TRUE(sim::LogOf(Kind::EndOfUpload).empty());
}

TEST_F(UploadTest, EndOfUploadCarriesTheLastBlockHead) {
    Restart(128, 1 << 20);
    Fill(0x10020, 0x10090);  // blocks at 0x10000 and 0x10080: 24-bit addresses
    prompt.onMessage = [&](const std::string& text) {
        if (text == "Прошито успешно") {
            EXPECT_EQ(sim::LogOf(Kind::EndOfUpload).size(), 1u) << "sent before the box";
        }
    };
    EXPECT_EQ(Upload(0x10020, 0x10090), 132);
    EXPECT_EQ(Blocks(), (std::vector<int>{0x10000, 0x10080}));
    const auto ends = sim::LogOf(Kind::EndOfUpload);
    ASSERT_EQ(ends.size(), 1u);
    const auto& e = ends[0];
    EXPECT_EQ(e.requestType, 0x40);
    EXPECT_EQ(e.request, 9);
    EXPECT_EQ(e.value, 1);
    EXPECT_EQ(e.index, 0);
    EXPECT_EQ(e.timeout, 5000);
    EXPECT_EQ(e.dataOut, (std::vector<std::uint8_t>{2, 0x80, 0x00, 0x01, image[0x10080], image[0x10081],
                                                    image[0x10082]}));
    EXPECT_EQ(sim::Log().back().kind, Kind::EndOfUpload);
    EXPECT_EQ(prompt.handlesOpen, (std::vector<int>{1, 1}));
}

TEST_F(UploadTest, PagesPastTheImageEndCarryErasedBytes) {
    // Odd page sizes can widen the range past the image's last byte.
    for (const int page : {200, 65535}) {
        SCOPED_TRACE(page);
        Restart(page, 1 << 20);
        image.fill(0x00);
        Upload(65000, 65790);
        const auto blocks = sim::LogOf(Kind::FirmwareBlock);
        ASSERT_FALSE(blocks.empty());
        EXPECT_GE(BlockAddress(blocks.back()) + 128, kImageSize + 1);
        for (const auto& t : blocks) {
            const int a = BlockAddress(t);
            for (int i = 0; i < 128; ++i)
                ASSERT_EQ(t.dataOut[4 + i], a + i < kImageSize ? 0x00 : 0xFF) << a + i;
        }
        EXPECT_EQ(prompt.messages.back(), "Прошито успешно");
    }
}

TEST_F(UploadTest, ProgressLinesMatchTheirPrintfForm) {
    // Every block's line as "\r0x%05x ... 0x%05x" writes it, for short and
    // long addresses alike.
    for (const auto& [page, from, to] : {std::array<int, 3>{128, 0, 30720}, {256, 0xF0F0, 0x10100}, {65535, 65000, 65790}}) {
        SCOPED_TRACE(page);
        Restart(page, 1 << 20);
        Upload(from, to);
        const auto blocks = sim::LogOf(Kind::FirmwareBlock);
        ASSERT_FALSE(blocks.empty());
        std::string expected;
        char line[64];
        std::snprintf(line, sizeof line, "Uploading %d (0x%x) bytes starting at %d (0x%x)\n",
                      static_cast<int>(blocks.size()) * 128, static_cast<unsigned>(blocks.size()) * 128,
                      BlockAddress(blocks[0]), static_cast<unsigned>(BlockAddress(blocks[0])));
        expected += line;
        for (const auto& t : blocks) {
            std::snprintf(line, sizeof line, "\r0x%05x ... 0x%05x", static_cast<unsigned>(BlockAddress(t)),
                          static_cast<unsigned>(BlockAddress(t) + 128));
            expected += line;
        }
        EXPECT_EQ(Output(), expected);
    }
}

TEST_F(UploadTest, UpdateFromFileFlashesOnlySoundFiles) {
    // A good file: the meter ends with exactly the reference image.
    Restart(64, 32768);
    Update(kHexDir / "span_0105.hex");
    EXPECT_EQ(start, 0x105);
    EXPECT_EQ(end, 0x111);
    EXPECT_EQ(Blocks(), std::vector<int>{0x100});
    std::ifstream ref(kHexDir / "span_0105.img", std::ios::binary);
    const std::vector<std::uint8_t> reference{std::istreambuf_iterator<char>(ref), {}};
    EXPECT_EQ(sim::MeterAt(meter).flash, reference);
    EXPECT_EQ(prompt.messages.back(), "Прошито успешно");

    // Damaged files: their boxes, then the refusal, and the meter is never contacted.
    const fs::path cases[] = {
        kHexDir / "bad_checksum.hex",
        kHexDir / "truncated.hex",
        WriteFile(":0100000011EE\n:02-0100011223300\n"),  // negative address
        WriteFile(":020000001122CB\n:00000001FF\n:0"),     // cut short at the end
        WriteFile(":0100000011EE\n:020000040001F9\n"),    // data above 64 KiB
    };
    const std::vector<std::vector<std::string>> boxes = {
        {"Warning: Checksum error between address 310", "Ошибка в файле прошивки"},
        {"Warning: Checksum error between address 80", "Ошибка в файле прошивки"},
        {"Ошибка в файле прошивки"},
        {"Ошибка в файле прошивки"},
        {"Данные файла лежат выше 64 КБ: прошивка для другого прибора"},
    };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(cases[i].string());
        Restart(128, 32768);
        Update(cases[i]);
        EXPECT_EQ(prompt.messages, boxes[i]);
        EXPECT_EQ(sim::Calls().init, 0);
        EXPECT_TRUE(sim::Log().empty());
    }

    // Nothing to flash, or nothing to read.
    Restart(128, 32768);
    Update(WriteFile(":00000001FF\n"));
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"No data in input file, exiting.\n"});
    Update(dir / "missing.hex");
    EXPECT_EQ(prompt.messages.back(), "error opening");
    EXPECT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(sim::Calls().init, 0);
}

}  // namespace
