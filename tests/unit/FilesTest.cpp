#include "common/Files.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using testfiles::Utf8;

namespace {

std::string FileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Every name in the folder with its content (empty for a folder).
std::set<std::pair<std::string, std::string>> Listing(const fs::path& dir) {
    std::set<std::pair<std::string, std::string>> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.insert({Utf8(e.path().filename()), e.is_directory() ? std::string() : FileText(e.path())});
    return out;
}

}  // namespace

TEST(WholeFileWrite, ReplacesWholeOrLeavesTheFolderAsItWas) {
    const fs::path dir = testfiles::ScratchDir("whole-file") / common::PathFromUtf8("Снимки");
    fs::remove_all(dir.parent_path());
    fs::create_directories(dir / "sub");
    const fs::path file = dir / common::PathFromUtf8("трасса.csv");
    const std::string first(5000, 'a'), second = "b;c\r\n";

    ASSERT_TRUE(common::WriteWholeFile(Utf8(file), first.data(), first.size()));
    EXPECT_EQ(FileText(file), first);
    ASSERT_TRUE(common::WriteWholeFile(Utf8(file), second.data(), second.size()));
    EXPECT_EQ(FileText(file), second) << "a shorter text replaces a longer one whole";
    const auto before = Listing(dir);
    EXPECT_EQ(before.size(), 2u) << "no temporary file is left beside it";

    // Saves that cannot succeed leave every file of the folder as it was and
    // add none: a folder in the file's place, a missing folder, a file where
    // a folder should be, a name no file system takes.
    for (const fs::path& bad : {dir / "sub", dir / "missing" / "x.csv", file / "x.csv",
                                dir / (std::string(300, 'n') + ".csv")}) {
        EXPECT_FALSE(common::WriteWholeFile(Utf8(bad), first.data(), first.size())) << Utf8(bad);
        EXPECT_EQ(Listing(dir), before) << Utf8(bad);
    }

    // A read-only file stays as it is (unless this process writes anything).
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const bool written = common::WriteWholeFile(Utf8(file), first.data(), first.size());
    EXPECT_EQ(written, testfiles::IgnoresReadOnly());
    if (!written) {
        EXPECT_EQ(Listing(dir), before);
    }
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    fs::remove_all(dir.parent_path());
}
