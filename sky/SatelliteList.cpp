#include "sky/SatelliteList.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace sky {
namespace {

constexpr double kCBandBelow = 6000;  // MHz
// Deeper than any list nests; a text nesting deeper is refused rather than
// followed element by element.
constexpr std::size_t kMaxDepth = 64;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A decimal integer as an attribute writes it: blanks around it and a plus
// sign allowed; no value when not one.
std::optional<std::int64_t> Integer(std::string_view s) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    return DecimalInteger(s, 999'999'999'999);
}

const std::string* Find(const SatelliteListBuilder::Attributes& attributes, std::string_view name) {
    for (const auto& [k, v] : attributes)
        if (k == name) return &v;
    return nullptr;
}

bool SamePlace(int a, int b) { return a == b || (std::abs(a) == 1800 && std::abs(b) == 1800); }

// The position written at the start of `s` ("13.0E", "13E", "13.0°E",
// "13,0 E", "0.8w"): its tenths and length. None where `s` does not start
// with one, or where a letter or digit runs on after it ("13Eutelsat").
std::optional<std::pair<int, std::size_t>> PositionAt(std::string_view s) {
    std::size_t i = 0;
    double degrees = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i < 4) degrees = degrees * 10 + (s[i++] - '0');
    if (i == 0 || degrees > 360) return std::nullopt;
    if (i < s.size() && (s[i] == '.' || s[i] == ',') && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '9') {
        double scale = 1;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9' && scale > 1e-6; ++i) degrees += (s[i] - '0') * (scale /= 10);
    }
    if (i < s.size() && s[i] == ' ') ++i;
    for (std::string_view degree : {"\xC2\xB0", "\xC2\xBA"})  // the degree sign, and the ordinal sign lists write for it
        if (s.substr(i, 2) == degree) i += 2;
    if (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size()) return std::nullopt;
    const char side = static_cast<char>(s[i] & ~0x20);
    if (side != 'E' && side != 'W') return std::nullopt;
    ++i;
    if (i < s.size()) {
        const unsigned char next = static_cast<unsigned char>(s[i]);
        if ((next >= '0' && next <= '9') || ((next | 0x20) >= 'a' && (next | 0x20) <= 'z')) return std::nullopt;
    }
    const double tenths = degrees * 10;
    if (std::fabs(tenths - std::round(tenths)) > 1e-6) return std::nullopt;
    const int t = static_cast<int>(std::lround(tenths));
    return std::make_pair(side == 'W' ? -t : t, i);
}

// `name` without the position it repeats, at its start ("13.0E Hotbird") or
// in parentheses at its end ("Hot Bird 13B (13.0E)"); none where it does not
// write `tenths` so, or where nothing else would be left of it.
std::optional<std::string> WithoutPosition(std::string_view name, int tenths) {
    name = Trim(name);
    if (const auto at = PositionAt(name); at && SamePlace(at->first, tenths)) {
        std::string_view rest = name.substr(at->second);
        while (!rest.empty() && (IsBlank(rest.front()) || rest.front() == '-' || rest.front() == ':' || rest.front() == ','))
            rest.remove_prefix(1);
        if (!rest.empty()) return std::string(rest);
    }
    if (!name.empty() && name.back() == ')') {
        const std::size_t open = name.rfind('(');
        if (open != std::string_view::npos) {
            const std::string_view inside = Trim(name.substr(open + 1, name.size() - open - 2));
            const auto at = PositionAt(inside);
            std::string_view rest = Trim(name.substr(0, open));
            if (at && at->second == inside.size() && SamePlace(at->first, tenths) && !rest.empty())
                return std::string(rest);
        }
    }
    return std::nullopt;
}

std::string Grouped(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t k = digits.size(); k > 3; k -= 3) digits.insert(k - 3, " ");
    return digits;
}

}  // namespace

std::string CountText(std::size_t n, std::string_view one, std::string_view few, std::string_view many) {
    const std::size_t last = n % 10, lastTwo = n % 100;
    std::string_view word = many;
    if (last == 1 && lastTwo != 11) word = one;
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) word = few;
    return Grouped(n) + " " + std::string(word);
}

