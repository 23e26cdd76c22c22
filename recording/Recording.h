// The sweeps over time: the history of the last sweeps, the recording file
// (writer and reader) and what changed between two meanings. Texts are UTF-8.
#pragma once

#include "panorama/Panorama.h"
#include "panorama/Tools.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace recording {

// What a sweep's samples stand for, and the level range the chart showed
// them in (which the picture of a replay needs, but which changes nothing
// they mean).
struct Meaning {
    panorama::SampleMeaning sample;
    std::int32_t levelMin = 0, levelMax = 0;
    bool operator==(const Meaning&) const = default;
};

// One sweep: its time (milliseconds since 1970-01-01 UTC), samples and meaning.
struct Sweep {
    std::int64_t timeMs = 0;
    panorama::SweepFrame frame{};
    Meaning meaning;
};

// The sweep's levels in its meaning's unit and calibration.
panorama::Levels SweepLevels(const Sweep& sweep);
// The unit's label: "dBuV" or "dBm".
std::string UnitLabel(const Meaning& m);

// What changed from `before` to `after` in what the samples stand for, as a
// short Russian text ("Шаг 5 МГц, dBm"); empty when only the level range
// changed (or nothing).
std::string ChangeText(const Meaning& before, const Meaning& after);

// The sample drawn nearest to a frequency (MHz on the axis), or -1 off the sweep.
int SampleAt(const Meaning& m, double mhz);

class History;
// One frequency's level over the last `seconds` before the newest sweep of
// the history: (age in seconds, level) from the newest back, stopping where
// the unit or the calibration changed (those levels do not compare);
// sweeps that do not reach the frequency are left out.
std::vector<std::pair<double, float>> LevelOverTime(const History& history, double mhz, double seconds);

// ---- The history ----

// The last sweeps, oldest overwritten once full. Index 0 is the oldest kept.
class History {
public:
    static constexpr std::size_t kDefaultCapacity = 30000;  // 12.5 minutes at 40 a second
    explicit History(std::size_t capacity = kDefaultCapacity);

    void Add(const Sweep& sweep);
    void Clear();
    std::size_t Size() const { return size_; }
    std::size_t Capacity() const { return ring_.size(); }
    // Sweeps ever added (the count keeps going when old ones drop out).
    std::uint64_t Added() const { return added_; }
    const Sweep& At(std::size_t i) const { return ring_[(first_ + i) % ring_.size()]; }
    const Sweep& Newest() const { return At(size_ - 1); }
    std::size_t MemoryBytes() const { return sizeof(*this) + ring_.capacity() * sizeof(Sweep); }

private:
    std::vector<Sweep> ring_;
    std::size_t first_ = 0, size_ = 0;
    std::uint64_t added_ = 0;
};

// ---- The file ----

inline constexpr std::uint16_t kFormatVersion = 1;
inline constexpr std::size_t kHeaderSize = 24;
inline constexpr std::size_t kMeaningRecordSize = 49;
inline constexpr std::size_t kSweepRecordSize = 137;
inline constexpr const char* kFileSuffix = "vk3rec";

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

// Builds the file's bytes: the header, then meaning and sweep records.
// Times before the start, or earlier than the record before, are written as
// the earliest they may be.
class Encoder {
public:
    explicit Encoder(std::int64_t startMs);
    std::int64_t StartMs() const { return startMs_; }
    // A meaning record when `m` differs from the last one written (or none
    // was); true when one was written.
    bool AddMeaning(std::int64_t timeMs, const Meaning& m);
    // The sweep's meaning record first, where it changed, then the sweep.
    void AddSweep(const Sweep& sweep);
    // The bytes built since the last Take (the header first of all).
    std::string Take();
    std::size_t Pending() const { return out_.size(); }
    // Room for `bytes` more, so that adding them allocates nothing.
    void Reserve(std::size_t bytes) { out_.reserve(out_.size() + bytes); }

private:
    std::uint32_t Offset(std::int64_t timeMs);
    std::int64_t startMs_;
    std::uint32_t lastOffset_ = 0;
    bool haveMeaning_ = false;
    Meaning meaning_;
    std::string out_;
};

// What a recording holds, as far as it could be read.
struct Recording {
    struct Change {
        std::int64_t timeMs = 0;
        Meaning meaning;
        std::size_t beforeSweep = 0;  // index of the sweep that follows it
    };
    struct Problem {
        std::size_t offset = 0;  // bytes into the file
        std::string text;        // Russian, for the user
    };
    bool valid = false;  // the header was read; nothing else is without it
    std::uint16_t version = 0;
    std::int64_t startMs = 0;
    std::vector<Sweep> sweeps;
    std::vector<Change> changes;  // every meaning record, in order
    std::vector<Problem> problems;
};

// Reads a recording from its bytes. Never throws on any input: a bad header
// gives valid = false with a problem; a record cut short at the end ends the
// reading with a problem; a damaged stretch is skipped to the next record
// that checks, with a problem; a sweep before any meaning is dropped.
Recording ReadRecording(const std::uint8_t* data, std::size_t size);

// The bytes that `recording` was read from (when it was read whole, without
// problems): header, then its changes and sweeps in order.
std::string Encode(const Recording& recording);

// Writes a recording as the sweeps come: the file is created new (never
// replacing one), and what was added is handed to the system at least once a
// second; a thread of its own then flushes it to the disk, so that the
// caller never waits for the disk.
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates `path` (UTF-8) and writes the header. False, nothing created,
    // when the name is taken or the file cannot be made.
    bool Start(const std::string& path, std::int64_t startMs);
    // Writes what is held, syncs the file to the disk and closes it. False
    // when any write since Start failed.
    bool Stop();
    bool Recording() const { return file_ != nullptr; }

    // Notes the meaning (written when it changed) and writes what is held
    // once a second has passed since the last write. False once a write
    // failed (the recording goes on being attempted).
    bool Observe(std::int64_t nowMs, const Meaning& meaning);
    bool Add(const Sweep& sweep);
    bool Failed() const { return failed_; }

    std::uint64_t BytesWritten() const { return bytes_; }  // held bytes included
    std::int64_t StartMs() const { return encoder_.StartMs(); }

private:
    bool FlushIfDue(std::int64_t nowMs);
    bool Write();
    void SyncLoop();

    std::FILE* file_ = nullptr;
    Encoder encoder_{0};
    std::int64_t lastWriteMs_ = 0;
    std::uint64_t bytes_ = 0;
    bool failed_ = false;
    // The disk flusher.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool syncDue_ = false, quit_ = false, syncing_ = false;
    std::thread syncer_;
};

// The sweeps of `recording` from index `first` to `last` (inclusive) as CSV
// text, in the trace export's form, one block after the other.
// `localTime` turns a sweep's time into the local date and time; `loCaption`
// names an oscillator item.
std::string RecordingCsv(const Recording& recording, std::size_t first, std::size_t last,
                         const std::function<panorama::DateTime(std::int64_t)>& localTime,
                         const std::function<std::string(int)>& loCaption);

}  // namespace recording
