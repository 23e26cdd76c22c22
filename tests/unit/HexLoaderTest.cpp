// The Intel HEX loader against real tool output and hand-made files.
#include "firmware/HexLoader.h"

#include "common/Files.h"

#include "CommaLocale.h"
#include "RecordingPrompt.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using firmware::Image;
using firmware::kImageSize;
using testfiles::Utf8;

const fs::path kHexDir = fs::path(TESTDATA_DIR) / "hex";

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One well-formed record with its checksum.
std::string Record(int type, int address, const std::vector<int>& bytes) {
    char buf[16];
    int sum = static_cast<int>(bytes.size()) + (address >> 8) + address + type;
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(bytes.size()), address, type);
    std::string r = buf;
    for (int b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        r += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X\n", (-sum) & 0xFF);
    return r + buf;
}

class HexLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { firmware::ResetImage(image, start, end); }
    void TearDown() override { fs::remove_all(dir_); }

    // Loads text written to a temporary file; the same text loaded from
    // memory must give the same image, range, messages and report.
    int Load(const std::string& text) {
        fs::create_directories(dir_);
        const fs::path path = dir_ / ("f" + std::to_string(files_++) + ".hex");
        std::ofstream(path, std::ios::binary) << text;
        auto memory = std::make_unique<Image>(image);
        std::int32_t memStart = start, memEnd = end;
        RecordingPrompt memPrompt = prompt;
        firmware::LoadReport memReport;
        const int result = firmware::LoadHexFile(Utf8(path), image, start, end, prompt, &report);
        firmware::HexInput in(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        firmware::LoadHex(in, *memory, memStart, memEnd, memPrompt, &memReport);
        EXPECT_TRUE(*memory == image && memStart == start && memEnd == end && memPrompt.messages == prompt.messages &&
                    memReport.checksumWarnings == report.checksumWarnings && memReport.badRecord == report.badRecord &&
                    memReport.cutShort == report.cutShort && memReport.foreignBase == report.foreignBase)
            << "from memory, not as from the file";
        return result;
    }

    Image image;
    std::int32_t start = 0, end = 0;
    RecordingPrompt prompt;
    firmware::LoadReport report;

private:
    fs::path dir_ = testfiles::ScratchDir("hexloader");
    int files_ = 0;
};

TEST_F(HexLoaderTest, EveryTestFileMatchesItsReference) {
    std::ifstream manifest(kHexDir / "MANIFEST.tsv");
    ASSERT_TRUE(manifest) << "no manifest in " << kHexDir;
    std::string line;
    std::getline(manifest, line);  // header
    int rows = 0;
    while (std::getline(manifest, line)) {
        std::istringstream cols(line);
        std::string file, first, last, warnings, addresses;
        std::getline(cols, file, '\t');
        std::getline(cols, first, '\t');
        std::getline(cols, last, '\t');
        std::getline(cols, warnings, '\t');
        std::getline(cols, addresses, '\t');
        if (first == "-") continue;  // empty and truncated files: tested below
        ++rows;
        SCOPED_TRACE(file);
        firmware::ResetImage(image, start, end);
        prompt.messages.clear();
        ASSERT_EQ(firmware::LoadHexFile(Utf8(kHexDir / file), image, start, end, prompt, &report), 0);

        const auto reference = ReadBytes(kHexDir / fs::path(file).replace_extension(".img"));
        ASSERT_EQ(reference.size(), static_cast<std::size_t>(kImageSize));
        EXPECT_TRUE(std::equal(image.begin(), image.end(), reference.begin()));
        EXPECT_EQ(start, std::stoi(first));
        EXPECT_EQ(end, std::stoi(last));

        std::vector<std::string> expected;
        std::istringstream list(addresses == "-" ? "" : addresses);
        for (std::string a; std::getline(list, a, ',');)
            expected.push_back("Warning: Checksum error between address " + std::to_string(std::stoi(a, nullptr, 16)));
        EXPECT_EQ(prompt.messages, expected);
        EXPECT_EQ(report.checksumWarnings, std::stoi(warnings));
        EXPECT_FALSE(report.badRecord || report.cutShort || report.readError);
        EXPECT_EQ(report.Refused(), std::stoi(warnings) > 0);
    }
    EXPECT_GE(rows, 11);
}

