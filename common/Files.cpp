// The portable part of common/Files.h; what differs between the systems is
// in common/posix/ and common/win32/ (common/FilesSystem.h).
#include "common/Files.h"
#include "common/FilesSystem.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string_view>

namespace common {
namespace fs = std::filesystem;

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

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
        if (std::FILE* f = CreateNewFile(name)) return f;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& name) {
    // A std::string would be taken in the ANSI code page on Windows; char8_t
    // text is always UTF-8.
    const std::u8string text(name.begin(), name.end());
    return std::filesystem::path(text);
}

std::optional<ReadBytes> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    std::FILE* f = OpenForReading(path);
    if (!f) return std::nullopt;
    ReadBytes r;
    char buf[16384];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        r.bytes.append(buf, n);
        if (r.bytes.size() > maxBytes) {
            r.tooBig = true;
            break;
        }
    }
    r.failed = std::ferror(f) != 0;
    std::fclose(f);
    return r;
}

std::FILE* OpenForReading(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return nullptr;
    return OpenFile(path, "rb");
}

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size) {
    std::error_code ec;
    fs::path target = PathFromUtf8(path);
    const bool exists = fs::exists(target, ec);
    if (exists) {
        target = fs::canonical(target, ec);
        if (ec) return false;
        // A file we may not write (read-only, or not a file at all) is left
        // as it is, as writing it in place would leave it.
        if (fs::is_directory(target, ec)) return false;
        if (!os::MarkedWritable(target)) return false;
        FilePtr probe(OpenFile(target, "r+b"), &std::fclose);
        if (!probe) return false;
    }

    fs::path temporary;
    std::FILE* f = CreateTemporary(target, temporary);
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = os::FlushToDisk(f) && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok && exists) {
        // The replacement keeps the permissions the file had.
        const fs::file_status st = fs::status(target, ec);
        if (!ec) fs::permissions(temporary, st.permissions(), ec);
    }
    if (ok) ok = os::ReplaceWith(temporary, target);
    if (!ok) fs::remove(temporary, ec);
    return ok;
}

}  // namespace common
