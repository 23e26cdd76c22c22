// The file operations of common/Files.h and common/FilesSystem.h that differ
// between the systems: Windows, where names go through the wide functions
// (the narrow ones read the ANSI code page).
#include "common/Files.h"
#include "common/FilesSystem.h"

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

#include <cerrno>
#include <string>
#include <string_view>

namespace common {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::string_view(mode).size());
    return _wfopen(path.c_str(), wideMode.c_str());
}

std::FILE* CreateNewFile(const std::filesystem::path& path) {
    // fopen's "x" flag is not honoured by every Windows C library (msvcrt
    // ignores it and truncates the existing file): exclusive creation goes
    // through the descriptor-level call.
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
}

namespace os {

bool FlushToDisk(std::FILE* f) { return std::fflush(f) == 0 && _commit(_fileno(f)) == 0; }

bool ReplaceWith(const std::filesystem::path& from, const std::filesystem::path& to) {
    // Not every C++ runtime's rename replaces an existing file on Windows;
    // MoveFileEx does, and with write-through returns only once the move has
    // been flushed to disk.
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The read-only attribute binds every user on Windows, but whether opening
// for writing honours it varies (Wine running as root does not): it is asked
// for directly.
bool MarkedWritable(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace os
}  // namespace common
