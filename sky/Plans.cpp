#include "sky/Plans.h"

#include "common/Files.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <utility>

namespace sky {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<std::int64_t> DecimalInteger(std::string_view s, std::int64_t limit) {
    bool negative = false;
    if (!s.empty() && s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 12) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > limit) return std::nullopt;
    return negative ? -v : v;
}

namespace {

void SortPlan(std::vector<Transponder>& t) {
    std::stable_sort(t.begin(), t.end(),
                     [](const Transponder& a, const Transponder& b) { return a.frequency < b.frequency; });
}

}  // namespace

std::string AtLine(long long line, std::string_view why) {
    std::string m = "строка " + std::to_string(line) + ": ";
    m += why;
    return m;
}

// ---- DVBv5 ----

Plans<Transponder> ParseScanFile(std::string_view text) {
    Plans<Transponder> result;
    std::vector<Transponder>& out = result.plans;
    auto refuse = [](int line, std::string_view why) { return Plans<Transponder>{{}, AtLine(line, why)}; };
    struct Section {
        int line = 0;
        std::optional<std::int64_t> frequency, rate;
        std::optional<Polarisation> pol;
        bool satellite = true;  // DELIVERY_SYSTEM absent or DVBS / DVBS2
    };
    std::optional<Section> section;
    // What closing a section finds missing; empty when it is whole.
    auto close = [&out](const Section& s) -> std::string_view {
        if (!s.frequency) return "в канале нет FREQUENCY";
        if (!s.rate) return "в канале нет SYMBOL_RATE";
        if (!s.pol) return "в канале нет POLARIZATION";
        if (s.satellite)
            out.push_back({static_cast<double>(*s.frequency) / 1000.0, static_cast<double>(*s.rate) / 1e6, *s.pol});
        return {};
    };
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNo;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return refuse(lineNo, "заголовок канала без закрывающей скобки");
            if (section)
                if (const std::string_view missing = close(*section); !missing.empty())
                    return refuse(section->line, missing);
            section = Section{};
            section->line = lineNo;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return refuse(lineNo, "строка не вида КЛЮЧ = ЗНАЧЕНИЕ");
        if (!section) return refuse(lineNo, "значение до первого заголовка канала");
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (key.empty()) return refuse(lineNo, "пустой ключ");
        if (key == "FREQUENCY") {
            section->frequency = DecimalInteger(value, kMaxKHz);
            if (!section->frequency || *section->frequency <= 0) return refuse(lineNo, "неверная частота");
        } else if (key == "SYMBOL_RATE") {
            section->rate = DecimalInteger(value, kMaxSymbolRate);
            if (!section->rate || *section->rate <= 0) return refuse(lineNo, "неверная символьная скорость");
        } else if (key == "POLARIZATION") {
            if (value == "HORIZONTAL") section->pol = Polarisation::H;
            else if (value == "VERTICAL") section->pol = Polarisation::V;
            else if (value == "LEFT") section->pol = Polarisation::L;
            else if (value == "RIGHT") section->pol = Polarisation::R;
            else return refuse(lineNo, "неизвестная поляризация");
        } else if (key == "DELIVERY_SYSTEM") {
            section->satellite = value == "DVBS" || value == "DVBS2";
        }
    }
    if (section)
        if (const std::string_view missing = close(*section); !missing.empty()) return refuse(section->line, missing);
    if (out.empty()) {
        result.error = "в файле нет ни одного канала";
        return result;
    }
    SortPlan(out);
    return result;
}

