#include "firmware/HexLoader.h"

#include "common/Files.h"

#include <algorithm>
#include <climits>
#include <memory>

namespace firmware {

Image FirmwareImage;
std::int32_t ImageStart = kImageSize;
std::int32_t ImageEnd = 0;

void ResetImage(Image& image, std::int32_t& start, std::int32_t& end) {
    image.fill(0xFF);
    start = kImageSize;
    end = 0;
}

int SkipToRecordStart(std::FILE* file) {
    int c;
    do {
        c = std::fgetc(file);
    } while (c != ':' && c != EOF);
    return c;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// strtol(text, nullptr, 16) as the "C" locale has it, done by hand so that
// no locale can count more characters as blanks, on any system.
long ParseHex(const std::string& text) {
    std::size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // An "0x" prefix counts only when a digit follows it.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0)
        i += 2;
    long long value = 0;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i)
        value = std::min<long long>(value * 16 + HexDigit(text[i]), LLONG_MAX / 16);
    return static_cast<long>(std::clamp<long long>(negative ? -value : value, LONG_MIN, LONG_MAX));
}

}  // namespace

int ReadHexField(std::FILE* file, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        const int c = std::fgetc(file);
        // The end of the file ends the digits, as a NUL in the text would.
        text.push_back(c == EOF ? '\0' : static_cast<char>(c));
    }
    const long value = ParseHex(text);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int LoadHexFile(const std::string& path, Image& image, std::int32_t& start, std::int32_t& end,
                common::UserPrompt& prompt, LoadReport* report) {
    // Binary mode: the characters are taken exactly as they are in the file,
    // CR LF line ends and Ctrl-Z included, on Windows as on Linux.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(common::OpenForReading(common::PathFromUtf8(path)),
                                                          &std::fclose);
    if (!file) {
        prompt.Message("error opening");
        return 1;
    }
    std::FILE* f = file.get();
    LoadReport found;

    while (SkipToRecordStart(f) == ':') {
        const int length = ReadHexField(f, 2);
        int address = ReadHexField(f, 4);
        const int type = ReadHexField(f, 2);
        const int base = address;
        int sum = length + (address >> 8) + address + type;
        if (type != 0) continue;  // the next search for ':' passes over the rest

        // A sign in a field can make it negative; such a record has no place
        // in the image, and a file holding one is not flashed at all.
        if (length < 0 || address < 0 || address + length > kImageSize) {
            found.badRecord = true;
            break;
        }
        for (int i = 0; i < length; ++i) {
            const int value = ReadHexField(f, 2);
            image[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(value);
            sum += value;
            ++address;
        }
        sum += ReadHexField(f, 2);
        // A field that asked for a character past the end: the record is incomplete.
        if (std::feof(f)) found.cutShort = true;

        if ((sum & 0xFF) != 0) {
            ++found.checksumWarnings;
            prompt.Message("Warning: Checksum error between address " + std::to_string(base));
        }
        if (start > base) start = base;
        if (end < address) end = address;
    }
    if (std::ferror(f)) found.readError = true;
    if (report) *report = found;
    return 0;
}

}  // namespace firmware
