#include "common/Files.h"

#include <cerrno>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace common {

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

}  // namespace common
