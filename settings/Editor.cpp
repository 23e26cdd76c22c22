#include "settings/Editor.h"

#include "common/Convert.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace settings {
namespace {

bool IsPolarisationLetter(char c) { return c == 'V' || c == 'H' || c == 'L' || c == 'R'; }

bool IsPolarisationLetter(const std::string& text) { return text.size() == 1 && IsPolarisationLetter(text[0]); }

// A frequency or symbol rate: an integer that the 16-bit field holds. No
// value, with the message in `error`, for a text that is none.
std::optional<std::uint16_t> ToField16(const std::string& text, std::string& error) {
    const std::optional<std::int32_t> v = common::ParseInt(text);
    if (!v) error = common::NotAnInteger(text);
    else if (*v < 0 || *v > 0xFFFF) error = common::kRangeCheckError;
    else return static_cast<std::uint16_t>(*v);
    return std::nullopt;
}

struct Coordinate {
    std::uint8_t degrees;
    std::uint8_t tenths;  // tenths in bits 4..7
};

// Whole degrees and tenths of a coordinate taken in single precision; no
// value when the whole degrees do not fit the byte.
std::optional<Coordinate> Split(float value) {
    const float whole = std::trunc(value);
    if (whole < 0 || whole > 255) return std::nullopt;
    const float fraction = value - whole;
    const int tenths = static_cast<int>(std::fabs(std::floor(fraction * 10 + 0.5)));
    return Coordinate{static_cast<std::uint8_t>(whole), static_cast<std::uint8_t>((tenths * 16) & 0xFF)};
}

// Each entry's motor position for a site given in degrees.
void PutMotorPositions(double lat, double lon, SettingsBlock& block) {
    for (int e = 0; e < kEntryCount; ++e) {
        const std::size_t at = EntryOffset(e) + kMotorPositionAt;
        std::array<std::uint8_t, kNameLength> name{};
        std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(EntryOffset(e) + kSatNameAt), kNameLength,
                    name.begin());
        const std::optional<int> position = OrbitalPosition(name);
        PutU16(block, at, position ? EncodeMotorPosition(MotorAngle(*position, lat, lon)) : 0);
    }
}

}  // namespace

bool IsEmptyRow(const RowTexts& row) {
    const std::string& name = row[kNameColumn];
    return name.empty() || name == kDeleteName || row[kFrequencyColumn].empty() ||
           row[kSymbolRateColumn].empty() || row[kInputColumn].empty() ||
           row[kPolarisationColumn].empty();
}

bool GatherSettings(const EditorTexts& texts, SettingsBlock& block, std::string& error) {
    auto refuse = [&error](std::string message) {
        error = std::move(message);
        return false;
    };
    for (int e = 0; e < kEntryCount; ++e) {
        const RowTexts& row = texts.rows[e];
        const std::size_t at = EntryOffset(e);
        if (IsEmptyRow(row)) {
            std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(at), kEntrySize, std::uint8_t{0});
            continue;
        }
        // The name's bytes go in one by one; a short name stops the gather
        // with what it has already put in.
        const std::string& name = row[kNameColumn];
        const std::size_t n = std::min(name.size(), kNameLength);
        for (std::size_t i = 0; i < n; ++i) block[at + kSatNameAt + i] = static_cast<std::uint8_t>(name[i]);
        if (name.size() < kNameLength) return refuse(common::kRangeCheckError);

        const std::string& pol = row[kPolarisationColumn];
        block[at + kPolarisationAt] = IsPolarisationLetter(pol) ? static_cast<std::uint8_t>(pol[0]) : 0;
        block[at + kDiseqcInputAt] = DiseqcCodeForInput(row[kInputColumn]);
        const std::optional<std::uint16_t> frequency = ToField16(row[kFrequencyColumn], error);
        if (!frequency) return false;
        PutU16(block, at + kFrequencyAt, *frequency);
        const std::optional<std::uint16_t> symbolRate = ToField16(row[kSymbolRateColumn], error);
        if (!symbolRate) return false;
        PutU16(block, at + kSymbolRateAt, *symbolRate);
        block[at + kEntryPadAt] = 0;
    }

    // Both coordinates are converted, latitude first, before any site byte
    // is written.
    const std::optional<double> latitude = common::ParseFloatComma(texts.latitude);
    if (!latitude) return refuse(common::NotAFloat(texts.latitude));
    const std::optional<double> longitude = common::ParseFloatComma(texts.longitude);
    if (!longitude) return refuse(common::NotAFloat(texts.longitude));
    const std::optional<Coordinate> lat = Split(static_cast<float>(*latitude));
    const std::optional<Coordinate> lon = Split(static_cast<float>(*longitude));
    if (!lat || !lon) return refuse(common::kRangeCheckError);
    block[kLatDegreesAt] = lat->degrees;
    block[kLatTenthsAt] = lat->tenths;
    block[kLonDegreesAt] = lon->degrees;
    block[kLonTenthsAt] = lon->tenths;

    block[kBatteryTypeAt] = static_cast<std::uint8_t>(texts.batteryIndex & 0xFF);
    block[kZenerCodeAt] = ZenerCodeFor(texts.zener);
    if (auto code = BatteryCodeFor(block[kBatteryTypeAt], texts.zener)) block[kBatteryCodeAt] = *code;

    PutMotorPositions(*latitude, *longitude, block);
    return true;
}

