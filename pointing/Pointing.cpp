#include "pointing/Pointing.h"

#include "common/Convert.h"
#include "common/Cp1251.h"
#include "settings/SettingsBlock.h"

#include <charconv>
#include <cmath>

namespace pointing {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;

// The fraction codes of the motor word, tenths 0..9 (the inverse of the
// gather's table).
constexpr std::array<int, 10> kFractionCode{0, 2, 3, 5, 6, 8, 10, 11, 13, 14};

std::optional<int> Field16(const std::string& text) {
    try {
        const std::int32_t v = common::StrToInt(text);
        if (v < 0 || v > 0xFFFF) return std::nullopt;
        return v;
    } catch (const common::UserError&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<Site> ParseSite(const std::string& latitude, const std::string& longitude) {
    Site s;
    try {
        s.latitude = common::StrToFloatComma(latitude);
        s.longitude = common::StrToFloatComma(longitude);
    } catch (const common::UserError&) {
        return std::nullopt;
    }
    if (!(std::fabs(s.latitude) <= 90) || !(s.longitude >= 0 && s.longitude <= 360)) return std::nullopt;
    return s;
}

// Spherical Earth of radius R, satellite on the equator at radius r, k = R/r;
// site at latitude phi, the satellite's longitude minus the site's d:
//
//   cos g = cos phi cos d                 (g: the arc from the site to the
//                                          point under the satellite)
//   elevation = atan2(cos g - k, sin g)
//   azimuth   = atan2(sin d, -sin phi cos d)          (from north, clockwise)
//   skew      = atan2(-cos phi sin d sqrt(1 + k^2 - 2k cos g),
//                     sin phi (1 - k cos g))          folded into -90..90
//
// The skew is the angle, in the plane square to the line of sight, from the
// site's vertical to the Earth's axis (the satellite's vertical
// polarisation), both projected into that plane; its tangent reduces to the
// form above. Without the sqrt and k terms it is the common approximation
// atan(sin d / tan phi) with the opposite sign convention; the exact form
// differs from it by up to a few tenths of a degree.
//
// Worked example: site 50,0 N, 036,0 E; "Ast 19E" (d = -17 degrees);
// k = 6378 / 42164 = 0.151266; cos g = 0.642788 x 0.956305 = 0.614701,
// sin g = 0.788760:
//   elevation = atan2(0.614701 - 0.151266, 0.788760)          = 30.436
//   azimuth   = atan2(-0.292372, -0.766044 x 0.956305)        = 201.757
//   skew      = atan2(0.187933 x 0.914830, 0.766044 x 0.907016) = +13.898
// An independent check by vectors in Earth-centred coordinates (the line of
// sight from the site's position to the satellite's; its components along
// the site's up, east and north; the Earth's axis and the site's up, both
// projected square to the line of sight, and the signed angle between them
// seen along it) gives azimuth 201.7571, elevation 30.4363, skew 13.8982.
// The positioner's angle the gather stores for it is -18.8 (-18.79 before
// the word's tenths). "His 30W" from the same site: azimuth 251.167,
// elevation 6.512, skew +37.789.
Pointing PointAt(const Site& site, double satellite) {
    const double k = kEarthRadius / kOrbitRadius;
    const double phi = site.latitude * kRad;
    const double d = (satellite - site.longitude) * kRad;
    const double cosG = std::cos(phi) * std::cos(d);
    const double sinG = std::sqrt(std::max(0.0, 1 - cosG * cosG));
    Pointing p;
    p.elevation = std::atan2(cosG - k, sinG) / kRad;
    p.azimuth = std::atan2(std::sin(d), -std::sin(phi) * std::cos(d)) / kRad;
    if (p.azimuth < 0) p.azimuth += 360;
    // At the equator looking straight up the azimuth has no meaning: 0.
    if (p.azimuth >= 360 || sinG == 0) p.azimuth = 0;
    double skew = std::atan2(-std::cos(phi) * std::sin(d) * std::sqrt(1 + k * k - 2 * k * cosG),
                             std::sin(phi) * (1 - k * cosG)) / kRad;
    // A polarisation is a line: a turn of 180 degrees is the same.
    if (skew > 90) skew -= 180;
    if (skew <= -90) skew += 180;
    p.skew = skew;
    return p;
}

std::optional<double> StoredMotorAngle(double satellite, const Site& site) {
    const std::uint16_t word = settings::EncodeMotorPosition(settings::MotorAngle(satellite, site.latitude, site.longitude));
    const int direction = word >> 12;
    if (direction != 0xE && direction != 0xD) return std::nullopt;
    const int degrees = (word >> 4) & 0xFF;
    int tenths = 0;
    for (int t = 0; t < 10; ++t)
        if (kFractionCode[static_cast<std::size_t>(t)] == (word & 0xF)) tenths = t;
    const double angle = degrees + tenths / 10.0;
    return direction == 0xD ? -angle : angle;
}

std::vector<EntryLine> StoredEntries(const std::array<settings::RowTexts, settings::kEntryCount>& rows,
                                     const std::optional<Site>& site) {
    using namespace settings;
    std::vector<EntryLine> lines;
    for (int e = 0; e < kEntryCount; ++e) {
        const RowTexts& row = rows[static_cast<std::size_t>(e)];
        if (IsEmptyRow(row) || row[kNameColumn].size() < kNameLength) continue;
        if (!Field16(row[kFrequencyColumn]) || !Field16(row[kSymbolRateColumn])) continue;
        EntryLine line;
        line.row = e + 1;
        const std::string bytes = row[kNameColumn].substr(0, kNameLength);
        line.name = common::Utf8FromCp1251(bytes);
        std::array<std::uint8_t, kNameLength> name{};
        for (std::size_t i = 0; i < kNameLength; ++i) name[i] = static_cast<std::uint8_t>(bytes[i]);
        line.position = OrbitalPosition(name);
        line.frequency = std::to_string(*Field16(row[kFrequencyColumn]));
        line.polarisation = row[kPolarisationColumn];
        line.symbolRate = std::to_string(*Field16(row[kSymbolRateColumn]));
        line.input = InputForDiseqcCode(DiseqcCodeForInput(row[kInputColumn]));
        if (line.position && site) {
            line.motorAngle = StoredMotorAngle(*line.position, *site);
            line.pointing = PointAt(*site, *line.position);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string PositionText(int position) {
    return std::to_string(std::abs(position)) + (position < 0 ? "° з. д." : "° в. д.");
}

std::string AngleText(double degrees, bool sign) {
    // One decimal; a value that rounds to zero has no sign.
    double v = std::round(degrees * 10) / 10;
    if (v == 0) v = 0;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, 1);
    std::string s(buf, r.ptr);
    if (const auto dot = s.find('.'); dot != std::string::npos) s[dot] = ',';
    if (v < 0) s = "−" + s;
    else if (sign && v > 0) s = "+" + s;
    return s + "°";
}

std::string PointingTip(const EntryLine& line) {
    std::string tip = line.name;
    if (!line.position) return tip + "\nНет орбитальной позиции в названии";
    tip += " — " + PositionText(*line.position);
    if (!line.pointing) return tip + "\nКоординаты установки не заданы";
    const Pointing& p = *line.pointing;
    if (p.AboveHorizon())
        tip += "\nАзимут " + AngleText(p.azimuth) + ", угол места " + AngleText(p.elevation) + ", поворот LNB " +
               AngleText(p.skew, true);
    else
        tip += "\nНиже горизонта";
    if (line.motorAngle) tip += "\nУгол мотора " + AngleText(*line.motorAngle, true);
    return tip;
}

TableLine TableHeader() {
    return {"Спутник", "Позиция", "Частота", "Пол.", "Скорость", "Вход", "Мотор", "Азимут", "Угол места",
            "Поворот LNB"};
}

TableLine TableRow(const EntryLine& line) {
    TableLine t;
    t[0] = line.name;
    t[1] = line.position ? PositionText(*line.position) : "—";
    t[2] = line.frequency;
    t[3] = line.polarisation;
    t[4] = line.symbolRate;
    t[5] = line.input;
    t[6] = line.motorAngle ? AngleText(*line.motorAngle, true) : "—";
    if (!line.pointing) {
        t[7] = t[8] = t[9] = "—";
    } else if (!line.pointing->AboveHorizon()) {
        t[7] = "ниже";
        t[8] = "горизонта";
        t[9] = "—";
    } else {
        t[7] = AngleText(line.pointing->azimuth);
        t[8] = AngleText(line.pointing->elevation);
        t[9] = AngleText(line.pointing->skew, true);
    }
    return t;
}

}  // namespace pointing
