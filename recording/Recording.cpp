#include "recording/Recording.h"

#include "common/Files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace recording {

// ---- Levels and changes ----

panorama::Levels SweepLevels(const Sweep& sweep) {
    const panorama::SampleMeaning& m = sweep.meaning.sample;
    const panorama::LevelScale scale = panorama::ComputeLevelScale(m.oporPosition, m.koefPosition, m.unitIndex);
    panorama::Levels levels;
    for (int i = 0; i < panorama::kSamples; ++i) levels[i] = panorama::Level(sweep.frame[i], scale.opor, scale.koef);
    return levels;
}

int SampleAt(const Meaning& m, double mhz) {
    if (m.sample.step == 0) return -1;
    const double k = std::floor((mhz - m.sample.axisMin) / m.sample.step + 0.5) + 1;
    return k >= 0 && k < panorama::kSamples ? static_cast<int>(k) : -1;
}

std::vector<std::pair<double, float>> LevelOverTime(const History& h, double mhz, double seconds) {
    std::vector<std::pair<double, float>> points;
    if (h.Size() == 0) return points;
    const Sweep& newest = h.Newest();
    std::optional<panorama::SampleMeaning> scaleOf;
    panorama::LevelScale scale;
    for (std::size_t i = h.Size(); i-- > 0;) {
        const Sweep& s = h.At(i);
        const double age = (newest.timeMs - s.timeMs) / 1000.0;
        if (age > seconds) break;
        const panorama::SampleMeaning &m = s.meaning.sample, &n = newest.meaning.sample;
        if (m.unitIndex != n.unitIndex || m.oporPosition != n.oporPosition || m.koefPosition != n.koefPosition) break;
        const int k = SampleAt(s.meaning, mhz);
        if (k < 0) continue;
        // The scale only where the meaning changes: a minute holds 2400 sweeps.
        if (!scaleOf || !(*scaleOf == m)) {
            scale = panorama::ComputeLevelScale(m.oporPosition, m.koefPosition, m.unitIndex);
            scaleOf = m;
        }
        points.emplace_back(age, panorama::Level(s.frame[k], scale.opor, scale.koef));
    }
    return points;
}

std::string UnitLabel(const Meaning& m) { return m.sample.unitIndex == 0 ? "dBuV" : "dBm"; }

std::string ChangeText(const Meaning& before, const Meaning& after) {
    const panorama::SampleMeaning &a = before.sample, &b = after.sample;
    std::string text;
    auto add = [&text](const std::string& what) { text += (text.empty() ? "" : ", ") + what; };
    auto bit = [&a, &b](std::uint32_t mask) { return (a.flags & mask) != (b.flags & mask); };
    if (a.step != b.step) add("Шаг " + std::to_string(b.step) + " МГц");
    if (a.shift != b.shift) add("Сдвиг " + std::to_string(b.shift) + " МГц");
    if (a.loIndex != b.loIndex) add("Гетеродин");
    if (bit(panorama::kBandBit)) add((b.flags & panorama::kBandBit) ? "Верхн." : "Нижн.");
    if (a.axisMin != b.axisMin && a.shift == b.shift && a.loIndex == b.loIndex && !bit(panorama::kBandBit))
        add("Начало " + std::to_string(static_cast<long long>(b.axisMin)) + " МГц");
    if (bit(panorama::kPolarisationBit)) add((b.flags & panorama::kPolarisationBit) ? "H / L" : "V / R");
    if (bit(panorama::kAmp9dBBit)) add((b.flags & panorama::kAmp9dBBit) ? "+9 dB вкл" : "+9 dB выкл");
    if (bit(panorama::kAtt20dBBit)) add((b.flags & panorama::kAtt20dBBit) ? "-20 dB вкл" : "-20 dB выкл");
    if (a.unitIndex != b.unitIndex) add(UnitLabel(after));
    if (a.oporPosition != b.oporPosition) add("Опора " + std::to_string(b.oporPosition));
    if (a.koefPosition != b.koefPosition) add("Коэф " + std::to_string(b.koefPosition));
    return text;
}

// ---- History ----

History::History(std::size_t capacity) : ring_(std::max<std::size_t>(capacity, 1)) {}

void History::Add(const Sweep& sweep) {
    if (size_ < ring_.size()) {
        ring_[(first_ + size_) % ring_.size()] = sweep;
        ++size_;
    } else {
        ring_[first_] = sweep;
        first_ = (first_ + 1) % ring_.size();
    }
    ++added_;
}

void History::Clear() {
    first_ = size_ = 0;
}

// ---- Bytes ----

