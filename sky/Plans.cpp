#include "sky/Plans.h"

#include "common/Files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <system_error>
#include <tuple>

namespace sky {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

[[noreturn]] void Fail(int line, const std::string& why) {
    throw FormatError("строка " + std::to_string(line) + ": " + why);
}

// A decimal integer of at most `limit`; no value when not one.
std::optional<std::int64_t> Integer(std::string_view s, std::int64_t limit) {
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

// Plausible satellite frequencies and symbol rates: the readers refuse
// what no plan holds rather than carry it into the naming.
constexpr std::int64_t kMaxKHz = 100'000'000;      // 100 GHz
constexpr std::int64_t kMaxSymbolRate = 1'000'000'000;

void SortPlan(std::vector<Transponder>& t) {
    std::stable_sort(t.begin(), t.end(),
                     [](const Transponder& a, const Transponder& b) { return a.frequency < b.frequency; });
}

}  // namespace

// ---- DVBv5 ----

std::vector<Transponder> ParseScanFile(std::string_view text) {
    std::vector<Transponder> out;
    struct Section {
        int line = 0;
        std::optional<std::int64_t> frequency, rate;
        std::optional<Polarisation> pol;
        bool satellite = true;  // DELIVERY_SYSTEM absent or DVBS / DVBS2
    };
    std::optional<Section> section;
    auto close = [&out](const Section& s) {
        if (!s.frequency) Fail(s.line, "в канале нет FREQUENCY");
        if (!s.rate) Fail(s.line, "в канале нет SYMBOL_RATE");
        if (!s.pol) Fail(s.line, "в канале нет POLARIZATION");
        if (!s.satellite) return;
        out.push_back({static_cast<double>(*s.frequency) / 1000.0, static_cast<double>(*s.rate) / 1e6, *s.pol});
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
            if (line.back() != ']') Fail(lineNo, "заголовок канала без закрывающей скобки");
            if (section) close(*section);
            section = Section{};
            section->line = lineNo;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) Fail(lineNo, "строка не вида КЛЮЧ = ЗНАЧЕНИЕ");
        if (!section) Fail(lineNo, "значение до первого заголовка канала");
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (key.empty()) Fail(lineNo, "пустой ключ");
        if (key == "FREQUENCY") {
            section->frequency = Integer(value, kMaxKHz);
            if (!section->frequency || *section->frequency <= 0) Fail(lineNo, "неверная частота");
        } else if (key == "SYMBOL_RATE") {
            section->rate = Integer(value, kMaxSymbolRate);
            if (!section->rate || *section->rate <= 0) Fail(lineNo, "неверная символьная скорость");
        } else if (key == "POLARIZATION") {
            if (value == "HORIZONTAL") section->pol = Polarisation::H;
            else if (value == "VERTICAL") section->pol = Polarisation::V;
            else if (value == "LEFT") section->pol = Polarisation::L;
            else if (value == "RIGHT") section->pol = Polarisation::R;
            else Fail(lineNo, "неизвестная поляризация");
        } else if (key == "DELIVERY_SYSTEM") {
            section->satellite = value == "DVBS" || value == "DVBS2";
        }
    }
    if (section) close(*section);
    if (out.empty()) throw FormatError("в файле нет ни одного канала");
    SortPlan(out);
    return out;
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
        std::FILE* f = common::OpenForReading(path);
        if (!f) {
            c.refused.push_back(name + ": файл не читается");
            continue;
        }
        std::string text;
        char buf[16384];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < (16u << 20)) text.append(buf, n);
        std::fclose(f);
        try {
            AddToCatalogue(c, *file, ParseScanFile(text));
        } catch (const FormatError& e) {
            c.refused.push_back(name + ": " + e.what());
        }
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

// ---- satellites.xml: a strict reader for the subset the format uses ----

namespace {

class XmlReader {
public:
    explicit XmlReader(std::string_view text) : s_(text) {}

