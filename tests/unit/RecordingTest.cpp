#include "recording/Recording.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using recording::Meaning;
using recording::Recording;
using recording::Sweep;

namespace {

Meaning Start() {
    Meaning m;
    m.sample = {10, 950, 11550, 0, 0xC000, 0, 9, 4300};
    m.levelMin = 45;
    m.levelMax = 125;
    return m;
}

Sweep MakeSweep(std::int64_t t, int seed, const Meaning& m) {
    Sweep s;
    s.timeMs = t;
    for (int i = 0; i < panorama::kSamples; ++i) s.frame[i] = static_cast<std::uint8_t>(seed * 7 + i);
    s.meaning = m;
    return s;
}

Recording Read(const std::string& bytes, std::size_t size) {
    return recording::ReadRecording(reinterpret_cast<const std::uint8_t*>(bytes.data()), size);
}

// Three seconds at 40 sweeps a second, the meaning changing in every way a
// switch can change it (one field at a time), once between sweeps only.
struct Session {
    std::int64_t start = 1'765'000'000'000;
    std::vector<Sweep> sweeps;
    std::string bytes;
    std::vector<Meaning> meanings;
    std::vector<std::size_t> ends, sweepEnds;  // where each record, and each sweep's, ends
    Session() {
        recording::Encoder e(start);
        Meaning m = Start();
        std::vector<void (*)(Meaning&)> changes = {
            [](Meaning& x) { x.sample.step = 5; },       [](Meaning& x) { x.sample.shift = 1000; },
            [](Meaning& x) { x.sample.axisMin = 11600; }, [](Meaning& x) { x.sample.loIndex = 2; },
            [](Meaning& x) { x.sample.flags ^= panorama::kPolarisationBit; },
            [](Meaning& x) { x.sample.flags ^= panorama::kBandBit; },
            [](Meaning& x) { x.sample.flags ^= panorama::kAmp9dBBit; },
            [](Meaning& x) { x.sample.flags ^= panorama::kAtt20dBBit; },
            [](Meaning& x) { x.sample.unitIndex = 1; },  [](Meaning& x) { x.sample.oporPosition = 30; },
            [](Meaning& x) { x.sample.koefPosition = 6000; }, [](Meaning& x) { x.levelMin = -75; }};
        meanings.push_back(m);
        for (int i = 0; i < 120; ++i) {
            const std::int64_t t = start + 25 * i;
            if (i % 9 == 4 && !changes.empty()) {
                changes.front()(m);
                changes.erase(changes.begin());
                meanings.push_back(m);
                if (i == 40) {  // a change with no sweep under it yet
                    e.AddMeaning(t - 10, m);
                    ends.push_back(e.Pending());
                }
            }
            sweeps.push_back(MakeSweep(t, i, m));
            const std::size_t before = e.Pending();
            e.AddSweep(sweeps.back());
            if (e.Pending() - before > recording::kSweepRecordSize) ends.push_back(before + recording::kMeaningRecordSize);
            ends.push_back(e.Pending());
            sweepEnds.push_back(e.Pending());
        }
        bytes = e.Take();
    }
};

}  // namespace

TEST(Recording, RoundTripKeepsEverySweepAndEveryChangeByteForByte) {
    const Session s;
    const Recording r = Read(s.bytes, s.bytes.size());
    ASSERT_TRUE(r.valid);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(r.startMs, s.start);
    ASSERT_EQ(r.sweeps.size(), s.sweeps.size());
    for (std::size_t i = 0; i < r.sweeps.size(); ++i) {
        EXPECT_EQ(r.sweeps[i].timeMs, s.sweeps[i].timeMs) << i;
        EXPECT_EQ(r.sweeps[i].frame, s.sweeps[i].frame) << i;
        EXPECT_EQ(r.sweeps[i].meaning, s.sweeps[i].meaning) << i;
    }
    ASSERT_EQ(r.changes.size(), s.meanings.size());
    for (std::size_t i = 0; i < r.changes.size(); ++i) EXPECT_EQ(r.changes[i].meaning, s.meanings[i]) << i;
    EXPECT_EQ(recording::Encode(r), s.bytes);
    // Each change but the level range's is named for the separator line.
    for (std::size_t i = 1; i + 1 < s.meanings.size(); ++i)
        EXPECT_FALSE(recording::ChangeText(s.meanings[i - 1], s.meanings[i]).empty()) << i;
    EXPECT_TRUE(recording::ChangeText(s.meanings[s.meanings.size() - 2], s.meanings.back()).empty());
    // An hour at 40 sweeps a second stays under 40 MB.
    EXPECT_LT(3600.0 * 40 * recording::kSweepRecordSize, 40e6);
}

