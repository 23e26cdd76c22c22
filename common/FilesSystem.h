// The few file operations that differ between the systems, behind one set
// of declarations: common/posix/ and common/win32/ each implement them, and
// the build takes the one for its system. Used by common/Files.cpp only.
#pragma once

#include <cstdio>
#include <filesystem>

namespace common::os {

// fflush, then the system's flush of the file's data to the disk.
bool FlushToDisk(std::FILE* f);

// Puts `from` in the place of `to`, replacing an existing file in one step.
bool ReplaceWith(const std::filesystem::path& from, const std::filesystem::path& to);

// False when the system marks the existing file read-only for everyone (a
// file attribute that opening for writing does not always honour).
bool MarkedWritable(const std::filesystem::path& path);

}  // namespace common::os
