// The file operations of common/Files.h and common/FilesSystem.h that differ
// between the systems: Linux and other POSIX systems.
#include "common/Files.h"
#include "common/FilesSystem.h"

#include <fcntl.h>
#include <unistd.h>

namespace common {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::FILE* CreateNewFile(const std::filesystem::path& path) {
    // Exclusive creation at the descriptor level, as on Windows (where
    // fopen's "x" flag is not honoured everywhere).
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        // The name was free before: give it back rather than leave an empty file.
        ::close(fd);
        ::unlink(path.c_str());
    }
    return f;
}

namespace os {

bool FlushToDisk(std::FILE* f) { return std::fflush(f) == 0 && fsync(fileno(f)) == 0; }

bool ReplaceWith(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return !ec;
}

// Permission bits are honoured by opening for writing itself.
bool MarkedWritable(const std::filesystem::path&) { return true; }

}  // namespace os
}  // namespace common
