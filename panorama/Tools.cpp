#include "panorama/Tools.h"

#include "common/Convert.h"
#include "common/Cp1251.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace panorama {

// ---- Peak ----

Peak FindPeak(const Levels& levels, double axisMin, std::int32_t shift, std::uint32_t step) {
    // Sample 0 lies one step left of the axis and is never seen: the peak is
    // looked for among the samples drawn on it. Only a stronger sample
    // replaces the one found, so of equals the lowest frequency wins.
    Peak p;
    p.index = 1;
    for (int i = 2; i < kSamples; ++i)
        if (levels[i] > levels[p.index]) p.index = i;
    p.level = levels[p.index];
    p.ifreq = static_cast<std::int64_t>(SampleIf(shift, step, p.index));
    p.rf = static_cast<std::int64_t>(axisMin) + (p.ifreq - shift);
    return p;
}

std::string PeakText(const Peak& peak, const std::string& unitLabel) {
    const auto level = static_cast<std::int64_t>(std::trunc(peak.level));
    return std::to_string(level) + " " + unitLabel + "  " + std::to_string(peak.rf) + " МГц  ПЧ " +
           std::to_string(peak.ifreq) + " МГц";
}

// ---- Holds and average ----

void TraceTools::SetMaxHold(bool on) {
    if (on == maxOn_) return;
    maxOn_ = on;
    max_.reset();
    shown_.max.reset();
}

void TraceTools::SetMinHold(bool on) {
    if (on == minOn_) return;
    minOn_ = on;
    min_.reset();
    shown_.min.reset();
}

void TraceTools::SetAverage(int depth) {
    if (std::find(kAverageDepths.begin(), kAverageDepths.end(), depth) == kAverageDepths.end()) depth = 0;
    if (depth == depth_) return;
    depth_ = depth;
    ring_.clear();
    ringNext_ = 0;
}

void TraceTools::SetFrozen(bool on) { frozen_ = on; }

void TraceTools::ClearAccumulators() {
    max_.reset();
    min_.reset();
    ring_.clear();
    ringNext_ = 0;
}

void TraceTools::Reset() {
    ClearAccumulators();
    if (frozen_) return;
    shown_.max.reset();
    shown_.min.reset();
}

bool TraceTools::Observe(const SampleMeaning& meaning) {
    if (meaning_ && *meaning_ == meaning) return false;
    const bool first = !meaning_;
    meaning_ = meaning;
    if (first) return false;
    Reset();
    return true;
}

bool TraceTools::Feed(const SweepFrame& frame, const SampleMeaning& meaning, const LevelScale& scale) {
    Observe(meaning);
    if (frozen_) return false;

    Shown& s = shown_;
    s.valid = true;
    s.frame = frame;
    s.meaning = meaning;
    s.opor = scale.opor;
    s.koef = scale.koef;
    s.unitLabel = scale.unitLabel;
    for (int i = 0; i < kSamples; ++i) s.levels[i] = Level(frame[i], scale.opor, scale.koef);

    s.live = s.levels;
    s.averaged = 0;
    s.averageDepth = depth_;
    if (depth_ > 0) {
        if (ring_.size() < static_cast<std::size_t>(depth_)) {
            ring_.push_back(s.levels);
        } else {
            ring_[ringNext_] = s.levels;
            ringNext_ = (ringNext_ + 1) % ring_.size();
        }
        // Summed afresh each sweep (32 x 128 additions at most): no running
        // sum that drifts as old sweeps are taken out.
        std::array<double, kSamples> sum{};
        for (const Levels& l : ring_)
            for (int i = 0; i < kSamples; ++i) sum[i] += l[i];
        const double n = static_cast<double>(ring_.size());
        for (int i = 0; i < kSamples; ++i) s.live[i] = static_cast<float>(sum[i] / n);
        s.averaged = static_cast<int>(ring_.size());
    }

    if (maxOn_) {
        if (!max_) max_ = s.live;
        else for (int i = 0; i < kSamples; ++i) (*max_)[i] = std::max((*max_)[i], s.live[i]);
    }
    if (minOn_) {
        if (!min_) min_ = s.live;
        else for (int i = 0; i < kSamples; ++i) (*min_)[i] = std::min((*min_)[i], s.live[i]);
    }
    s.max = max_;
    s.min = min_;
    return true;
}

// ---- Transponder marks ----

namespace {

// A frequency or symbol rate as the gather stores it; none when the gather
// would refuse the text.
std::optional<int> Field16(const std::string& text) {
    try {
        const std::int32_t v = common::StrToInt(text);
        if (v >= 0 && v <= 0xFFFF) return v;
    } catch (const common::UserError&) {
    }
    return std::nullopt;
}

}  // namespace

