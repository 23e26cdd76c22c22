// The transponder plans of the orbital positions: Debian's dtv-scan-tables
// (one DVBv5 scan file per satellite, the position only in the file name,
// several files for one position), read here; an Enigma2 satellites.xml, as
// every set-top box writes it, becomes the same plans in SatelliteList.h. The
// reader works on the text in memory; the file and folder functions around
// it are thin. A malformed text is refused whole with a message that says
// where and why. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sky {

enum class Polarisation { H, V, L, R };
// H and L share the meter's "H / L" switch position, V and R the other.
constexpr bool OnHorizontalSwitch(Polarisation p) { return p == Polarisation::H || p == Polarisation::L; }

struct Transponder {
    double frequency = 0;   // MHz (radio frequency)
    double symbolRate = 0;  // Msym/s
    Polarisation polarisation = Polarisation::H;
    // The band a transponder of this symbol rate occupies, MHz.
    double Width() const { return symbolRate * 1.35; }
};

// One orbital position's plan.
struct Satellite {
    std::string position;   // as the data set's file names write it: "13.0E", "30.0W"
    double longitude = 0;   // degrees, east positive
    std::string name;       // the satellite's name ("Hotbird"); of merged files, the one with most transponders
    bool cBand = false;     // a C-band plan (file names with "_C")
    std::vector<Transponder> transponders;  // in ascending frequency
};

// What a reader makes of a text: its plans (never none), or for a text it
// refuses no plans and the message that says where (line) and why. A refusal
// is an answer, not a fault, so the readers do not throw.
template <class T>
struct Plans {
    std::vector<T> plans;
    std::string error;  // empty when the text was taken
    explicit operator bool() const { return error.empty(); }
};

// ---- DVBv5 scan files ----

// The channels of one DVBv5 scan file for satellites: "[name]" sections of
// "KEY = VALUE" lines, '#' comments. Each section needs FREQUENCY (kHz),
// SYMBOL_RATE (sym/s) and POLARIZATION (HORIZONTAL, VERTICAL, LEFT, RIGHT);
// other keys are accepted and ignored.
Plans<Transponder> ParseScanFile(std::string_view text);

// What a scan file's name tells: "Hotbird-13.0E", "AMC9_C-83.0W",
// "Eutelsat5_5.0W". No value for a name without a position at its end.
struct ScanFileName {
    std::string name;
    std::string position;
    double longitude = 0;
    bool cBand = false;
};
std::optional<ScanFileName> ParseScanFileName(std::string_view fileName);

// A position written as the file names write it: 13.0 -> "13.0E", -30 -> "30.0W".
std::string PositionText(double longitude);

// The plans of every scan file in a folder (UTF-8 name), merged per position
// and band, in ascending longitude (west to east). Files that are
// refused are listed with their message; a folder that cannot be read gives
// no plans and one message.
struct Catalogue {
    std::vector<Satellite> satellites;
    std::vector<std::string> refused;  // "<file>: <message>"
};
Catalogue LoadScanFolder(const std::string& folder);

// Merges the files of one position (and band) into plans: the same
// frequency and polarisation listed twice counts once.
void AddToCatalogue(Catalogue& catalogue, const ScanFileName& file, std::vector<Transponder> transponders);

// Where the data set lies: on Windows the "dvb-s" folder beside the program
// (`programFolder`, UTF-8), elsewhere Debian's /usr/share/dvb/dvb-s.
std::string ScanFolder(const std::string& programFolder);

// Plausible satellite frequencies and symbol rates: the readers refuse what
// no plan holds rather than carry it into the naming.
inline constexpr std::int64_t kMaxKHz = 100'000'000;  // 100 GHz
inline constexpr std::int64_t kMaxSymbolRate = 1'000'000'000;

// A decimal integer (a minus sign, then digits only) of at most `limit`; no
// value when not one.
std::optional<std::int64_t> DecimalInteger(std::string_view s, std::int64_t limit);

// A refusal's or a skipped entry's place and reason: "строка 12: <why>".
std::string AtLine(long long line, std::string_view why);

}  // namespace sky
