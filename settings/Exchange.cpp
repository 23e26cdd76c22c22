#include "settings/Exchange.h"

#include "device/UsbLink.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace settings {
namespace fs = std::filesystem;

namespace {

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
        name = dir / ("." + target.filename().string() + suffix);
        // "x": fail rather than open a file that already exists.
        if (std::FILE* f = std::fopen(name.string().c_str(), "wbx")) return f;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

}  // namespace

void ReadFromMeter(SettingsBlock& buffer, common::UserPrompt& prompt, const Step& apply) {
    device::MeterSession meter;
    if (!meter) {
        prompt.Message(kMsgDisconnected);
        return;
    }
    // The reply lands in a block of its own: a short or failed read must not
    // leave a half-replaced buffer behind.
    SettingsBlock received{};
    if (meter.Transfer(device::kReadSettings, received.data()) == static_cast<int>(kBlockSize)) {
        buffer = received;
        apply();
        prompt.Message(kMsgReceived);
    } else {
        prompt.Message(kMsgReadError);
    }
}  // the meter is closed here, after the box

void WriteToMeter(SettingsBlock& buffer, common::UserPrompt& prompt, const Step& gatherAndApply) {
    device::MeterSession meter;
    if (!meter) {
        prompt.Message(kMsgDisconnected);
        return;
    }
    if (!prompt.Ask(kAskWrite, kAttention)) return;
    gatherAndApply();
    const bool sent = meter.Transfer(device::kWriteSettings, buffer.data()) == static_cast<int>(kBlockSize);
    prompt.Message(sent ? kMsgSent : kMsgWriteError);
}

bool ReadSettingsFile(const std::string& path, SettingsBlock& block) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    SettingsBlock data{};
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(kBlockSize));
    if (in.gcount() != static_cast<std::streamsize>(kBlockSize)) return false;
    block = data;
    return true;
}

bool WriteSettingsFile(const std::string& path, const SettingsBlock& block) {
    std::error_code ec;
    fs::path target(path);
    const bool exists = fs::exists(target, ec);
    if (exists) {
        target = fs::canonical(target, ec);
        if (ec) return false;
        // A file we may not write (read-only, or not a file at all) is left
        // as it is, as writing it in place would leave it.
        std::FILE* probe = std::fopen(target.string().c_str(), "r+b");
        if (!probe) return false;
        std::fclose(probe);
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
    if (ok) {
        fs::rename(temporary, target, ec);
        ok = !ec;
    }
    if (!ok) fs::remove(temporary, ec);
    return ok;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
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
