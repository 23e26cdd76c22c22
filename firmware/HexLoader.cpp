#include "firmware/HexLoader.h"

#include "common/Files.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <string_view>

namespace firmware {

Image FirmwareImage;
std::int32_t ImageStart = kImageSize;
std::int32_t ImageEnd = 0;

void ResetImage(Image& image, std::int32_t& start, std::int32_t& end) {
    image.fill(0xFF);
    start = kImageSize;
    end = 0;
}

int SkipToRecordStart(HexInput& in) { return in.SkipTo(':'); }

int SkipToRecordStart(std::FILE* file) {
    HexInput in(file);
    return SkipToRecordStart(in);
}

namespace {

// Each character's value as a hex digit of either case, -1 for none.
constexpr std::array<std::int8_t, 256> kHexDigits = [] {
    std::array<std::int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::int8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<std::int8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<std::int8_t>(c - 'A' + 10);
    return t;
}();

int HexDigit(char c) { return kHexDigits[static_cast<unsigned char>(c)]; }

// strtol(text, nullptr, 16) as the "C" locale has it, done by hand so that
// no locale can count more characters as blanks, on any system.
long ParseHex(std::string_view text) {
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

int ToInt(long value) { return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX)); }

}  // namespace

int ReadHexField(HexInput& in, int n) {
    if (n <= 0) return 0;
    // Fields are two or four characters; a longer one is read in full but
    // only its first characters can count (the rest would be digits past
    // what any field holds).
    char buffer[16];
    // The end of the file ends the digits, as a NUL in the text would.
    if (n > static_cast<int>(sizeof buffer)) {
        std::string longer(static_cast<std::size_t>(n), '\0');
        in.Read(longer.data(), n);
        return ToInt(ParseHex(longer));
    }
    const char* text = in.Take(buffer, n);
    // Plain digits (all a well-formed file has), seven at most, which an int
    // holds, are the value as they stand; anything else is converted as
    // strtol would.
    if (n <= 7) {
        int value = 0, i = 0;
        for (int d; i < n && (d = HexDigit(text[i])) >= 0; ++i) value = value * 16 + d;
        if (i == n) return value;
    }
    return ToInt(ParseHex(std::string_view(text, static_cast<std::size_t>(n))));
}

int ReadHexField(std::FILE* file, int n) {
    HexInput in(file);
    return ReadHexField(in, n);
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
    HexInput in(file.get());
    LoadHex(in, image, start, end, prompt, report);
    return 0;
}

void LoadHex(HexInput& in, Image& image, std::int32_t& start, std::int32_t& end, common::UserPrompt& prompt,
             LoadReport* report) {
    LoadReport found;
    // The end of a record: its checksum field read, whether it ran into the
    // end of the file, whether all its bytes add up.
    const auto finish = [&](int sum, int base) {
        sum += ReadHexField(in, 2);
        // A field that asked for a character past the end: the record is incomplete.
        if (in.AtEnd()) found.cutShort = true;
        if ((sum & 0xFF) != 0) {
            ++found.checksumWarnings;
            prompt.Message("Warning: Checksum error between address " + std::to_string(base));
        }
    };

    while (SkipToRecordStart(in) == ':') {
        const int length = ReadHexField(in, 2);
        int address = ReadHexField(in, 4);
        const int type = ReadHexField(in, 2);
        const int base = address;
        int sum = length + (address >> 8) + address + type;

        // Extended segment (02) and linear (04) address: two bytes that
        // shift every later data address, by the segment times 16 or by the
        // value times 65,536. Many tools write a zero base first in every
        // file, which changes nothing. Tools write any other base only for
        // data above 64 KiB, past the meter's 16-bit addresses: the file is
        // made for a bigger chip, and loaded here its code would land in the
        // wrong place. The record is checked as a data record is: another
        // length than two bytes is a bad record, a wrong sum a warning.
        if (type == 2 || type == 4) {
            if (length != 2) {
                found.badRecord = true;
                break;
            }
            const int high = ReadHexField(in, 2);
            const int low = ReadHexField(in, 2);
            finish(sum + high + low, base);
            if (high != 0 || low != 0) {
                found.foreignBase = true;
                break;
            }
            continue;
        }
        if (type != 0) continue;  // the next search for ':' passes over the rest

        // A sign in a field can make it negative; such a record has no place
        // in the image, and a file holding one is not flashed at all.
        if (length < 0 || address < 0 || address + length > kImageSize) {
            found.badRecord = true;
            break;
        }
        for (int i = 0; i < length; ++i) {
            const int value = ReadHexField(in, 2);
            image[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(value);
            sum += value;
            ++address;
        }
        finish(sum, base);
        if (start > base) start = base;
        if (end < address) end = address;
    }
    if (in.Failed()) found.readError = true;
    if (report) *report = found;
}

}  // namespace firmware