TEST_F(HexLoaderTest, EmptyAndTruncatedTestFiles) {
    EXPECT_EQ(firmware::LoadHexFile(Utf8(kHexDir / "empty.hex"), image, start, end, prompt, &report), 0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(start, kImageSize);
    EXPECT_EQ(end, 0);
    EXPECT_FALSE(report.Refused());
    EXPECT_EQ(Load("0300000001020304F3\nno record mark anywhere\n"), 0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(start, kImageSize);
    EXPECT_EQ(end, 0);

    // Cut inside the record at 0x0050 after three data bytes: the five whole
    // records load, the cut one keeps its three bytes and zeros for the rest.
    EXPECT_EQ(firmware::LoadHexFile(Utf8(kHexDir / "truncated.hex"), image, start, end, prompt, &report), 0);
    const auto echo = ReadBytes(kHexDir / "echo_m328p.img");
    ASSERT_GE(echo.size(), 0x50u) << "no reference image in " << kHexDir;
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x50, echo.begin()));
    EXPECT_EQ(image[0x50], 0x0C);
    EXPECT_EQ(image[0x51], 0x94);
    EXPECT_EQ(image[0x52], 0x59);
    for (int a = 0x53; a < 0x60; ++a) EXPECT_EQ(image[a], 0x00) << a;
    EXPECT_EQ(image[0x60], 0xFF);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0x60);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Warning: Checksum error between address 80"});
    EXPECT_TRUE(report.cutShort);
    EXPECT_TRUE(report.Refused());
}

