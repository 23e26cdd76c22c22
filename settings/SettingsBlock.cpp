#include "settings/SettingsBlock.h"

#include <cmath>
#include <cstring>

namespace settings {
namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kOrbitRadius = 42233.24009;
constexpr double kEarthRadius = 6378;

// Tenths of a degree as sixteenths, rounded to the nearest sixteenth.
constexpr std::uint8_t kFractionCode[10] = {0, 2, 3, 5, 6, 8, 10, 11, 13, 14};

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

TransponderEntry GetEntry(const SettingsBlock& block, int entry) {
    const std::size_t at = EntryOffset(entry);
    TransponderEntry e;
    std::memcpy(e.satName.data(), &block[at + kSatNameAt], kNameLength);
    e.entryPad = block[at + kEntryPadAt];
    e.frequency = GetU16(block, at + kFrequencyAt);
    e.polarisation = block[at + kPolarisationAt];
    e.symbolRate = GetU16(block, at + kSymbolRateAt);
    e.diseqcInput = block[at + kDiseqcInputAt];
    e.motorPosition = GetU16(block, at + kMotorPositionAt);
    return e;
}

void PutEntry(SettingsBlock& block, int entry, const TransponderEntry& e) {
    const std::size_t at = EntryOffset(entry);
    std::memcpy(&block[at + kSatNameAt], e.satName.data(), kNameLength);
    block[at + kEntryPadAt] = e.entryPad;
    PutU16(block, at + kFrequencyAt, e.frequency);
    block[at + kPolarisationAt] = e.polarisation;
    PutU16(block, at + kSymbolRateAt, e.symbolRate);
    block[at + kDiseqcInputAt] = e.diseqcInput;
    PutU16(block, at + kMotorPositionAt, e.motorPosition);
}

std::optional<int> OrbitalPosition(const std::array<std::uint8_t, kNameLength>& name) {
    int position = IsDigit(name[4]) ? 10 * (name[4] - '0') : 0;
    if (!IsDigit(name[5])) return std::nullopt;
    position += name[5] - '0';
    if (name[6] == 'W') return -position;
    if (name[6] == 'E') return position;
    return std::nullopt;
}

std::uint8_t DiseqcCodeForInput(std::string_view input) {
    if (input.size() != 1) return 0;
    switch (input[0]) {
    case '1': return 0;
    case '2': return 1;
    case '3': return 2;
    case '4': return 3;
    case '5': return 20;
    case '6': return 21;
    case '7': return 22;
    case '8': return 23;
    default: return 0;
    }
}

std::string InputForDiseqcCode(std::uint8_t code) {
    if (code <= 3) return std::string(1, static_cast<char>('1' + code));
    if (code >= 16 && code <= 19) return std::string(1, static_cast<char>('1' + code - 16));
    if (code >= 20 && code <= 23) return std::string(1, static_cast<char>('5' + code - 20));
    return {};
}

std::uint16_t EncodeMotorPosition(double angle) {
    if (!std::isfinite(angle)) return 0;
    const double whole = std::trunc(angle);
    const double fraction = angle - whole;
    // -0 compares equal to 0 and so points east, as any angle above -1 does.
    const unsigned direction = whole >= 0 ? 0xE : 0xD;
    const unsigned degrees = static_cast<unsigned>(std::fabs(whole)) & 0xFF;
    const int tenths = static_cast<int>(std::fabs(std::floor(fraction * 10 + 0.5)));
    // Ten tenths (fractions from 0.95) add nothing.
    const unsigned code = tenths < 10 ? kFractionCode[tenths] : 0;
    return static_cast<std::uint16_t>(direction * 4096 + degrees * 16 + code);
}

double MotorAngle(double satelliteLongitude, double latitude, double longitude) {
    const double d = (satelliteLongitude - longitude) * kDegToRad;
    const double a = std::cos(d) * kOrbitRadius;
    const double b = std::sin((90 - latitude) * kDegToRad) * kEarthRadius;
    const double c = std::sin(d) * kOrbitRadius;
    return std::atan(c / (a - b)) * kRadToDeg;
}

std::uint8_t ZenerCodeFor(int z) { return static_cast<std::uint8_t>((250 - z) & 0xFF); }

int ZenerFromCode(std::uint8_t code) { return 250 - code; }

std::optional<std::uint8_t> BatteryCodeFor(int batteryType, int z) {
    int k;
    switch (batteryType) {
    case 0: k = 100; break;  // lead-acid
    case 1: k = 90; break;   // Ni-Cd, Ni-MH
    case 2: k = 105; break;  // Li-ion
    default: return std::nullopt;
    }
    return static_cast<std::uint8_t>((5 * (k - z)) & 0xFF);
}

}  // namespace settings
