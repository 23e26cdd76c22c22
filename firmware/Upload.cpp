#include "firmware/Upload.h"

#include "device/UsbLink.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace firmware {

int GetLeInt(const std::uint8_t* bytes, int offset, int count) {
    std::uint32_t value = 0;
    for (int k = 0; k < count; ++k) value |= static_cast<std::uint32_t>(bytes[offset + k]) << (8 * k);
    return static_cast<int>(value);
}

void PutLeInt(std::uint8_t* bytes, std::uint32_t value, int count) {
    for (int k = 0; k < count; ++k) bytes[k] = static_cast<std::uint8_t>(value >> (8 * k));
}

namespace {

// The image bytes of one block from `address` on. Pages can reach past the
// image's last byte: unset flash (0xFF) is sent there.
void FillBlock(const Image& image, std::int64_t address, std::uint8_t* data) {
    const std::int64_t from = std::clamp<std::int64_t>(address, 0, kImageSize);
    const std::int64_t to = std::clamp<std::int64_t>(address + kBlockBytes, 0, kImageSize);
    if (to - from < kBlockBytes) std::fill_n(data, kBlockBytes, std::uint8_t{0xFF});
    if (from < to)
        std::memcpy(data + (from - address), image.data() + from, static_cast<std::size_t>(to - from));
}

// The progress line before each block, "\r0x%05x ... 0x%05x", formatted with
// to_chars: it is written once a block, and printf's general machinery would
// cost more than the rest of the block's own work together.
class ProgressLine {
public:
    void Write(std::FILE* out, std::uint32_t from, std::uint32_t to) {
        char* p = text_;
        *p++ = '\r';
        p = Hex(p, from);
        for (char c : {' ', '.', '.', '.', ' '}) *p++ = c;
        p = Hex(p, to);
        std::fwrite(text_, 1, static_cast<std::size_t>(p - text_), out);
    }

private:
    // "0x" and at least five lower-case hex digits, as "0x%05x" writes them.
    static char* Hex(char* p, std::uint32_t v) {
        char digits[8];
        const auto [last, ec] = std::to_chars(digits, digits + sizeof digits, v, 16);
        const auto n = last - digits;
        *p++ = '0';
        *p++ = 'x';
        if (n < 5) p = std::fill_n(p, 5 - n, '0');
        return std::copy(digits, last, p);
    }
    char text_[32];
};

}  // namespace

int UploadFirmware(const Image& image, std::int32_t start, std::int32_t end,
                   common::UserPrompt& prompt, std::FILE* out) {
    device::MeterSession meter;  // closes the device when the upload returns, after its last box
    if (!meter) {
        prompt.Message("Velkarn3 отключен");
        return 0;
    }

    std::array<std::uint8_t, kDeviceInfoSize> info{};
    const int got = meter.Transfer(device::kDeviceInfo, info.data());
    if (got < kDeviceInfoSize) {
        prompt.Message("Not enough bytes in device info repor");
        return 0;
    }
    const int pageSize = GetLeInt(info.data(), 1, 2);
    const int deviceSize = GetLeInt(info.data(), 3, 4);
    // 64-bit so that a nonsense size near the bottom of the 32-bit range
    // cannot wrap round to a large positive room.
    const std::int64_t available = static_cast<std::int64_t>(deviceSize) - kReservedTop;
    prompt.Message("Page size = " + std::to_string(pageSize) + "\nDevice size = " +
                   std::to_string(deviceSize) + "\nДоступно байт - " + std::to_string(available));
    if (end > available) {
        prompt.Message("Размер прошивки велик!");
        return 0;
    }

    // Whole pages are written: widen the range to page boundaries (blocks
    // of at least 128 bytes even where the meter's pages are smaller).
    const std::int64_t mask = pageSize >= kBlockBytes ? pageSize - 1 : kBlockBytes - 1;
    const std::int64_t from = static_cast<std::int64_t>(start) & ~mask;
    const std::int64_t to = (static_cast<std::int64_t>(end) + mask) & ~mask;
    std::fprintf(out, "Uploading %d (0x%x) bytes starting at %d (0x%x)\n", static_cast<int>(to - from),
                 static_cast<unsigned>(to - from), static_cast<int>(from), static_cast<unsigned>(from));

    std::array<std::uint8_t, kFlashBlockSize> block{};  // its first 7 bytes also end the upload
    ProgressLine progress;
    int result = 0;
    for (std::int64_t address = from; address < to; address += kBlockBytes) {
        block[0] = static_cast<std::uint8_t>(device::kFirmwareBlock.value);
        PutLeInt(&block[1], static_cast<std::uint32_t>(address), 3);
        FillBlock(image, address, &block[4]);
        progress.Write(out, static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(address + kBlockBytes));
        std::fflush(out);
        result = meter.Transfer(device::kFirmwareBlock, block.data());
        if (result != kFlashBlockSize) {
            prompt.Message("Ошибка записи по адресу  " + std::to_string(address));
            return result;
        }
    }
    meter.Transfer(device::kEndOfUpload, block.data());
    prompt.Message("Прошито успешно");
    return result;
}

void UpdateFromFile(const std::string& path, Image& image, std::int32_t& start, std::int32_t& end,
                    common::UserPrompt& prompt, std::FILE* out) {
    ResetImage(image, start, end);
    LoadReport report;
    if (LoadHexFile(path, image, start, end, prompt, &report) != 0) return;
    // Half a firmware, one with damaged records, or one made for a chip with
    // more than 64 KiB is never flashed.
    if (report.foreignBase) {
        prompt.Message("Данные файла лежат выше 64 КБ: прошивка для другого прибора");
        return;
    }
    if (report.Refused()) {
        prompt.Message("Ошибка в файле прошивки");
        return;
    }
    if (start >= end) {
        prompt.Message("No data in input file, exiting.\n");
        return;
    }
    UploadFirmware(image, start, end, prompt, out);
}

}  // namespace firmware
