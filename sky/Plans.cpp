#include "sky/Plans.h"

#include "common/Files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <tuple>
#include <utility>

namespace sky {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
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
            section->frequency = Integer(value, kMaxKHz);
            if (!section->frequency || *section->frequency <= 0) return refuse(lineNo, "неверная частота");
        } else if (key == "SYMBOL_RATE") {
            section->rate = Integer(value, kMaxSymbolRate);
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
        Plans<Transponder> plan = ParseScanFile(text);
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

// ---- satellites.xml: a strict reader for the subset the format uses ----

namespace {

// Reads until the first fault, which it keeps as the refusal: every step
// returns false once the text is refused, and the steps after it are not
// taken.
class XmlReader {
public:
    explicit XmlReader(std::string_view text) : s_(text) {}

    Plans<Satellite> Read() {
        Plans<Satellite> result;
        if (!ReadAll(result.plans)) return {{}, std::move(error_)};
        return result;
    }

private:
    bool ReadAll(std::vector<Satellite>& out) {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        std::vector<std::string_view> open;  // element names from the root down
        bool rootSeen = false;
        while (true) {
            // Text between tags: only blanks and entity-free characters matter not.
            while (pos_ < s_.size() && s_[pos_] != '<') {
                if (open.empty() && !IsBlank(s_[pos_])) return Fail(line_, "текст вне корневого элемента");
                Advance();
            }
            if (pos_ >= s_.size()) break;
            if (Starts("<?")) {
                if (!Skip("?>", "незакрытое объявление")) return false;
            } else if (Starts("<!--")) {
                if (!Skip("-->", "незакрытый комментарий")) return false;
            } else if (Starts("<!DOCTYPE")) {
                if (rootSeen) return Fail(line_, "DOCTYPE после корневого элемента");
                if (!Skip(">", "незакрытый DOCTYPE")) return false;
            } else if (Starts("<![CDATA[")) {
                if (open.empty()) return Fail(line_, "CDATA вне корневого элемента");
                if (!Skip("]]>", "незакрытый CDATA")) return false;
            } else if (Starts("</")) {
                pos_ += 2;
                std::string_view name;
                if (!Name(name)) return false;
                Blanks();
                if (!Expect('>')) return false;
                if (open.empty() || open.back() != name)
                    return Fail(line_, "закрывающий тег </" + std::string(name) + "> не к месту");
                open.pop_back();
            } else {
                ++pos_;
                const int tagLine = line_;
                std::string_view name;
                if (!Name(name)) return false;
                attrs_.clear();
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
                    if (!blank) return Fail(line_, "ожидался пробел перед атрибутом");
                    std::string_view key;
                    if (!Name(key)) return false;
                    Blanks();
                    if (!Expect('=')) return false;
                    Blanks();
                    std::string value;
                    if (!Quoted(value)) return false;
                    if (Attribute(key)) return Fail(line_, "атрибут " + std::string(key) + " дважды");
                    attrs_.emplace_back(key, std::move(value));
                }
                if (open.empty()) {
                    if (rootSeen) return Fail(tagLine, "второй корневой элемент");
                    rootSeen = true;
                    if (name != "satellites") return Fail(tagLine, "корневой элемент не <satellites>");
                }
                if (!Element(name, open, out, tagLine)) return false;
                if (!selfClosing) open.push_back(name);
                if (open.size() > 64) return Fail(tagLine, "слишком глубокая вложенность");
            }
        }
        if (!open.empty()) return Fail(line_, "файл оборван внутри <" + std::string(open.back()) + ">");
        if (!rootSeen) return Refuse("в файле нет элемента <satellites>");
        if (out.empty()) return Refuse("в файле нет ни одного спутника");
        for (Satellite& sat : out) SortPlan(sat.transponders);
        return true;
    }

    bool Refuse(std::string message) {
        error_ = std::move(message);
        return false;
    }
    bool Fail(int line, std::string_view why) { return Refuse(AtLine(line, why)); }

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
    bool Skip(std::string_view end, const char* what) {
        const std::size_t at = s_.find(end, pos_);
        if (at == std::string_view::npos) return Fail(line_, what);
        while (pos_ < at + end.size()) Advance();
        return true;
    }
    bool Expect(char c) {
        if (pos_ >= s_.size() || s_[pos_] != c) return Fail(line_, std::string("ожидался символ ") + c);
        ++pos_;
        return true;
    }
    bool Name(std::string_view& name) {
        const std::size_t from = pos_;
        while (pos_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[pos_]);
            if (std::isalnum(c) || c == '_' || c == '-' || c == '.' || c == ':' || c >= 0x80) ++pos_;
            else break;
        }
        if (pos_ == from) return Fail(line_, "ожидалось имя");
        name = s_.substr(from, pos_ - from);
        return true;
    }
    bool Quoted(std::string& v) {
        if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) return Fail(line_, "значение атрибута без кавычек");
        const char q = s_[pos_++];
        while (true) {
            if (pos_ >= s_.size()) return Fail(line_, "незакрытое значение атрибута");
            const char c = s_[pos_];
            if (c == q) {
                ++pos_;
                return true;
            }
            if (c == '<') return Fail(line_, "символ < в значении атрибута");
            if (c == '&') {
                if (!Entity(v)) return false;
                continue;
            }
            v += c;
            Advance();
        }
    }
    // Appends the character an entity or character reference stands for.
    bool Entity(std::string& v) {
        const std::size_t semi = s_.find(';', pos_);
        if (semi == std::string_view::npos || semi - pos_ > 10) return Fail(line_, "неверная ссылка &…;");
        const std::string_view e = s_.substr(pos_ + 1, semi - pos_ - 1);
        pos_ = semi + 1;
        if (e == "amp") v += '&';
        else if (e == "lt") v += '<';
        else if (e == "gt") v += '>';
        else if (e == "quot") v += '"';
        else if (e == "apos") v += '\'';
        else if (e.size() >= 2 && e[0] == '#') return CharacterReference(e, v);
        else return Fail(line_, "неизвестная ссылка &" + std::string(e) + ";");
        return true;
    }
    bool CharacterReference(std::string_view e, std::string& u) {
        std::uint32_t cp = 0;
        const bool hex = e[1] == 'x';
        const std::string_view digits = e.substr(hex ? 2 : 1);
        if (digits.empty()) return Fail(line_, "неверная ссылка на символ");
        for (char c : digits) {
            int d = -1;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
            if (d < 0) return Fail(line_, "неверная ссылка на символ");
            cp = cp * (hex ? 16 : 10) + d;
            if (cp > 0x10FFFF) return Fail(line_, "неверная ссылка на символ");
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return Fail(line_, "неверная ссылка на символ");
        if (cp < 0x80) u += static_cast<char>(cp);
        else if (cp < 0x800) u += {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
        else if (cp < 0x10000)
            u += {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                  static_cast<char>(0x80 | (cp & 0x3F))};
        else
            u += {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                  static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        return true;
    }

    // The value of the current element's attribute `key`; none when absent.
    const std::string* Attribute(std::string_view key) const {
        for (const auto& [k, v] : attrs_)
            if (k == key) return &v;
        return nullptr;
    }

    bool Element(std::string_view name, const std::vector<std::string_view>& open, std::vector<Satellite>& out,
                 int line) {
        // The attributes an element needs: false (refused) when one is absent.
        auto need = [&](const char* key, const std::string*& value) {
            value = Attribute(key);
            return value || Fail(line, "у <" + std::string(name) + "> нет атрибута " + key);
        };
        const std::string* v = nullptr;
        if (name == "sat") {
            if (open.size() != 1) return Fail(line, "<sat> не внутри <satellites>");
            if (!need("position", v)) return false;
            const std::optional<std::int64_t> pos = Integer(*v, 1800);
            if (!pos) return Fail(line, "неверная позиция спутника");
            if (!need("name", v)) return false;
            Satellite s;
            s.longitude = static_cast<double>(*pos) / 10.0;
            s.position = PositionText(s.longitude);
            s.name = *v;
            out.push_back(std::move(s));
        } else if (name == "transponder") {
            if (open.size() != 2 || open.back() != "sat") return Fail(line, "<transponder> не внутри <sat>");
            if (!need("frequency", v)) return false;
            const std::optional<std::int64_t> f = Integer(*v, kMaxKHz);
            if (!f || *f <= 0) return Fail(line, "неверная частота");
            if (!need("symbol_rate", v)) return false;
            const std::optional<std::int64_t> sr = Integer(*v, kMaxSymbolRate);
            if (!sr || *sr <= 0) return Fail(line, "неверная символьная скорость");
            if (!need("polarization", v)) return false;
            const std::optional<std::int64_t> pol = Integer(*v, 3);
            if (!pol || *pol < 0) return Fail(line, "неверная поляризация");
            Transponder t;
            t.frequency = static_cast<double>(*f) / 1000.0;
            t.symbolRate = static_cast<double>(*sr) / 1e6;
            t.polarisation = static_cast<Polarisation>(*pol);
            Satellite& sat = out.back();
            if (t.frequency < 6000) sat.cBand = true;
            sat.transponders.push_back(t);
        }
        return true;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::string error_;
    // The attributes of the element being read, in the text's order (an
    // element has a handful; kept between elements so as not to allocate).
    std::vector<std::pair<std::string_view, std::string>> attrs_;
};

}  // namespace

Plans<Satellite> ParseSatellitesXml(std::string_view text) { return XmlReader(text).Read(); }

}  // namespace sky
