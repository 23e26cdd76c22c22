#include "common/Files.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
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
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace common {
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
        if (std::FILE* f = CreateNewFile(name)) return f;
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

std::filesystem::path PathFromUtf8(const std::string& name) {
    // A std::string would be taken in the ANSI code page on Windows; char8_t
    // text is always UTF-8.
    const std::u8string text(name.begin(), name.end());
    return std::filesystem::path(text);
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::string_view(mode).size());
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::FILE* OpenForReading(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return nullptr;
    return OpenFile(path, "rb");
}

std::FILE* CreateNewFile(const std::filesystem::path& path) {
    // fopen's "x" flag is not honoured by every Windows C library (msvcrt
    // ignores it and truncates the existing file), so exclusive creation
    // goes through the descriptor-level call on both systems.
#ifdef _WIN32
    int fd = -1;
    const errno_t err = _wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                  _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (err != 0 || fd < 0) {
        errno = err != 0 ? err : EINVAL;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) {
        // The name was free before: give it back rather than leave an empty file.
        _close(fd);
        _wremove(path.c_str());
    }
    return f;
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        // The name was free before: give it back rather than leave an empty file.
        ::close(fd);
        ::unlink(path.c_str());
    }
    return f;
#endif
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
#ifdef _WIN32
        // The read-only attribute binds every user on Windows, but whether
        // opening for writing honours it varies (Wine running as root does
        // not): ask for it directly.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
#endif
        FilePtr probe(OpenFile(target, "r+b"), &std::fclose);
        if (!probe) return false;
    }

    fs::path temporary;
    std::FILE* f = CreateTemporary(target, temporary);
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
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

}  // namespace common