void GatherSettings(const EditorTexts& texts, SettingsBlock& block) {
    std::string error;
    if (!GatherSettings(texts, block, error)) throw common::UserError(error);
}

void ComputeMotorPositions(const std::string& latitude, const std::string& longitude,
                           SettingsBlock& block) {
    const double lat = common::StrToFloatComma(latitude);  // latitude first: its message comes first
    PutMotorPositions(lat, common::StrToFloatComma(longitude), block);
}

EditorTexts ApplySettings(const SettingsBlock& block) {
    EditorTexts t;
    for (int e = 0; e < kEntryCount; ++e) {
        const TransponderEntry entry = GetEntry(block, e);
        RowTexts& row = t.rows[e];
        const auto end = std::find(entry.satName.begin(), entry.satName.end(), std::uint8_t{0});
        row[kNameColumn].assign(entry.satName.begin(), end);
        if (entry.frequency != 0) row[kFrequencyColumn] = std::to_string(entry.frequency);
        const char pol = static_cast<char>(entry.polarisation);
        if (IsPolarisationLetter(pol)) row[kPolarisationColumn].assign(1, pol);
        if (entry.symbolRate != 0) row[kSymbolRateColumn] = std::to_string(entry.symbolRate);
        if (entry.frequency != 0 && entry.polarisation != 0 && entry.symbolRate != 0)
            row[kInputColumn] = InputForDiseqcCode(entry.diseqcInput);
    }
    t.latitude = std::to_string(block[kLatDegreesAt]) + "," + std::to_string(block[kLatTenthsAt] >> 4);
    t.longitude = (block[kLonDegreesAt] < 100 ? "0" : "") + std::to_string(block[kLonDegreesAt]) + "," +
                  std::to_string(block[kLonTenthsAt] >> 4);
    t.zener = std::clamp(ZenerFromCode(block[kZenerCodeAt]), kZenerMin, kZenerMax);
    t.batteryIndex = std::min<int>(block[kBatteryTypeAt], kBatteryTypeCount - 1);
    return t;
}

CellEditor EditorForColumn(int column) {
    switch (column) {
    case kNameColumn: return CellEditor::Name;
    case kPolarisationColumn: return CellEditor::Polarisation;
    case kInputColumn: return CellEditor::Input;
    default: return CellEditor::Spin;
    }
}

std::string EmptyCellText(int column) {
    switch (EditorForColumn(column)) {
    case CellEditor::Name: return "Exs 00E";
    case CellEditor::Polarisation: return "V";
    case CellEditor::Input: return "1";
    case CellEditor::Spin: return "3400";
    }
    return {};
}

}  // namespace settings