namespace {

constexpr char kMagic[8] = {'V', 'K', '3', 'S', 'W', 'E', 'E', 'P'};
constexpr std::uint8_t kMeaningType = 'M';
constexpr std::uint8_t kSweepType = 'S';
constexpr int kMeaningValues = 10;

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint32_t Get32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
void PutCrc(std::string& out, std::size_t from) {
    Put32(out, Crc32(reinterpret_cast<const std::uint8_t*>(out.data()) + from, out.size() - from));
}

std::array<std::int32_t, kMeaningValues> Values(const Meaning& m) {
    const panorama::SampleMeaning& s = m.sample;
    return {static_cast<std::int32_t>(s.step), s.shift, static_cast<std::int32_t>(s.axisMin), s.loIndex,
            static_cast<std::int32_t>(s.flags), s.unitIndex, s.oporPosition, s.koefPosition, m.levelMin, m.levelMax};
}

Meaning FromValues(const std::uint8_t* p) {
    std::array<std::int32_t, kMeaningValues> v;
    for (int i = 0; i < kMeaningValues; ++i) v[i] = static_cast<std::int32_t>(Get32(p + 4 * i));
    Meaning m;
    m.sample.step = static_cast<std::uint32_t>(v[0]);
    m.sample.shift = v[1];
    m.sample.axisMin = v[2];
    m.sample.loIndex = v[3];
    m.sample.flags = static_cast<std::uint32_t>(v[4]);
    m.sample.unitIndex = v[5];
    m.sample.oporPosition = v[6];
    m.sample.koefPosition = v[7];
    m.levelMin = v[8];
    m.levelMax = v[9];
    return m;
}

// A meaning the window can take: its controls keep the step, the calibration
// bars and the unit (two items) and oscillator (four) radio groups in these
// ranges. Anything else came from a damaged or forged file and would turn the
// samples into nonsense (a scale of zero).
bool Plausible(const Meaning& m) {
    using namespace panorama;
    const SampleMeaning& s = m.sample;
    return s.step >= kStepMin && s.step <= kStepMax && s.koefPosition >= kKoefPositionMin &&
           s.koefPosition <= kKoefPositionMax && s.oporPosition >= kOporPositionMin &&
           s.oporPosition <= kOporPositionMax && s.unitIndex >= -1 && s.unitIndex <= 1 && s.loIndex >= -1 &&
           s.loIndex <= 3;
}

}  // namespace

