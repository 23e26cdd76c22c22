// Reads a firmware file in Intel HEX text form into a flat image of the
// meter's program memory and reports the address range its data records cover.
#pragma once

#include "common/UserPrompt.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace firmware {

// One byte for every program-memory address from 0 to 65,791: a record at the
// highest four-digit address with the largest two-digit length still fits.
inline constexpr int kImageSize = 65792;
using Image = std::array<std::uint8_t, kImageSize>;

// The firmware update's one image and the range the last load found
// (start: lowest data address; end: one past the highest, exclusive).
extern Image FirmwareImage;
extern std::int32_t ImageStart;
extern std::int32_t ImageEnd;

// Prepares an image and its range for a load: every byte 0xFF (unprogrammed
// flash), start above any address, end below any.
void ResetImage(Image& image, std::int32_t& start, std::int32_t& end);

// What a load found wrong with the file besides what its result code says.
struct LoadReport {
    int checksumWarnings = 0;  // data records whose checksum did not add up
    bool badRecord = false;    // a data record with a negative length or address, or reaching
                               // outside the image: loading stopped there
    bool cutShort = false;     // a data record was cut short by the end of the file
    bool readError = false;    // reading failed before the end of the file
    bool foreignBase = false;  // an extended address record (type 02 or 04) set a base other than
                               // zero: the data belongs above 64 KiB, in a bigger chip than the
                               // meter's; loading stopped there

    // The file must not be flashed: it is damaged, incomplete or made for another device.
    bool Refused() const { return badRecord || cutShort || readError || foreignBase || checksumWarnings > 0; }
};

// The characters of a HEX file one at a time, from an open file or from its
// content in memory; EOF at the end, which stays noted once asked for.
class HexInput {
public:
    explicit HexInput(std::FILE* file) : file_(file) {}
    HexInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    int Get() {
        if (file_) {
            const int c = std::fgetc(file_);
            if (c == EOF) atEnd_ = true;
            return c;
        }
        if (pos_ < size_) return data_[pos_++];
        atEnd_ = true;
        return EOF;
    }
    // The next n characters into `out`, '\0' for each asked for at the end.
    void Read(char* out, int n) {
        if (n <= 0) return;
        if (file_) {
            for (int i = 0; i < n; ++i) {
                const int c = Get();
                out[i] = c == EOF ? '\0' : static_cast<char>(c);
            }
            return;
        }
        const std::size_t have = std::min(static_cast<std::size_t>(n), size_ - pos_);
        std::memcpy(out, data_ + pos_, have);
        pos_ += have;
        if (have < static_cast<std::size_t>(n)) {
            std::memset(out + have, 0, static_cast<std::size_t>(n) - have);
            atEnd_ = true;
        }
    }
    // The next n (> 0) characters as Read gives them: where the content in
    // memory holds them all, in place, without a copy; otherwise read into
    // `room`, which holds n.
    const char* Take(char* room, int n) {
        if (!file_ && size_ - pos_ >= static_cast<std::size_t>(n)) {
            const char* at = reinterpret_cast<const char*>(data_ + pos_);
            pos_ += static_cast<std::size_t>(n);
            return at;
        }
        Read(room, n);
        return room;
    }
    // Reads up to and including the next character c; EOF (at the end) when
    // none follows.
    int SkipTo(int c) {
        if (file_) {
            int got;
            do {
                got = Get();
            } while (got != c && got != EOF);
            return got;
        }
        const void* at = pos_ < size_ ? std::memchr(data_ + pos_, c, size_ - pos_) : nullptr;
        if (!at) {
            pos_ = size_;
            atEnd_ = true;
            return EOF;
        }
        pos_ = static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - data_) + 1;
        return c;
    }
    // A character was asked for at the end.
    bool AtEnd() const { return atEnd_; }
    // Reading the file failed (memory never fails).
    bool Failed() const { return file_ && std::ferror(file_); }

private:
    std::FILE* file_ = nullptr;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0, pos_ = 0;
    bool atEnd_ = false;
};

// Reads characters until a ':' or the end of the file; returns ':' or EOF.
int SkipToRecordStart(HexInput& in);
int SkipToRecordStart(std::FILE* file);

// Reads exactly n characters, whatever they are, and converts them as strtol
// with base 16 does: leading white space, an optional sign, then hex digits
// of either case up to the first non-digit; no digits give 0. A character
// requested at the end of the file counts as a non-digit.
int ReadHexField(HexInput& in, int n);
int ReadHexField(std::FILE* file, int n);

// Loads the data records (type 00) of the file at path into image, lowering
// start and raising end to cover them, and reads to the physical end of the
// file. The extended segment and linear address records (types 02 and 04)
// are read and checked like data records: with a zero base they change
// nothing; a base other than zero stops the load (foreignBase), and one of
// another length than two bytes is a bad record. Every other record type is
// skipped right after its type field. A record whose checksum is wrong is
// kept all the same, after a "Warning: Checksum error between address <base
// address>" box.
// path is UTF-8 and the file is read byte for byte (binary mode).
// Returns 1 ("error opening" shown) when the file cannot be opened (a folder
// included), otherwise 0;
// report, when given, tells whether the file is fit to be flashed.
int LoadHexFile(const std::string& path, Image& image, std::int32_t& start, std::int32_t& end,
                common::UserPrompt& prompt, LoadReport* report = nullptr);

// The same load from a file's content already in memory (the file's part is
// only opening it); never "error opening".
void LoadHex(HexInput& in, Image& image, std::int32_t& start, std::int32_t& end, common::UserPrompt& prompt,
             LoadReport* report = nullptr);

}  // namespace firmware
