// Files for logic tests on Linux and Windows alike: a scratch folder of the
// test process's own, and paths handed to the logic as UTF-8 text.
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace testfiles {

// A folder under the system's temporary folder, named after `name` and the
// process, so that tests running side by side do not share one.
inline std::filesystem::path ScratchDir(const std::string& name) {
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = static_cast<int>(::getpid());
#endif
    return std::filesystem::temp_directory_path() / (name + "_" + std::to_string(pid));
}

// The UTF-8 text of a path, as the window hands file names to the logic.
inline std::string Utf8(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}


// Whether this process may write files that their permissions forbid
// (root on Linux; nobody writes a read-only file on Windows).
inline bool IgnoresReadOnly() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

}  // namespace testfiles