// Eight bytes a step ("slicing by eight"): table k gives the CRC of a byte
// followed by k zero bytes, so the eight lookups of a step are independent.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    using Tables = std::array<std::array<std::uint32_t, 256>, 8>;
    static const Tables tables = [] {
        Tables t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][n] = c;
        }
        for (std::uint32_t n = 0; n < 256; ++n)
            for (int k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint32_t lo = c ^ Get32(data + i);
        const std::uint32_t hi = Get32(data + i + 4);
        c = tables[7][lo & 0xFF] ^ tables[6][(lo >> 8) & 0xFF] ^ tables[5][(lo >> 16) & 0xFF] ^ tables[4][lo >> 24] ^
            tables[3][hi & 0xFF] ^ tables[2][(hi >> 8) & 0xFF] ^ tables[1][(hi >> 16) & 0xFF] ^ tables[0][hi >> 24];
    }
    for (; i < size; ++i) c = tables[0][(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

Encoder::Encoder(std::int64_t startMs) : startMs_(startMs) {
    out_.append(kMagic, sizeof kMagic);
    out_.push_back(static_cast<char>(kFormatVersion & 0xFF));
    out_.push_back(static_cast<char>(kFormatVersion >> 8));
    out_.push_back(static_cast<char>(kHeaderSize));
    out_.push_back(0);
    const auto start = static_cast<std::uint64_t>(startMs);
    Put32(out_, static_cast<std::uint32_t>(start));
    Put32(out_, static_cast<std::uint32_t>(start >> 32));
    PutCrc(out_, 0);
}

std::uint32_t Encoder::Offset(std::int64_t timeMs) {
    const std::int64_t offset = std::clamp<std::int64_t>(timeMs - startMs_, lastOffset_, 0xFFFFFFFFll);
    lastOffset_ = static_cast<std::uint32_t>(offset);
    return lastOffset_;
}

bool Encoder::AddMeaning(std::int64_t timeMs, const Meaning& m) {
    if (haveMeaning_ && m == meaning_) return false;
    haveMeaning_ = true;
    meaning_ = m;
    const std::size_t from = out_.size();
    out_.push_back(static_cast<char>(kMeaningType));
    Put32(out_, Offset(timeMs));
    for (std::int32_t v : Values(m)) Put32(out_, static_cast<std::uint32_t>(v));
    PutCrc(out_, from);
    return true;
}

void Encoder::AddSweep(const Sweep& sweep) {
    AddMeaning(sweep.timeMs, sweep.meaning);
    const std::size_t from = out_.size();
    out_.push_back(static_cast<char>(kSweepType));
    Put32(out_, Offset(sweep.timeMs));
    out_.append(reinterpret_cast<const char*>(sweep.frame.data()), sweep.frame.size());
    PutCrc(out_, from);
}

std::string Encoder::Take() {
    std::string bytes;
    bytes.swap(out_);
    return bytes;
}

// ---- Reading ----

Recording ReadRecording(const std::uint8_t* data, std::size_t size) {
    Recording r;
    // A problem's text is put together in one allocation: a damaged file
    // can have one for every few bytes.
    auto problem = [&r](std::size_t offset, std::initializer_list<std::string_view> parts) {
        std::size_t length = 0;
        for (std::string_view part : parts) length += part.size();
        std::string text;
        text.reserve(length);
        for (std::string_view part : parts) text += part;
        if (r.problems.empty()) r.problems.reserve(4);
        r.problems.push_back({offset, std::move(text)});
    };
    if (size < kHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        problem(0, {"Это не запись панорамы Velkarn3"});
        return r;
    }
    if (Crc32(data, 20) != Get32(data + 20)) {
        problem(0, {"Заголовок записи повреждён"});
        return r;
    }
    r.version = static_cast<std::uint16_t>(data[8] | (data[9] << 8));
    const std::size_t headerSize = static_cast<std::size_t>(data[10] | (data[11] << 8));
    if (r.version != kFormatVersion || headerSize != kHeaderSize) {
        problem(0, {"Версия записи ", std::to_string(r.version), " не поддерживается"});
        return r;
    }
    r.valid = true;
    r.sweeps.reserve((size - kHeaderSize) / kSweepRecordSize);
    r.startMs = static_cast<std::int64_t>(Get32(data + 12) | (std::uint64_t{Get32(data + 16)} << 32));

    // The size of a record of this type, 0 for no type of ours.
    auto recordSize = [](std::uint8_t type) -> std::size_t {
        return type == kMeaningType ? kMeaningRecordSize : type == kSweepType ? kSweepRecordSize : 0;
    };
    // Whether a whole record that checks starts at `at`.
    auto checks = [&](std::size_t at) {
        const std::size_t n = recordSize(data[at]);
        return n != 0 && size - at >= n && Crc32(data + at, n - 4) == Get32(data + at + n - 4);
    };
    bool haveMeaning = false;
    Meaning meaning;
    std::uint32_t lastOffset = 0;
    std::size_t at = kHeaderSize;
    while (at < size) {
        const std::size_t n = recordSize(data[at]);
        if (!checks(at)) {
            std::size_t next = at + 1;
            while (next < size && !checks(next)) ++next;
            if (next == size && n != 0 && size - at < n) {
                // Cut short with no good record in the bytes left: the end of
                // the last write before the program stopped.
                problem(at, {"Запись обрывается на байте ", std::to_string(at), ": последние ", std::to_string(size - at),
                             " байт не прочитаны"});
                break;
            }
            problem(at, {"Повреждены байты ", std::to_string(at), "..", std::to_string(next - 1), " (",
                         std::to_string(next - at), " байт пропущено)"});
            at = next;
            continue;
        }
        const std::uint32_t offset = Get32(data + at + 1);
        const std::int64_t time = r.startMs + std::max(offset, lastOffset);
        lastOffset = std::max(offset, lastOffset);
        if (data[at] == kMeaningType) {
            meaning = FromValues(data + at + 5);
            haveMeaning = Plausible(meaning);
            if (haveMeaning)
                r.changes.push_back({time, meaning, r.sweeps.size()});
            else
                problem(at, {"Параметры развёртки на байте ", std::to_string(at),
                             " вне допустимых значений: развёртки с ними пропущены"});
        } else if (!haveMeaning) {
            problem(at, {"Развёртка на байте ", std::to_string(at), " без параметров пропущена"});
        } else {
            Sweep& s = r.sweeps.emplace_back();
            s.timeMs = time;
            std::memcpy(s.frame.data(), data + at + 5, panorama::kSamples);
            s.meaning = meaning;
        }
        at += n;
    }
    return r;
}

std::string Encode(const Recording& recording) {
    Encoder e(recording.startMs);
    e.Reserve(recording.changes.size() * kMeaningRecordSize + recording.sweeps.size() * kSweepRecordSize);
    std::size_t change = 0;
    for (std::size_t i = 0; i <= recording.sweeps.size(); ++i) {
        for (; change < recording.changes.size() && recording.changes[change].beforeSweep <= i; ++change)
            e.AddMeaning(recording.changes[change].timeMs, recording.changes[change].meaning);
        if (i < recording.sweeps.size()) e.AddSweep(recording.sweeps[i]);
    }
    return e.Take();
}

// ---- Writing ----

Recorder::Recorder() : syncer_([this] { SyncLoop(); }) {}

Recorder::~Recorder() {
    Stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    syncer_.join();
}

bool Recorder::Start(const std::string& path, std::int64_t startMs) {
    Stop();
    std::FILE* f = common::CreateNewFile(common::PathFromUtf8(path));
    if (!f) return false;
    encoder_ = Encoder(startMs);
    failed_ = false;
    bytes_ = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        file_ = f;
    }
    lastWriteMs_ = startMs;
    bytes_ = encoder_.Pending();
    return Write();
}

bool Recorder::Write() {
    const std::string bytes = encoder_.Take();
    if (bytes.empty()) return !failed_;
    // Under the lock: the syncer never flushes a half-written buffer.
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::fflush(file_) != 0)
        failed_ = true;
    syncDue_ = true;
    wake_.notify_all();
    return !failed_;
}

