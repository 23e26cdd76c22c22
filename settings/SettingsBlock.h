// The meter's whole configuration: one fixed 248-byte little-endian record,
// the same bytes on the meter, in a settings file and in the window's buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace settings {

inline constexpr std::size_t kBlockSize = 248;

// Kept as raw bytes, so that bytes the program does not interpret travel
// through unchanged.
using SettingsBlock = std::array<std::uint8_t, kBlockSize>;

}  // namespace settings
