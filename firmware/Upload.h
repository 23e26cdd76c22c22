// Writes a loaded firmware image into the meter: device information, 128-byte
// firmware blocks, one end-of-upload request, and the firmware button's whole
// update from a chosen file.
#pragma once

#include "common/UserPrompt.h"
#include "firmware/HexLoader.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace firmware {

inline constexpr int kBlockBytes = 128;           // image bytes per firmware block
inline constexpr int kFlashBlockSize = 4 + kBlockBytes;
inline constexpr int kDeviceInfoSize = 7;
inline constexpr int kReservedTop = 2048;         // the meter's own top of program memory

// The integer whose little-endian bytes are bytes[offset] .. bytes[offset + count - 1].
int GetLeInt(const std::uint8_t* bytes, int offset, int count);
// Stores the low count bytes of value into bytes[0] .. bytes[count - 1], low byte first.
void PutLeInt(std::uint8_t* bytes, std::uint32_t value, int count);

// Uploads image[start, end) to the meter, widened to whole pages. Shows the
// meter's sizes, then the outcome; the device is closed after the last box.
// Progress lines go to out. Returns 0 when no block was sent, otherwise the
// result of the last firmware-block request.
int UploadFirmware(const Image& image, std::int32_t start, std::int32_t end,
                   common::UserPrompt& prompt, std::FILE* out = stdout);

// The firmware button once a file is chosen: reset the image and range, load
// the file, refuse a damaged or empty one or one for a chip with more than
// 64 KiB, upload the rest.
void UpdateFromFile(const std::string& path, Image& image, std::int32_t& start, std::int32_t& end,
                    common::UserPrompt& prompt, std::FILE* out = stdout);

}  // namespace firmware
