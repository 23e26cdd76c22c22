// Where to point a dish at a geostationary satellite from the installation
// site, and the installation report's table of the stored entries. Texts are
// UTF-8; numbers are written with a decimal comma, whatever the locale.
#pragma once

#include "settings/Editor.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace pointing {

// Spherical Earth and the geostationary orbit's radius, both from the
// Earth's centre, in km.
inline constexpr double kEarthRadius = 6378.0;
inline constexpr double kOrbitRadius = 42164.0;

// The site as the window's fields give it: latitude north, longitude east
// 0..360 (so 330 is 30 degrees west).
struct Site {
    double latitude = 0;
    double longitude = 0;
};

// The site from the coordinate texts ("50,0", "036,0"); none when a text is
// no number or lies outside latitude -90..90, longitude 0..360.
std::optional<Site> ParseSite(const std::string& latitude, const std::string& longitude);

// Degrees. Azimuth true, clockwise from north, 0..360; elevation geometric
// (no refraction); skew the turn of the LNB from the local vertical, positive
// clockwise as seen from behind the dish looking at the satellite, -90..90.
struct Pointing {
    double azimuth = 0;
    double elevation = 0;
    double skew = 0;
    bool AboveHorizon() const { return elevation >= 0; }
};

// Pointing at the satellite over orbital longitude `satellite` (east
// positive, west negative).
Pointing PointAt(const Site& site, double satellite);

// The angle (degrees) a positioner turns to, as the gather stores it for the
// meter: whole degrees and tenths as its code keeps them. None for a word
// that holds no angle (no position).
std::optional<double> StoredMotorAngle(double satellite, const Site& site);

// One stored entry of the table with where to point for it.
struct EntryLine {
    int row = 0;               // grid row, 1..15
    std::string name;          // the stored seven characters
    std::optional<int> position;  // orbital longitude, east positive
    std::string frequency, polarisation, symbolRate, input;
    std::optional<double> motorAngle;
    std::optional<Pointing> pointing;  // none without a position or a site
};

// The grid rows that gather as stored entries (all five cells filled, a name
// of at least seven characters other than the delete item, frequency and
// symbol rate integers of 0..65535), in table order. Names in the rows are
// Windows-1251 bytes, as the grid's logic takes them.
std::vector<EntryLine> StoredEntries(const std::array<settings::RowTexts, settings::kEntryCount>& rows,
                                     const std::optional<Site>& site);

// Texts for the window and the report.
std::string PositionText(int position);                  // "19° в. д.", "30° з. д."
std::string AngleText(double degrees, bool sign = false);  // "201,8°", "+13,9°", "−5,0°"
// The three lines of a name cell's tooltip.
std::string PointingTip(const EntryLine& line);

// The report's table: header, then one line of texts per entry; below the
// horizon the pointing columns say so.
inline constexpr int kTableColumns = 10;
using TableLine = std::array<std::string, kTableColumns>;
TableLine TableHeader();
TableLine TableRow(const EntryLine& line);

}  // namespace pointing
