// Settings files: reading one block, and replacing a file whole or not at all.
#include "settings/Exchange.h"

#include "common/Files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace settings {
namespace fs = std::filesystem;

namespace {

// The first 248 bytes of a file, or as many as it has; false when it cannot
// be opened.
bool ReadStart(const std::string& path, SettingsBlock& bytes, std::size_t& count) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(common::OpenForReading(common::PathFromUtf8(path)),
                                                       &std::fclose);
    if (!in) return false;
    count = std::fread(bytes.data(), 1, kBlockSize, in.get());
    return true;
}

}  // namespace

bool BlockFromBytes(const std::uint8_t* data, std::size_t size, SettingsBlock& block) {
    if (size < kBlockSize) return false;
    std::copy(data, data + kBlockSize, block.begin());
    return true;
}

bool ReadSettingsFile(const std::string& path, SettingsBlock& block) {
    SettingsBlock bytes{};
    std::size_t count = 0;
    return ReadStart(path, bytes, count) && BlockFromBytes(bytes.data(), count, block);
}

bool WriteSettingsFile(const std::string& path, const SettingsBlock& block) {
    return common::WriteWholeFile(path, block.data(), block.size());
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(common::PathFromUtf8(path), ec);
}

void OpenFromFile(const std::string& path, SettingsBlock& buffer, common::UserPrompt& prompt,
                  const Step& apply) {
    SettingsBlock bytes{};
    std::size_t count = 0;
    if (!ReadStart(path, bytes, count)) count = 0;  // refused as a file too short
    OpenFromBytes(bytes.data(), count, buffer, prompt, apply);
}

void OpenFromBytes(const std::uint8_t* data, std::size_t size, SettingsBlock& buffer, common::UserPrompt& prompt,
                   const Step& apply) {
    if (!BlockFromBytes(data, size, buffer)) {
        prompt.Message(kMsgFileReadError);
        return;
    }
    apply();
}

void SaveToFile(const std::string& path, SettingsBlock& buffer, common::UserPrompt& prompt,
                const Step& gatherAndApply) {
    if (FileExists(path) && !prompt.Ask(kAskOverwrite, kAttention)) return;
    gatherAndApply();
    if (!WriteSettingsFile(path, buffer)) prompt.Message(kMsgFileWriteError);
}

}  // namespace settings