// Files already written must still check: the standard CRC-32 at every
// length, whole steps of eight bytes or not.
TEST(Recording, ChecksumIsTheStandardCrc32) {
    const std::string check = "123456789";
    EXPECT_EQ(recording::Crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    std::vector<std::uint8_t> bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
    for (std::size_t n = 0; n <= bytes.size(); n += 13) {
        std::uint32_t c = 0xFFFFFFFFu;  // a byte at a time, bit by bit
        for (std::size_t i = 0; i < n; ++i) {
            c ^= bytes[i];
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        EXPECT_EQ(recording::Crc32(bytes.data(), n), c ^ 0xFFFFFFFFu) << n;
    }
}

TEST(Recording, ACutAnywhereInTheLastSecondReadsEverythingBeforeIt) {
    const Session s;
    const Recording whole = Read(s.bytes, s.bytes.size());
    const std::size_t lastSecond = s.sweepEnds[s.sweepEnds.size() - 41];
    for (std::size_t cut = lastSecond; cut < s.bytes.size(); ++cut) {
        const Recording r = Read(s.bytes, cut);
        ASSERT_TRUE(r.valid);
        // Every sweep whose record ends before the cut is there.
        const auto complete = static_cast<std::size_t>(
            std::upper_bound(s.sweepEnds.begin(), s.sweepEnds.end(), cut) - s.sweepEnds.begin());
        ASSERT_EQ(r.sweeps.size(), complete) << cut;
        EXPECT_EQ(r.sweeps.back().frame, whole.sweeps[complete - 1].frame);
        const bool onBoundary = std::find(s.ends.begin(), s.ends.end(), cut) != s.ends.end();
        ASSERT_EQ(r.problems.size(), onBoundary ? 0u : 1u) << cut;
        if (!onBoundary) {
            EXPECT_NE(r.problems[0].text.find("обрывается"), std::string::npos);
        }
    }
}

TEST(Recording, DamageIsSkippedAndToldAndABadHeaderReadsNothing) {
    const Session s;
    std::string bytes = s.bytes;
    bytes[recording::kHeaderSize + 3000] ^= 0x40;
    const Recording r = Read(bytes, bytes.size());
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.sweeps.size(), s.sweeps.size() - 1);
    EXPECT_EQ(r.sweeps.back().frame, s.sweeps.back().frame);

    EXPECT_FALSE(Read("VK3SWEEP", 8).valid);
    bytes = s.bytes;
    bytes[8] = 2;  // a later version
    const Recording later = Read(bytes, bytes.size());
    EXPECT_FALSE(later.valid);
    EXPECT_FALSE(later.problems.empty());

    // A meaning no window takes (a forged scale of zero) is told, its sweeps left out.
    recording::Encoder forged(1000);
    forged.AddSweep(MakeSweep(1000, 1, Meaning{}));
    const std::string f = forged.Take();
    const Recording fr = Read(f, f.size());
    EXPECT_TRUE(fr.sweeps.empty());
    EXPECT_FALSE(fr.problems.empty());
}

TEST(Recording, RecorderCreatesANewFileAndHandsItOverEverySecond) {
    const auto dir = testfiles::ScratchDir("recording");
    std::filesystem::create_directories(dir);
    const auto file = dir / "a.vk3rec";
    std::filesystem::remove(file);
    const Session s;
    {
        recording::Recorder rec;
        ASSERT_TRUE(rec.Start(testfiles::Utf8(file), s.start));
        recording::Recorder other;
        EXPECT_FALSE(other.Start(testfiles::Utf8(file), s.start));  // never replaces a file
        for (const Sweep& sweep : s.sweeps) rec.Add(sweep);
        // Before Stop: all but the last second is in the file already.
        std::ifstream in(file, std::ios::binary);
        const std::string partial((std::istreambuf_iterator<char>(in)), {});
        const Recording r = Read(partial, partial.size());
        EXPECT_GE(r.sweeps.size(), s.sweeps.size() - 40);
        EXPECT_TRUE(r.problems.empty());
        ASSERT_TRUE(rec.Stop());
        EXPECT_EQ(rec.BytesWritten(), std::filesystem::file_size(file));
    }
    std::string bytes;
    {
        // Closed before the folder goes: Windows removes no open file.
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::remove_all(dir);
    const Recording r = Read(bytes, bytes.size());
    ASSERT_EQ(r.sweeps.size(), s.sweeps.size());
    EXPECT_EQ(r.sweeps.back().frame, s.sweeps.back().frame);
}

TEST(Recording, HistoryKeepsTheLastSweepsInOrder) {
    recording::History h(3);
    for (int i = 0; i < 5; ++i) h.Add(MakeSweep(i, i, Start()));
    ASSERT_EQ(h.Size(), 3u);
    EXPECT_EQ(h.At(0).timeMs, 2);
    EXPECT_EQ(h.Newest().timeMs, 4);
    EXPECT_EQ(h.Added(), 5u);
    EXPECT_LT(recording::History().MemoryBytes(), 8u << 20);
}