TEST_F(HexLoaderTest, RecordTypesOrderAndOverlap) {
    // Extended address records with a zero base do not move later data; an
    // end-of-file record does not stop reading; a later record overwrites an
    // earlier one.
    EXPECT_EQ(Load(Record(0, 0x0000, {1, 2, 3, 4}) + Record(4, 0, {0x00, 0x00}) + Record(0, 0x0002, {9, 9}) +
                   Record(1, 0, {}) + Record(2, 0, {0x00, 0x00}) + Record(0, 0x0100, {7}) +
                   Record(3, 0, {0, 0, 1, 2}) + Record(5, 0, {0, 0, 1, 2})),
              0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(image[0], 1);
    EXPECT_EQ(image[1], 2);
    EXPECT_EQ(image[2], 9);
    EXPECT_EQ(image[3], 9);
    EXPECT_EQ(image[4], 0xFF);
    EXPECT_EQ(image[0x100], 7);
    EXPECT_EQ(image[0x10000], 0xFF);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0x101);
    EXPECT_FALSE(report.Refused());

    // A skipped record's data and checksum are never looked at.
    firmware::ResetImage(image, start, end);
    EXPECT_EQ(Load(":02000005ZZZZ00\n:01002000558A\n:0F000001\n"), 0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(image[0x20], 0x55);
    EXPECT_EQ(start, 0x20);
    EXPECT_EQ(end, 0x21);
    EXPECT_FALSE(report.Refused());
}

TEST_F(HexLoaderTest, ExtendedAddressesOtherThanZeroOrDamagedRefuseTheFile) {
    // A base above 64 KiB, by segment (02) or linear address (04): what came
    // before stays, nothing after it is loaded, no box of the loader's own.
    const std::string bases[] = {Record(2, 0, {0x10, 0x00}), Record(4, 0, {0x00, 0x01})};
    for (const std::string& base : bases) {
        SCOPED_TRACE(base);
        firmware::ResetImage(image, start, end);
        EXPECT_EQ(Load(Record(0, 0x0010, {1}) + base + Record(0, 0x0000, {2}) + Record(1, 0, {})), 0);
        EXPECT_TRUE(prompt.messages.empty());
        EXPECT_TRUE(report.foreignBase);
        EXPECT_TRUE(report.Refused());
        EXPECT_FALSE(report.badRecord || report.cutShort || report.checksumWarnings > 0);
        EXPECT_EQ(image[0x10], 1);
        EXPECT_EQ(image[0x00], 0xFF);
        EXPECT_EQ(start, 0x10);
        EXPECT_EQ(end, 0x11);
    }

    // Damaged ones are never taken for a zero base: another length than two
    // bytes, a wrong sum, the end of the file inside the record.
    firmware::ResetImage(image, start, end);
    EXPECT_EQ(Load(Record(4, 0, {0, 0, 0, 0}) + Record(0, 0x0000, {2})), 0);
    EXPECT_TRUE(report.badRecord);
    EXPECT_EQ(image[0], 0xFF);
    firmware::ResetImage(image, start, end);
    EXPECT_EQ(Load(":020000020000FD\n" + Record(0, 0x0000, {2})), 0);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Warning: Checksum error between address 0"});
    EXPECT_TRUE(report.Refused());
    firmware::ResetImage(image, start, end);
    EXPECT_EQ(Load(Record(0, 0x0000, {2}) + ":0200000400"), 0);
    EXPECT_TRUE(report.cutShort);
}

TEST_F(HexLoaderTest, ZeroLengthAndTopOfMemoryRecords) {
    EXPECT_EQ(Load(Record(0, 0x1234, {})), 0);
    EXPECT_EQ(start, 0x1234);
    EXPECT_EQ(end, 0x1234);
    EXPECT_EQ(std::count(image.begin(), image.end(), 0xFF), kImageSize);

    std::vector<int> top(255);
    for (int i = 0; i < 255; ++i) top[i] = i;
    firmware::ResetImage(image, start, end);
    EXPECT_EQ(Load(Record(0, 0x0010, {1}) + Record(0, 0xFFFF, top) + Record(0, 0x0008, {})), 0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(image[65535], 0);
    EXPECT_EQ(image[65789], 254);
    EXPECT_EQ(image[65790], 0xFF);
    EXPECT_EQ(image[65791], 0xFF);
    EXPECT_EQ(start, 8);
    EXPECT_EQ(end, 65790);
    EXPECT_FALSE(report.Refused());
}

// A scratch file for update in binary mode, as std::tmpfile gives, but in
// the temporary folder (msvcrt's tmpfile writes to the root of the drive).
std::FILE* ScratchFile() {
    static int count = 0;
    const fs::path dir = testfiles::ScratchDir("hexfield");
    fs::create_directories(dir);
    return common::OpenFile(dir / std::to_string(count++), "w+b");
}

TEST(HexField, ConvertsLikeStrtolBase16) {
    auto field = [](const std::string& text, int n) {
        std::FILE* f = ScratchFile();
        std::fputs(text.c_str(), f);
        std::rewind(f);
        const int v = firmware::ReadHexField(f, n);
        const int next = std::fgetc(f);
        std::fclose(f);
        return std::make_pair(v, next);
    };
    EXPECT_EQ(field("1F:", 2), std::make_pair(0x1F, int(':')));
    EXPECT_EQ(field("aBcD!", 4), std::make_pair(0xABCD, int('!')));
    EXPECT_EQ(field(" 7zz", 2).first, 7);       // leading white space
    EXPECT_EQ(field("+F", 2).first, 15);
    EXPECT_EQ(field("-1", 2).first, -1);
    EXPECT_EQ(field("-FFF", 4).first, -0xFFF);
    EXPECT_EQ(field("1G34", 4), std::make_pair(1, int(EOF)));  // digits up to the first non-digit; all 4 read
    EXPECT_EQ(field("zz", 2).first, 0);
    EXPECT_EQ(field("A", 2).first, 0xA);        // the end of the file ends the digits
    EXPECT_EQ(field("", 4).first, 0);
    EXPECT_EQ(field("0x1F", 4).first, 0x1F);    // strtol takes the prefix...
    EXPECT_EQ(field("0xZ1", 4).first, 0);       // ...only before a digit
    EXPECT_EQ(field("\v\f7", 3).first, 7);
    // Only the "C" locale's blanks, whatever locale the process runs in.
    EXPECT_EQ(field("\xA0" "7", 2).first, 0);
    EXPECT_EQ(field("\x85" "7", 2).first, 0);
    // Plain digits up to what an int holds, and past it.
    EXPECT_EQ(field("fFfFfFf", 7).first, 0xFFFFFFF);
    EXPECT_EQ(field("7FFFFFFF", 8).first, 0x7FFFFFFF);
    EXPECT_EQ(field("80000000", 8).first, INT_MAX);
    EXPECT_EQ(field("-80000000", 9).first, INT_MIN);

    std::FILE* f = ScratchFile();
    std::fputs("abc\n:rest", f);
    std::rewind(f);
    EXPECT_EQ(firmware::SkipToRecordStart(f), ':');
    EXPECT_EQ(std::fgetc(f), 'r');
    EXPECT_EQ(firmware::SkipToRecordStart(f), EOF);
    std::fclose(f);
    fs::remove_all(testfiles::ScratchDir("hexfield"));
}

TEST(HexField, BlanksIgnoreTheProcessLocale) {
    CommaLocale locale;
    if (locale.Name().empty()) GTEST_SKIP() << "no locale with a decimal comma installed";
    // Windows' Russian locale counts the no-break space (0xA0) as a blank;
    // glibc's never does, so this case can only fail in the Windows run.
    std::FILE* f = ScratchFile();
    std::fputs("\xA0" "7 7", f);
    std::rewind(f);
    EXPECT_EQ(firmware::ReadHexField(f, 2), 0) << locale.Name();
    EXPECT_EQ(firmware::ReadHexField(f, 2), 7);
    std::fclose(f);
    fs::remove_all(testfiles::ScratchDir("hexfield"));
}

TEST_F(HexLoaderTest, ChecksumWarningsKeepTheData) {
    std::string bad = Record(0, 0x0100, {0x11, 0x22});
    bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';  // damage the checksum
    EXPECT_EQ(Load(bad + Record(0, 0x0200, {0x33}) + ":010300004400\n"), 0);
    EXPECT_EQ(prompt.messages, (std::vector<std::string>{"Warning: Checksum error between address 256",
                                                          "Warning: Checksum error between address 768"}));
    EXPECT_EQ(image[0x100], 0x11);
    EXPECT_EQ(image[0x101], 0x22);
    EXPECT_EQ(image[0x300], 0x44);
    EXPECT_EQ(start, 0x100);
    EXPECT_EQ(end, 0x301);
    EXPECT_EQ(report.checksumWarnings, 2);
    EXPECT_TRUE(report.Refused());
    EXPECT_FALSE(report.badRecord || report.cutShort);
}

TEST_F(HexLoaderTest, RecordsCutShortByTheEndOfTheFile) {
    // Data bytes present up to the cut, zeros after it, checksum tested and range updated.
    EXPECT_EQ(Load(Record(0, 0x0000, {5}) + ":0400100001"), 0);
    EXPECT_EQ(image[0x10], 0x01);
    EXPECT_EQ(image[0x11], 0x00);
    EXPECT_EQ(image[0x13], 0x00);
    EXPECT_EQ(end, 0x14);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Warning: Checksum error between address 16"});
    EXPECT_TRUE(report.cutShort);

    // Cut inside the header: the fields read as zero, so it looks like an
    // empty data record at 0 whose checksum happens to add up. Still incomplete.
    firmware::ResetImage(image, start, end);
    prompt.messages.clear();
    EXPECT_EQ(Load(Record(0, 0x0100, {5}) + ":0"), 0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(start, 0);
    EXPECT_TRUE(report.cutShort);
    EXPECT_TRUE(report.Refused());

    // A last record complete up to its final character is not cut short.
    firmware::ResetImage(image, start, end);
    const std::string whole = Record(0, 0x0100, {5});
    EXPECT_EQ(Load(whole.substr(0, whole.size() - 1)), 0);
    EXPECT_FALSE(report.Refused());
}

TEST_F(HexLoaderTest, NegativeFieldsRefuseTheFileWithoutWritingOutsideTheImage) {
    // Address "-010": the record would start 16 bytes before the image.
    EXPECT_EQ(Load(Record(0, 0x0000, {1}) + ":04-01000AABBCCDD00\n" + Record(0, 0x0200, {2})), 0);
    EXPECT_TRUE(report.badRecord);
    EXPECT_TRUE(report.Refused());
    EXPECT_EQ(image[0x200], 0xFF) << "loading stops at the refused record";
    EXPECT_EQ(std::count(image.begin(), image.end(), 0xFF), kImageSize - 1);

    firmware::ResetImage(image, start, end);
    EXPECT_EQ(Load(":-1010000FF\n"), 0);  // negative length
    EXPECT_TRUE(report.badRecord);

    // Signs in records that are skipped anyway change nothing.
    firmware::ResetImage(image, start, end);
    EXPECT_EQ(Load(":-2-00005FF\n" + Record(0, 0x0000, {1})), 0);
    EXPECT_FALSE(report.Refused());
    EXPECT_EQ(end, 1);
}

TEST_F(HexLoaderTest, FilesThatCannotBeRead) {
    image[5] = 0x12;
    start = 7;
    end = 9;
    EXPECT_EQ(firmware::LoadHexFile("/nonexistent/dir/x.hex", image, start, end, prompt, &report), 1);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"error opening"});
    EXPECT_EQ(image[5], 0x12);
    EXPECT_EQ(start, 7);
    EXPECT_EQ(end, 9);

    // A folder is not taken for an empty file: it cannot be opened as one,
    // on Linux (where fopen would open it) as on Windows.
    prompt.messages.clear();
    EXPECT_EQ(firmware::LoadHexFile(Utf8(kHexDir), image, start, end, prompt, &report), 1);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"error opening"});
    EXPECT_EQ(image[5], 0x12);
    EXPECT_EQ(start, 7);
    EXPECT_EQ(end, 9);
}