std::vector<TransponderMark> TransponderMarks(const std::array<settings::RowTexts, settings::kEntryCount>& rows,
                                              double axisMin, double axisMax, bool horizontal) {
    using namespace settings;
    std::vector<TransponderMark> marks;
    for (const RowTexts& row : rows) {
        if (IsEmptyRow(row) || row[kNameColumn].size() < kNameLength) continue;
        const std::string& pol = row[kPolarisationColumn];
        const bool fits = horizontal ? (pol == "H" || pol == "L") : (pol == "V" || pol == "R");
        if (!fits) continue;
        const std::optional<int> frequency = Field16(row[kFrequencyColumn]);
        if (!frequency || !Field16(row[kSymbolRateColumn])) continue;
        if (*frequency < axisMin || *frequency > axisMax) continue;
        marks.push_back({static_cast<double>(*frequency),
                         common::Utf8FromCp1251(std::string_view(row[kNameColumn]).substr(0, kNameLength))});
    }
    std::stable_sort(marks.begin(), marks.end(),
                     [](const TransponderMark& a, const TransponderMark& b) { return a.frequency < b.frequency; });
    return marks;
}

// ---- CSV ----

namespace {

constexpr const char* kEol = "\r\n";

// Two decimals with a comma, whatever the process locale; never "-0,00".
std::string Decimal2(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    std::string s(buf, r.ptr);
    if (s == "-0.00") s = "0.00";
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string DateText(const DateTime& t) {
    return TwoDigits(t.day) + "." + TwoDigits(t.month) + "." + std::to_string(t.year) + " " + TwoDigits(t.hour) +
           ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

}  // namespace

std::string TraceCsv(const TraceTools::Shown& shown, const TraceHeader& header) {
    const SampleMeaning& m = shown.meaning;
    const std::string& unit = shown.unitLabel;
    // The oscillator in effect: the axis runs from its start, which the
    // oscillator puts at shift + LO (at LO - shift for 5150).
    const auto axisStart = static_cast<std::int64_t>(m.axisMin);
    const std::int64_t lo = m.loIndex == 2 ? axisStart + m.shift : axisStart - m.shift;

    std::string out = "\xEF\xBB\xBF";
    out.reserve(8192);
    auto line = [&out](const std::string& name, const std::string& value) { out += name + ";" + value + kEol; };
    line("Дата и время", DateText(header.when));
    line("Единица", unit);
    line("Гетеродин", header.loCaption);
    line("Гетеродин, МГц", std::to_string(lo));
    line("Диапазон", (m.flags & kBandBit) ? "Верхн." : "Нижн.");
    line("Поляризация", (m.flags & kPolarisationBit) ? "H / L" : "V / R");
    line("Усилитель +9 dB", (m.flags & kAmp9dBBit) ? "вкл" : "выкл");
    line("Аттенюатор -20 dB", (m.flags & kAtt20dBBit) ? "вкл" : "выкл");
    line("Шаг, МГц", std::to_string(m.step));
    line("Сдвиг, МГц", std::to_string(m.shift));
    line("Опора", std::to_string(m.oporPosition));
    line("Коэффициент", "0," + std::to_string(m.koefPosition));
    out += kEol;

    out += "Частота, МГц;ПЧ, МГц;Отсчёт;Уровень, " + unit;
    if (shown.max) out += ";Максимум, " + unit;
    if (shown.min) out += ";Минимум, " + unit;
    if (shown.averaged > 0) {
        // How many sweeps the mean took, and of how many when not yet full.
        out += ";Среднее (" + std::to_string(shown.averaged);
        if (shown.averaged < shown.averageDepth) out += " из " + std::to_string(shown.averageDepth);
        out += "), " + unit;
    }
    out += kEol;
    for (int i = 0; i < kSamples; ++i) {
        const std::int64_t offset = static_cast<std::int64_t>(i - 1) * m.step;
        out += std::to_string(axisStart + offset) + ";" + std::to_string(m.shift + offset) + ";" +
               std::to_string(shown.frame[i]) + ";" + Decimal2(shown.levels[i]);
        if (shown.max) out += ";" + Decimal2((*shown.max)[i]);
        if (shown.min) out += ";" + Decimal2((*shown.min)[i]);
        if (shown.averaged > 0) out += ";" + Decimal2(shown.live[i]);
        out += kEol;
    }
    return out;
}

std::string DefaultFileName(const std::string& stem, const DateTime& when, const std::string& extension) {
    return stem + " " + std::to_string(when.year) + "-" + TwoDigits(when.month) + "-" + TwoDigits(when.day) + " " +
           TwoDigits(when.hour) + "-" + TwoDigits(when.minute) + "-" + TwoDigits(when.second) + "." + extension;
}

}  // namespace panorama
