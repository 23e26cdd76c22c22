#include "settings/Exchange.h"

#include "common/Convert.h"
#include "common/Files.h"

#include "RecordingPrompt.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

using namespace settings;
namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

namespace {

using testfiles::Utf8;

SettingsBlock Pattern(std::uint8_t seed) {
    SettingsBlock b;
    for (std::size_t i = 0; i < kBlockSize; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

std::string FileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, std::size_t n, char v) { std::ofstream(p, std::ios::binary) << std::string(n, v); }

}  // namespace

TEST(SettingsExchange, FilesHoldExactlyOneBlock) {
    const fs::path dir = testfiles::ScratchDir("settings-exchange-test");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "a.vkr3";
    TranscriptPrompt prompt;
    SettingsBlock buf = Pattern(3), opened{};
    int gathered = 0;
    auto gather = [&] { ++gathered; };
    const std::string block(buf.begin(), buf.end());

    // A longer file gives its first 248 bytes; saving over it leaves exactly 248.
    WriteFile(file, 300, 'x');
    OpenFromFile(Utf8(file), opened, prompt, [] {});
    EXPECT_EQ(opened[247], 'x');
    SaveToFile(Utf8(file), buf, prompt, gather);
    EXPECT_EQ(FileText(file), block);
    EXPECT_EQ(prompt.Take(), Texts{std::string(kAttention) + ": " + kAskOverwrite});

    // A file too short, missing or not a file changes nothing.
    WriteFile(dir / "short.vkr3", 100, 'y');
    int applied = 0;
    for (const fs::path& p : {dir / "short.vkr3", dir / "missing.vkr3", dir})
        OpenFromFile(Utf8(p), opened, prompt, [&] { ++applied; });
    EXPECT_EQ(prompt.Take(), Texts(3, "Ошибка чтения файла [0]"));
    EXPECT_EQ(opened[0], 'x');
    EXPECT_EQ(applied, 0);
    // From memory the same: 247 bytes refused, 248 taken.
    OpenFromBytes(buf.data(), kBlockSize - 1, opened, prompt, [&] { ++applied; });
    EXPECT_EQ(prompt.Take(), Texts(1, "Ошибка чтения файла [0]"));
    OpenFromBytes(buf.data(), kBlockSize, opened, prompt, [&] { ++applied; });
    EXPECT_TRUE(opened == buf && applied == 1);

    // A failed gather neither creates nor truncates; a file that cannot be
    // written is reported and nothing is left behind.
    auto failing = [] { throw common::UserError("'5 ,0' is not a valid floating point value"); };
    EXPECT_THROW(SaveToFile(Utf8(dir / "new.vkr3"), buf, prompt, failing), common::UserError);
    EXPECT_THROW(SaveToFile(Utf8(dir / "short.vkr3"), buf, prompt, failing), common::UserError);
    EXPECT_EQ(FileText(dir / "short.vkr3").size(), 100u);
    for (const fs::path& p : {dir / "no-folder" / "a.vkr3", dir}) SaveToFile(Utf8(p), buf, prompt, gather);
    EXPECT_EQ(prompt.Take().back(), "Ошибка записи файла [0]");

    // Saving again replaces the existing file (a plain rename does not on
    // every Windows runtime).
    ASSERT_TRUE(WriteSettingsFile(Utf8(file), Pattern(7)));
    EXPECT_EQ(FileText(file)[0], static_cast<char>(Pattern(7)[0]));
    int entries = 2;
#ifndef _WIN32
    // A link is followed, and the replaced file keeps its permissions.
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, perms);
    fs::create_symlink(file, dir / "link.vkr3");
    ASSERT_TRUE(WriteSettingsFile(Utf8(dir / "link.vkr3"), Pattern(8)));
    EXPECT_TRUE(fs::is_symlink(dir / "link.vkr3"));
    EXPECT_EQ(FileText(file)[0], static_cast<char>(Pattern(8)[0]));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, perms);
    ++entries;
#endif
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), entries)
        << "no temporary files left";
    fs::remove_all(dir);
}

TEST(SettingsExchange, NamesOutsideAsciiAndReadOnlyFiles) {
    // A Russian user's folders: the names reach the file system as they are.
    const fs::path dir = testfiles::ScratchDir("settings-names") / common::PathFromUtf8("Документы");
    fs::remove_all(dir.parent_path());
    fs::create_directories(dir);
    const fs::path file = dir / common::PathFromUtf8("Спутники.vkr3");
    TranscriptPrompt prompt;
    SettingsBlock buf = Pattern(11), opened{};
    EXPECT_FALSE(FileExists(Utf8(file)));
    SaveToFile(Utf8(file), buf, prompt, [] {});
    EXPECT_EQ(prompt.Take(), Texts{}) << "a new file: no question, no error";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_TRUE(FileExists(Utf8(file)));
    OpenFromFile(Utf8(file), opened, prompt, [] {});
    EXPECT_EQ(opened, buf);
    buf = Pattern(12);
    SaveToFile(Utf8(file), buf, prompt, [] {});
    EXPECT_EQ(prompt.Take(), Texts{std::string(kAttention) + ": " + kAskOverwrite});
    EXPECT_EQ(FileText(file), std::string(buf.begin(), buf.end()));

    // A read-only file is left as it is, unless this process writes anything.
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const bool written = WriteSettingsFile(Utf8(file), Pattern(13));
    EXPECT_EQ(written, testfiles::IgnoresReadOnly());
    EXPECT_EQ(FileText(file)[0], static_cast<char>((written ? Pattern(13) : Pattern(12))[0]));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no temporary files left";
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    fs::remove_all(dir.parent_path());
}

TEST(SettingsExchange, NewFilesAreCreatedExclusively) {
    const fs::path dir = testfiles::ScratchDir("settings-create");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path name = dir / "taken.tmp";
    WriteFile(name, 10, 'k');
    errno = 0;
    std::FILE* f = common::CreateNewFile(name);
    EXPECT_EQ(f, nullptr) << "an existing file must not be opened";
    EXPECT_EQ(errno, EEXIST);
    if (f) std::fclose(f);
    EXPECT_EQ(FileText(name), std::string(10, 'k')) << "nor truncated";

    f = common::CreateNewFile(dir / "fresh.tmp");
    ASSERT_NE(f, nullptr);
    std::fputs("a\nb\x1a", f);  // binary: no CR added, no end-of-file mark
    std::fclose(f);
    EXPECT_EQ(FileText(dir / "fresh.tmp"), "a\nb\x1a");
    EXPECT_EQ(common::CreateNewFile(dir / "no-folder" / "x.tmp"), nullptr);
    EXPECT_NE(errno, EEXIST);
    fs::remove_all(dir);
}
