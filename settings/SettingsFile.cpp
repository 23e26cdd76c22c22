// Settings files: reading one block, and replacing a file whole or not at all.
#include "settings/Exchange.h"

#include "common/Files.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace settings {
namespace fs = std::filesystem;

bool ReadSettingsFile(const std::string& path, SettingsBlock& block) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(common::OpenForReading(common::PathFromUtf8(path)),
                                                       &std::fclose);
    if (!in) return false;
    SettingsBlock data{};
    if (std::fread(data.data(), 1, kBlockSize, in.get()) != kBlockSize) return false;
    block = data;
    return true;
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
    if (!ReadSettingsFile(path, buffer)) {
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
