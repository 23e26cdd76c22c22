// The meter's whole configuration: one fixed 248-byte little-endian record,
// the same bytes on the meter, in a settings file and in the window's buffer.
//
// Layout: 15 transponder entries of 16 bytes, then the site coordinates, the
// battery type, the battery and Zener codes and one pad byte. No header,
// version or checksum.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace settings {

inline constexpr std::size_t kBlockSize = 248;

// Kept as raw bytes, so that bytes the program does not interpret travel
// through unchanged.
using SettingsBlock = std::array<std::uint8_t, kBlockSize>;

// ---- Transponder entries ----

inline constexpr int kEntryCount = 15;
inline constexpr std::size_t kEntrySize = 16;
inline constexpr std::size_t kNameLength = 7;

// Offsets inside one entry.
inline constexpr std::size_t kSatNameAt = 0;        // 7 bytes, Windows-1251, no terminator
inline constexpr std::size_t kEntryPadAt = 7;       // always written as 0
inline constexpr std::size_t kFrequencyAt = 8;      // u16
inline constexpr std::size_t kPolarisationAt = 10;  // 'V', 'H', 'L', 'R' or 0
inline constexpr std::size_t kSymbolRateAt = 11;    // u16, unaligned
inline constexpr std::size_t kDiseqcInputAt = 13;   // input code
inline constexpr std::size_t kMotorPositionAt = 14; // u16

constexpr std::size_t EntryOffset(int entry) { return kEntrySize * static_cast<std::size_t>(entry); }

// ---- Site, battery and Zener bytes ----

inline constexpr std::size_t kLatDegreesAt = 240;
inline constexpr std::size_t kLatTenthsAt = 241;   // tenths in bits 4..7
inline constexpr std::size_t kLonDegreesAt = 242;
inline constexpr std::size_t kLonTenthsAt = 243;   // tenths in bits 4..7
inline constexpr std::size_t kBatteryTypeAt = 244; // 0, 1, 2; 0xFF: none selected
inline constexpr std::size_t kBatteryCodeAt = 245;
inline constexpr std::size_t kZenerCodeAt = 246;
inline constexpr std::size_t kTailPadAt = 247;     // never written by the program

inline std::uint16_t GetU16(const SettingsBlock& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline void PutU16(SettingsBlock& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// One entry taken apart. An empty entry is 16 zero bytes.
struct TransponderEntry {
    std::array<std::uint8_t, kNameLength> satName{};
    std::uint8_t entryPad = 0;
    std::uint16_t frequency = 0;
    std::uint8_t polarisation = 0;
    std::uint16_t symbolRate = 0;
    std::uint8_t diseqcInput = 0;
    std::uint16_t motorPosition = 0;

    bool operator==(const TransponderEntry&) const = default;
};

TransponderEntry GetEntry(const SettingsBlock& block, int entry);
void PutEntry(SettingsBlock& block, int entry, const TransponderEntry& e);

// ---- Field codes ----

// The orbital position a name carries in its characters 5..7 ("Ast 19E" is
// +19, "His 30W" is -30): character 5 the tens digit (anything else counts as
// 0), character 6 the units digit, character 7 'E' or 'W'. None when the
// units digit or the direction is missing.
std::optional<int> OrbitalPosition(const std::array<std::uint8_t, kNameLength>& name);

// The input code written for an input text "1".."8"; 0 for any other text.
std::uint8_t DiseqcCodeForInput(std::string_view input);
// The input a code reads as ("1" for 0 and 16, ..., "5" for 20, ...); the
// empty text for a code no input has.
std::string InputForDiseqcCode(std::uint8_t code);

// The positioner's angle word: direction nibble (0xE for a whole part of zero
// or more, 0xD below), whole degrees without sign, fraction code of the
// rounded tenths in sixteenths. Angles that are not finite give 0.
std::uint16_t EncodeMotorPosition(double angle);

// The angle (degrees) to which a positioner at the site (latitude, longitude
// in degrees) turns to reach a satellite at the given orbital longitude.
double MotorAngle(double satelliteLongitude, double latitude, double longitude);

// Battery and Zener codes for the Zener setting z. The battery code exists
// only for the battery types 0, 1 and 2.
std::uint8_t ZenerCodeFor(int z);
int ZenerFromCode(std::uint8_t code);
std::optional<std::uint8_t> BatteryCodeFor(int batteryType, int z);

}  // namespace settings