bool Recorder::FlushIfDue(std::int64_t nowMs) {
    if (nowMs - lastWriteMs_ < 1000 && nowMs >= lastWriteMs_) return !failed_;
    lastWriteMs_ = nowMs;
    return Write();
}

bool Recorder::Observe(std::int64_t nowMs, const Meaning& meaning) {
    if (!file_) return false;
    const std::size_t before = encoder_.Pending();
    encoder_.AddMeaning(nowMs, meaning);
    bytes_ += encoder_.Pending() - before;
    return FlushIfDue(nowMs);
}

bool Recorder::Add(const Sweep& sweep) {
    if (!file_) return false;
    const std::size_t before = encoder_.Pending();
    encoder_.AddSweep(sweep);
    bytes_ += encoder_.Pending() - before;
    return FlushIfDue(sweep.timeMs);
}

namespace {
bool SyncToDisk(std::FILE* f) {
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}
}  // namespace

bool Recorder::Stop() {
    if (!file_) return true;
    Write();
    std::unique_lock<std::mutex> lock(mutex_);
    // Not closed under a sync that the thread is still making.
    wake_.wait(lock, [this] { return !syncing_; });
    if (!SyncToDisk(file_)) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    syncDue_ = false;
    return !failed_;
}

void Recorder::SyncLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || syncDue_; });
        if (quit_) return;
        syncDue_ = false;
        if (!file_) continue;
        // The descriptor stays open while the lock is let go: Stop waits for
        // the sync before closing it; writes go on meanwhile.
        const int fd =
#ifdef _WIN32
            _fileno(file_);
#else
            fileno(file_);
#endif
        syncing_ = true;
        lock.unlock();
#ifdef _WIN32
        _commit(fd);
#else
        fsync(fd);
#endif
        lock.lock();
        syncing_ = false;
        wake_.notify_all();
    }
}

// ---- Export ----

std::string RecordingCsv(const Recording& recording, std::size_t first, std::size_t last,
                         const std::function<panorama::DateTime(std::int64_t)>& localTime,
                         const std::function<std::string(int)>& loCaption) {
    std::string out;
    if (recording.sweeps.empty()) return out;
    last = std::min(last, recording.sweeps.size() - 1);
    for (std::size_t i = first; i <= last; ++i) {
        const Sweep& s = recording.sweeps[i];
        panorama::TraceTools::Shown shown;
        shown.valid = true;
        shown.frame = s.frame;
        shown.meaning = s.meaning.sample;
        const panorama::LevelScale scale =
            panorama::ComputeLevelScale(s.meaning.sample.oporPosition, s.meaning.sample.koefPosition,
                                        s.meaning.sample.unitIndex);
        shown.opor = scale.opor;
        shown.koef = scale.koef;
        shown.unitLabel = scale.unitLabel;
        shown.levels = SweepLevels(s);
        shown.live = shown.levels;
        panorama::TraceHeader header;
        header.when = localTime(s.timeMs);
        header.loCaption = loCaption(s.meaning.sample.loIndex);
        std::string block = panorama::TraceCsv(shown, header);
        // One byte-order mark, at the start of the file; an empty line between sweeps.
        if (i != first) {
            block.erase(0, 3);
            out += "\r\n";
        }
        out += block;
    }
    return out;
}

}  // namespace recording