std::string LoadedText(const SatelliteList& list) {
    std::string text = "Загружено: " + CountText(list.positions, "позиция", "позиции", "позиций") + ", " +
                       CountText(list.transponders, "транспондер", "транспондера", "транспондеров");
    if (list.skipped) text += "; пропущено записей: " + Grouped(list.skipped) + " (" + list.firstSkipped + ")";
    return text;
}

bool SatelliteListBuilder::Start(std::string_view element, const Attributes& attributes, long long line) {
    if (!error_.empty()) return false;
    if (open_.size() >= kMaxDepth) {
        error_ = AtLine(line, "слишком глубокая вложенность элементов");
        return false;
    }
    Open kind = Open::Other;
    if (open_.empty()) {
        if (element != "satellites") {
            error_ = AtLine(line, "корневой элемент не <satellites>");
            return false;
        }
        kind = Open::Root;
        rootLine_ = line;
    } else if (open_.back() == Open::Root && element == "sat") {
        const std::size_t before = skipped_;
        AddSat(attributes, line);
        kind = skipped_ == before ? Open::Sat : Open::SkippedSat;
    } else if (open_.back() == Open::Sat && element == "transponder") {
        AddTransponder(attributes, line);
    }
    open_.push_back(kind);
    names_.emplace_back(element);
    return true;
}

void SatelliteListBuilder::End() {
    if (open_.empty()) return;
    open_.pop_back();
    names_.pop_back();
}

void SatelliteListBuilder::Skip(long long line, std::string_view why) {
    if (skipped_++ == 0) firstSkipped_ = AtLine(line, why);
}

void SatelliteListBuilder::AddSat(const Attributes& attributes, long long line) {
    const std::string* position = Find(attributes, "position");
    if (!position) return Skip(line, "у <sat> нет атрибута position");
    const std::optional<std::int64_t> p = Integer(*position);
    // Within +-180.0 as written; 1801 / -1801 the C-band twin of 180.0E /
    // 180.0W; 1802..3599 counted east from 0 to 3599.
    std::optional<int> tenths;
    if (p && *p >= -1800 && *p <= 1800) tenths = static_cast<int>(*p);
    else if (p && (*p == 1801 || *p == -1801)) tenths = *p > 0 ? 1800 : -1800;
    else if (p && *p >= 1802 && *p <= 3599) tenths = static_cast<int>(*p - 3600);
    if (!tenths) return Skip(line, "неверная позиция спутника");
    const std::string* name = Find(attributes, "name");
    if (!name || Trim(*name).empty()) return Skip(line, "у <sat> нет атрибута name");
    entries_.push_back({*tenths, *name, {}});
}

void SatelliteListBuilder::AddTransponder(const Attributes& attributes, long long line) {
    const std::string* v = Find(attributes, "frequency");
    if (!v) return Skip(line, "у <transponder> нет атрибута frequency");
    const std::optional<std::int64_t> f = Integer(*v);
    if (!f || *f <= 0 || *f > kMaxKHz) return Skip(line, "неверная частота");
    if (!(v = Find(attributes, "symbol_rate"))) return Skip(line, "у <transponder> нет атрибута symbol_rate");
    const std::optional<std::int64_t> sr = Integer(*v);
    if (!sr || *sr <= 0 || *sr > kMaxSymbolRate) return Skip(line, "неверная символьная скорость");
    if (!(v = Find(attributes, "polarization"))) return Skip(line, "у <transponder> нет атрибута polarization");
    const std::optional<std::int64_t> pol = Integer(*v);
    if (!pol || *pol < 0 || *pol > 3) return Skip(line, "неверная поляризация");
    sky::Transponder t;
    t.frequency = static_cast<double>(*f) / 1000.0;
    t.symbolRate = static_cast<double>(*sr) / 1e6;
    t.polarisation = static_cast<Polarisation>(*pol);
    entries_.back().transponders.push_back(t);
}

SatelliteList SatelliteListBuilder::Refused(std::string message) const {
    SatelliteList list;
    list.error = std::move(message);
    return list;
}