TEST_F(HexLoaderTest, EveryByteCountsAsItIsInTheFile) {
    // Line ends are characters like any other inside a record: a record cut
    // short by its CR LF reads "\r\n" as one field (no digits: 0) and goes on
    // with the next line's characters. Text-mode reading on Windows would
    // drop the CR and shift every later field by one character.
    EXPECT_EQ(Load(":0300200001\r\n0506\r\n"), 0);
    EXPECT_EQ(image[0x20], 0x01);
    EXPECT_EQ(image[0x21], 0x00);
    EXPECT_EQ(image[0x22], 0x05);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Warning: Checksum error between address 32"});

    // Ctrl-Z is no end of file: records after it load too.
    firmware::ResetImage(image, start, end);
    prompt.messages.clear();
    EXPECT_EQ(Load(Record(0, 0x0000, {1}) + "\x1a\r\n" + Record(0, 0x0040, {0x1A, 2})), 0);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(image[0x40], 0x1A);
    EXPECT_EQ(image[0x41], 2);
    EXPECT_EQ(end, 0x42);
    EXPECT_FALSE(report.Refused());
}

TEST_F(HexLoaderTest, FileNamesAreUtf8) {
    // A firmware file in a folder with a Russian name.
    const fs::path dir = testfiles::ScratchDir("hexloader-names") / common::PathFromUtf8("Прошивки");
    fs::create_directories(dir);
    const fs::path file = dir / common::PathFromUtf8("версия 2.hex");
    std::ofstream(file, std::ios::binary) << Record(0, 0x0010, {0xAB});
    EXPECT_EQ(firmware::LoadHexFile(Utf8(file), image, start, end, prompt, &report), 0);
    EXPECT_EQ(image[0x10], 0xAB);
    EXPECT_TRUE(prompt.messages.empty());
    fs::remove_all(dir.parent_path());
}

}  // namespace
