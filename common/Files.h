// File names and file opening that behave the same on Linux and Windows.
//
// The logic takes file names as UTF-8 text. On Windows the C library's narrow
// functions read names in the ANSI code page, so a folder such as
// "Документы" would not be found there: names go through the wide functions
// instead. Files are always opened in binary mode, so that no line-end
// translation or end-of-file character (Ctrl-Z) changes what is read.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace common {

// The path that a UTF-8 file name denotes.
std::filesystem::path PathFromUtf8(const std::string& name);

// fopen with the name given as a path; mode as for fopen, "b" included by
// the caller. Null (errno set) when the file cannot be opened.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// Opens an existing file for binary reading; null when it cannot be opened
// or is a folder (Linux would open a folder and fail only on reading, Windows
// refuses it at once: both refuse it here).
std::FILE* OpenForReading(const std::filesystem::path& path);

// A whole file read into memory, up to a bound: what was read, whether the
// file held more than `maxBytes` (reading stopped then, somewhat past the
// bound), and whether a read failed. None when the file cannot be opened.
struct ReadBytes {
    std::string bytes;
    bool tooBig = false;
    bool failed = false;
};
std::optional<ReadBytes> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes);

// Creates a file that did not exist before and opens it for binary writing;
// null, with errno EEXIST, when the name is taken (never opening or
// truncating the existing file), or with another errno when creation fails.
std::FILE* CreateNewFile(const std::filesystem::path& path);

// Puts `size` bytes in the file named (UTF-8) `path` so that the file is
// either replaced whole or left as it was: the bytes go to a new temporary
// file in the same folder, are flushed to disk, and the temporary file is
// then renamed over the target. An existing file that may not be written
// (read-only, a folder) is left alone; a replaced file keeps its permissions;
// a symbolic link is followed to the file it names. False, with nothing left
// behind, when any step fails.
bool WriteWholeFile(const std::string& path, const void* data, std::size_t size);

}  // namespace common