    std::vector<Satellite> Read() {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        std::vector<std::string> open;  // element names from the root down
        bool rootSeen = false;
        std::vector<Satellite> out;
        while (true) {
            // Text between tags: only blanks and entity-free characters matter not.
            while (pos_ < s_.size() && s_[pos_] != '<') {
                if (open.empty() && !IsBlank(s_[pos_])) Fail(line_, "текст вне корневого элемента");
                Advance();
            }
            if (pos_ >= s_.size()) break;
            if (Starts("<?")) {
                Skip("?>", "незакрытое объявление");
            } else if (Starts("<!--")) {
                Skip("-->", "незакрытый комментарий");
            } else if (Starts("<!DOCTYPE")) {
                if (rootSeen) Fail(line_, "DOCTYPE после корневого элемента");
                Skip(">", "незакрытый DOCTYPE");
            } else if (Starts("<![CDATA[")) {
                if (open.empty()) Fail(line_, "CDATA вне корневого элемента");
                Skip("]]>", "незакрытый CDATA");
            } else if (Starts("</")) {
                pos_ += 2;
                const std::string name = Name();
                Blanks();
                Expect('>');
                if (open.empty() || open.back() != name) Fail(line_, "закрывающий тег </" + name + "> не к месту");
                open.pop_back();
            } else {
                ++pos_;
                const int tagLine = line_;
                const std::string name = Name();
                std::map<std::string, std::string> attrs;
                bool selfClosing = false;
                while (true) {
                    const bool blank = Blanks();
                    if (Starts("/>")) {
                        pos_ += 2;
                        selfClosing = true;
                        break;
                    }
                    if (Starts(">")) {
                        ++pos_;
                        break;
                    }
                    if (!blank) Fail(line_, "ожидался пробел перед атрибутом");
                    const std::string key = Name();
                    Blanks();
                    Expect('=');
                    Blanks();
                    std::string value = Quoted();
                    if (!attrs.emplace(key, std::move(value)).second) Fail(line_, "атрибут " + key + " дважды");
                }
                if (open.empty()) {
                    if (rootSeen) Fail(tagLine, "второй корневой элемент");
                    rootSeen = true;
                    if (name != "satellites") Fail(tagLine, "корневой элемент не <satellites>");
                }
                Element(name, attrs, open, out, tagLine);
                if (!selfClosing) open.push_back(name);
                if (open.size() > 64) Fail(tagLine, "слишком глубокая вложенность");
            }
        }
        if (!open.empty()) Fail(line_, "файл оборван внутри <" + open.back() + ">");
        if (!rootSeen) throw FormatError("в файле нет элемента <satellites>");
        if (out.empty()) throw FormatError("в файле нет ни одного спутника");
        for (Satellite& sat : out) SortPlan(sat.transponders);
        return out;
    }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void Advance() {
        if (s_[pos_] == '\n') ++line_;
        ++pos_;
    }
    bool Starts(std::string_view p) const { return s_.substr(pos_, p.size()) == p; }
    bool Blanks() {
        const std::size_t from = pos_;
        while (pos_ < s_.size() && IsBlank(s_[pos_])) Advance();
        return pos_ > from;
    }
    void Skip(std::string_view end, const char* what) {
        const std::size_t at = s_.find(end, pos_);
        if (at == std::string_view::npos) Fail(line_, what);
        while (pos_ < at + end.size()) Advance();
    }
    void Expect(char c) {
        if (pos_ >= s_.size() || s_[pos_] != c) Fail(line_, std::string("ожидался символ ") + c);
        ++pos_;
    }
    std::string Name() {
        const std::size_t from = pos_;
        while (pos_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[pos_]);
            if (std::isalnum(c) || c == '_' || c == '-' || c == '.' || c == ':' || c >= 0x80) ++pos_;
            else break;
        }
        if (pos_ == from) Fail(line_, "ожидалось имя");
        return std::string(s_.substr(from, pos_ - from));
    }
    std::string Quoted() {
        if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) Fail(line_, "значение атрибута без кавычек");
        const char q = s_[pos_++];
        std::string v;
        while (true) {
            if (pos_ >= s_.size()) Fail(line_, "незакрытое значение атрибута");
            const char c = s_[pos_];
            if (c == q) {
                ++pos_;
                return v;
            }
            if (c == '<') Fail(line_, "символ < в значении атрибута");
            if (c == '&') {
                v += Entity();
                continue;
            }
            v += c;
            Advance();
        }
    }
    std::string Entity() {
        const std::size_t semi = s_.find(';', pos_);
        if (semi == std::string_view::npos || semi - pos_ > 10) Fail(line_, "неверная ссылка &…;");
        const std::string_view e = s_.substr(pos_ + 1, semi - pos_ - 1);
        pos_ = semi + 1;
        if (e == "amp") return "&";
        if (e == "lt") return "<";
        if (e == "gt") return ">";
        if (e == "quot") return "\"";
        if (e == "apos") return "'";
        if (e.size() >= 2 && e[0] == '#') {
            std::uint32_t cp = 0;
            const bool hex = e[1] == 'x';
            const std::string_view digits = e.substr(hex ? 2 : 1);
            if (digits.empty()) Fail(line_, "неверная ссылка на символ");
            for (char c : digits) {
                int d = -1;
                if (c >= '0' && c <= '9') d = c - '0';
                else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
                if (d < 0) Fail(line_, "неверная ссылка на символ");
                cp = cp * (hex ? 16 : 10) + d;
                if (cp > 0x10FFFF) Fail(line_, "неверная ссылка на символ");
            }
            if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) Fail(line_, "неверная ссылка на символ");
            std::string u;
            if (cp < 0x80) u += static_cast<char>(cp);
            else if (cp < 0x800) u += {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
            else if (cp < 0x10000)
                u += {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                      static_cast<char>(0x80 | (cp & 0x3F))};
            else
                u += {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                      static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
            return u;
        }
        Fail(line_, "неизвестная ссылка &" + std::string(e) + ";");
    }

    static void Element(const std::string& name, const std::map<std::string, std::string>& attrs,
                        const std::vector<std::string>& open, std::vector<Satellite>& out, int line) {
        auto need = [&](const char* key) -> const std::string& {
            const auto it = attrs.find(key);
            if (it == attrs.end()) Fail(line, "у <" + name + "> нет атрибута " + key);
            return it->second;
        };
        if (name == "sat") {
            if (open.size() != 1) Fail(line, "<sat> не внутри <satellites>");
            const std::optional<std::int64_t> pos = Integer(need("position"), 1800);
            if (!pos) Fail(line, "неверная позиция спутника");
            Satellite s;
            s.longitude = static_cast<double>(*pos) / 10.0;
            s.position = PositionText(s.longitude);
            s.name = need("name");
            out.push_back(std::move(s));
        } else if (name == "transponder") {
            if (open.size() != 2 || open.back() != "sat") Fail(line, "<transponder> не внутри <sat>");
            const std::optional<std::int64_t> f = Integer(need("frequency"), kMaxKHz);
            if (!f || *f <= 0) Fail(line, "неверная частота");
            const std::optional<std::int64_t> sr = Integer(need("symbol_rate"), kMaxSymbolRate);
            if (!sr || *sr <= 0) Fail(line, "неверная символьная скорость");
            const std::optional<std::int64_t> pol = Integer(need("polarization"), 3);
            if (!pol || *pol < 0) Fail(line, "неверная поляризация");
            Transponder t;
            t.frequency = static_cast<double>(*f) / 1000.0;
            t.symbolRate = static_cast<double>(*sr) / 1e6;
            t.polarisation = static_cast<Polarisation>(*pol);
            Satellite& sat = out.back();
            if (t.frequency < 6000) sat.cBand = true;
            sat.transponders.push_back(t);
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace

std::vector<Satellite> ParseSatellitesXml(std::string_view text) { return XmlReader(text).Read(); }

}  // namespace sky