std::optional<ScanFileName> ParseScanFileName(std::string_view fileName) {
    // The position is the file name's tail: digits, an optional fraction and
    // E or W, after a '-' or '_'.
    if (fileName.size() < 3) return std::nullopt;
    const char side = fileName.back();
    if (side != 'E' && side != 'W') return std::nullopt;
    std::size_t start = fileName.size() - 1;
    while (start > 0 && ((fileName[start - 1] >= '0' && fileName[start - 1] <= '9') || fileName[start - 1] == '.'))
        --start;
    const std::string_view number = fileName.substr(start, fileName.size() - 1 - start);
    if (number.empty() || number.front() == '.' || number.back() == '.' ||
        std::count(number.begin(), number.end(), '.') > 1 || start < 2)
        return std::nullopt;
    const char separator = fileName[start - 1];
    if (separator != '-' && separator != '_') return std::nullopt;
    double degrees = 0, scale = 0;
    for (char c : number) {
        if (c == '.') {
            scale = 1;
            continue;
        }
        if (scale > 0) degrees += (c - '0') * (scale /= 10);
        else degrees = degrees * 10 + (c - '0');
    }
    if (degrees > 180) return std::nullopt;
    ScanFileName f;
    f.name = std::string(fileName.substr(0, start - 1));
    f.position = std::string(number) + side;
    if (f.position.find('.') == std::string::npos) f.position.insert(f.position.size() - 1, ".0");
    f.longitude = side == 'E' ? degrees : -degrees;
    if (f.name.size() >= 2 && f.name.substr(f.name.size() - 2) == "_C") {
        f.cBand = true;
        f.name.resize(f.name.size() - 2);
    }
    if (f.name.empty()) return std::nullopt;
    return f;
}

std::string PositionText(double longitude) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f%c", std::fabs(longitude), longitude < 0 ? 'W' : 'E');
    return buf;
}

void AddToCatalogue(Catalogue& catalogue, const ScanFileName& file, std::vector<Transponder> transponders) {
    auto it = std::find_if(catalogue.satellites.begin(), catalogue.satellites.end(), [&](const Satellite& s) {
        return s.position == file.position && s.cBand == file.cBand;
    });
    if (it == catalogue.satellites.end()) {
        Satellite s;
        s.position = file.position;
        s.longitude = file.longitude;
        s.cBand = file.cBand;
        s.name = file.name;
        s.transponders = std::move(transponders);
        catalogue.satellites.push_back(std::move(s));
        return;
    }
    // The name of the file that brings most transponders names the position.
    if (transponders.size() > it->transponders.size()) it->name = file.name;
    for (const Transponder& t : transponders) {
        const bool known = std::any_of(it->transponders.begin(), it->transponders.end(), [&](const Transponder& k) {
            return std::fabs(k.frequency - t.frequency) < 0.5 && k.polarisation == t.polarisation;
        });
        if (!known) it->transponders.push_back(t);
    }
    SortPlan(it->transponders);
}

Catalogue LoadScanFolder(const std::string& folder) {
    Catalogue c;
    std::error_code ec;
    const std::filesystem::path dir = common::PathFromUtf8(folder);
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(it->path());
    if (ec && files.empty()) {
        c.refused.push_back(folder + ": папка не читается");
        return c;
    }
    // One order on every system, so that merged names do not depend on it.
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& path : files) {
        const std::u8string u8 = path.filename().u8string();
        const std::string name(u8.begin(), u8.end());
        const std::optional<ScanFileName> file = ParseScanFileName(name);
        if (!file) {
            c.refused.push_back(name + ": в имени нет позиции спутника");
            continue;
        }
        // A scan file runs to a few kilobytes; what lies past 16 MB is not read.
        const std::optional<common::ReadBytes> read = common::ReadWholeFile(path, (16u << 20) - 1);
        if (!read) {
            c.refused.push_back(name + ": файл не читается");
            continue;
        }
        Plans<Transponder> plan = ParseScanFile(read->bytes);
        if (plan) AddToCatalogue(c, *file, std::move(plan.plans));
        else c.refused.push_back(name + ": " + plan.error);
    }
    std::stable_sort(c.satellites.begin(), c.satellites.end(),
                     [](const Satellite& a, const Satellite& b) { return a.longitude < b.longitude; });
    return c;
}

std::string ScanFolder(const std::string& programFolder) {
#ifdef _WIN32
    return programFolder + "/dvb-s";
#else
    (void)programFolder;
    return "/usr/share/dvb/dvb-s";
#endif
}

}  // namespace sky