SatelliteList SatelliteListBuilder::CutShort(long long line) {
    if (!error_.empty()) return Refused(error_);
    if (open_.empty()) return Refused(AtLine(line, "в файле нет элемента <satellites>"));
    return Refused(AtLine(line, "файл оборван внутри <" + names_.back() + ">"));
}

SatelliteList SatelliteListBuilder::Broken(long long line, std::string_view why) {
    return Refused(error_.empty() ? AtLine(line, why) : error_);
}

SatelliteList SatelliteListBuilder::Finish() {
    if (!error_.empty()) return Refused(error_);
    if (rootLine_ == 0) return Refused(AtLine(1, "в файле нет элемента <satellites>"));

    // A C-band twin written one tenth past its position: every transponder
    // in C band, its name not writing the position as written, and the
    // position one tenth nearer 0 written by another satellite of the list
    // or by its own name.
    std::set<int> written;
    for (const Entry& e : entries_) written.insert(e.tenths);
    for (Entry& e : entries_) {
        if (std::abs(e.tenths) % 10 != 1 || e.transponders.empty()) continue;
        const bool allC = std::all_of(e.transponders.begin(), e.transponders.end(),
                                      [](const sky::Transponder& t) { return t.frequency < kCBandBelow; });
        const int base = e.tenths > 0 ? e.tenths - 1 : e.tenths + 1;
        if (allC && !WithoutPosition(e.name, e.tenths) && (written.count(base) || WithoutPosition(e.name, base)))
            e.tenths = base;
    }

    // One plan per position and band: the name of the entry bringing it most
    // transponders, the same frequency and polarisation listed twice once.
    struct Key {
        int tenths;
        bool cBand;
        bool operator<(const Key& o) const { return std::tie(tenths, cBand) < std::tie(o.tenths, o.cBand); }
    };
    struct Building {
        std::vector<sky::Transponder> transponders;
        std::string name;
        std::size_t nameBrings = 0;
    };
    std::map<Key, Building> building;
    for (Entry& e : entries_) {
        const std::string name = WithoutPosition(e.name, e.tenths).value_or(e.name);
        for (bool cBand : {false, true}) {
            std::vector<sky::Transponder> band;
            for (const sky::Transponder& t : e.transponders)
                if ((t.frequency < kCBandBelow) == cBand) band.push_back(t);
            if (band.empty()) continue;
            Building& b = building[{e.tenths, cBand}];
            if (band.size() > b.nameBrings) {
                b.name = name;
                b.nameBrings = band.size();
            }
            b.transponders.insert(b.transponders.end(), band.begin(), band.end());
        }
    }

    SatelliteList list;
    list.skipped = skipped_;
    list.firstSkipped = firstSkipped_;
    std::set<std::string> positions;
    for (auto& [key, b] : building) {
        std::vector<sky::Transponder>& t = b.transponders;
        const auto order = [](const sky::Transponder& x, const sky::Transponder& y) {
            return std::tie(x.frequency, x.polarisation) < std::tie(y.frequency, y.polarisation);
        };
        std::stable_sort(t.begin(), t.end(), order);
        t.erase(std::unique(t.begin(), t.end(),
                            [](const sky::Transponder& x, const sky::Transponder& y) {
                                return x.frequency == y.frequency && x.polarisation == y.polarisation;
                            }),
                t.end());
        Satellite s;
        s.longitude = key.tenths / 10.0;
        s.position = PositionText(s.longitude);
        s.name = std::move(b.name);
        s.cBand = key.cBand;
        s.transponders = std::move(t);
        list.transponders += s.transponders.size();
        positions.insert(s.position);
        list.plans.push_back(std::move(s));
    }
    list.positions = positions.size();
    if (list.plans.empty()) {
        std::string why = entries_.empty() ? "в списке нет ни одного спутника" : "в списке нет ни одного транспондера";
        if (skipped_) why += "; пропущено записей: " + Grouped(skipped_) + " (" + firstSkipped_ + ")";
        return Refused(AtLine(rootLine_, why));
    }
    return list;
}

}  // namespace sky
