// Windows-1251, the meter's one-byte-a-character encoding of satellite names,
// to and from UTF-8 with a fixed table: the same result on every system,
// whatever codecs the window toolkit was built with.
#pragma once

#include <string>
#include <string_view>

namespace common {

// One byte for every character: characters Windows-1251 lacks, and bytes
// that are not valid UTF-8, become '?'.
std::string Cp1251FromUtf8(std::string_view utf8);

// Every byte becomes its character; the one byte without a character (0x98)
// becomes U+0098, so that any block of bytes comes back unchanged.
std::string Utf8FromCp1251(std::string_view bytes);

}  // namespace common
