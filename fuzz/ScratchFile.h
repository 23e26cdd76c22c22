// A scratch file per harness process for the code under test that reads by
// path: in memory (/dev/shm) where there is one, removed at exit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzzing {

inline const std::string& ScratchPath() {
    static const std::string path = [] {
        std::string made;
        for (const char* dir : {"/dev/shm", "/tmp"}) {
            std::string name = std::string(dir) + "/velkarn-fuzz-XXXXXX";
            const int fd = mkstemp(name.data());
            if (fd < 0) continue;
            close(fd);
            made = name;
            break;
        }
        if (made.empty()) std::abort();
        return made;
    }();
    static const bool removedAtExit = std::atexit([] { unlink(ScratchPath().c_str()); }) == 0;
    (void)removedAtExit;
    return path;
}

// Replaces the scratch file's content with the input.
inline const std::string& WriteScratch(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
    return ScratchPath();
}

}  // namespace fuzzing
