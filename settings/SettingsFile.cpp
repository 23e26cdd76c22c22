// Settings files: reading one block, and replacing a file whole or not at all.
#include "settings/Exchange.h"

#include "common/Files.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string_view>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace settings {
namespace fs = std::filesystem;

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

// Creates a new file beside `target` that no one else has; null when the
// folder does not let us.
std::FILE* CreateTemporary(const fs::path& target, fs::path& name) {
    // Only a distinct name is needed; exclusive creation below guarantees
    // that no existing file is ever opened.
    std::minstd_rand gen(static_cast<std::uint_fast32_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ reinterpret_cast<std::uintptr_t>(&name)));
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(gen()));
        const std::string_view tail(suffix);
        name = dir / fs::path(u8"." + target.filename().u8string() + std::u8string(tail.begin(), tail.end()));
        if (std::FILE* f = common::CreateNewFile(name)) return f;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

// Puts `from` in the place of `to`, replacing an existing file in one step.
bool ReplaceWith(const fs::path& from, const fs::path& to) {
#ifdef _WIN32
    // Not every C++ runtime's rename replaces an existing file on Windows;
    // MoveFileEx does, and with write-through returns only once the move has
    // been flushed to disk.
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
#endif
}

}  // namespace

bool ReadSettingsFile(const std::string& path, SettingsBlock& block) {
    FilePtr in(common::OpenForReading(common::PathFromUtf8(path)), &std::fclose);
    if (!in) return false;
    SettingsBlock data{};
    if (std::fread(data.data(), 1, kBlockSize, in.get()) != kBlockSize) return false;
    block = data;
    return true;
}

bool WriteSettingsFile(const std::string& path, const SettingsBlock& block) {
    std::error_code ec;
    fs::path target = common::PathFromUtf8(path);
    const bool exists = fs::exists(target, ec);
    if (exists) {
        target = fs::canonical(target, ec);
        if (ec) return false;
        // A file we may not write (read-only, or not a file at all) is left
        // as it is, as writing it in place would leave it.
        if (fs::is_directory(target, ec)) return false;
#ifdef _WIN32
        // The read-only attribute binds every user on Windows, but whether
        // opening for writing honours it varies (Wine running as root does
        // not): ask for it directly.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
#endif
        FilePtr probe(common::OpenFile(target, "r+b"), &std::fclose);
        if (!probe) return false;
    }

    fs::path temporary;
    std::FILE* f = CreateTemporary(target, temporary);
    if (!f) return false;
    bool ok = std::fwrite(block.data(), 1, kBlockSize, f) == kBlockSize;
    ok = FlushToDisk(f) && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok && exists) {
        // The replacement keeps the permissions the file had.
        const fs::file_status st = fs::status(target, ec);
        if (!ec) fs::permissions(temporary, st.permissions(), ec);
    }
    if (ok) ok = ReplaceWith(temporary, target);
    if (!ok) fs::remove(temporary, ec);
    return ok;
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
