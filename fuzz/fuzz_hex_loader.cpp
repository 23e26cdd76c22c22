// The Intel HEX loader over arbitrary file contents, read from memory (the
// loader's file part only opens the file).
//
// Each input is loaded twice, into images filled with 0xFF and with 0x00.
// A byte the loader wrote holds the same value in both images; a byte it did
// not write keeps each image's own fill. So the bytes that agree are exactly
// the ones written, and the reported range must cover all of them. The images
// sit on the heap at their exact size, so AddressSanitizer stops any write
// outside them.
#include "firmware/HexLoader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

class CountingPrompt : public common::UserPrompt {
public:
    void Message(const std::string&) override { ++messages; }
    bool Ask(const std::string&, const std::string&) override { return false; }
    int messages = 0;
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "hex loader: %s\n", what);
        std::abort();
    }
}

// The lowest and highest address written (-1 when none): where the two
// images agree (equal bytes are rare: the fills differ everywhere nothing was
// written). Scanned a block at a time, sixteen bytes a compare where the CPU
// has SSE2; only a block with an agreeing byte is searched byte by byte.
// Neither traced for coverage nor checked by the sanitizers: the scan would
// otherwise be most of each run's time.
constexpr std::int32_t kBlock = 256;
static_assert(firmware::kImageSize % kBlock == 0);

__attribute__((no_sanitize("coverage", "address", "undefined"))) inline bool BlockAgrees(const std::uint8_t* a,
                                                                                         const std::uint8_t* b) {
#ifdef __SSE2__
    __m128i equal = _mm_setzero_si128();
    for (std::int32_t i = 0; i < kBlock; i += 16)
        equal = _mm_or_si128(equal, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))));
    return _mm_movemask_epi8(equal) != 0;
#else
    bool any = false;
    for (std::int32_t i = 0; i < kBlock; ++i) any |= a[i] == b[i];
    return any;
#endif
}

__attribute__((no_sanitize("coverage", "address", "undefined"))) std::pair<std::int32_t, std::int32_t> WrittenSpan(
    const firmware::Image& a, const firmware::Image& b) {
    const std::uint8_t* pa = a.data();
    const std::uint8_t* pb = b.data();
    constexpr std::int32_t kBlocks = firmware::kImageSize / kBlock;
    std::int32_t lowest = -1, highest = -1;
    for (std::int32_t k = 0; k < kBlocks && lowest < 0; ++k)
        if (BlockAgrees(pa + kBlock * k, pb + kBlock * k))
            for (std::int32_t i = kBlock * k; i < kBlock * (k + 1); ++i)
                if (pa[i] == pb[i]) { lowest = i; break; }
    if (lowest < 0) return {-1, -1};
    for (std::int32_t k = kBlocks - 1; k >= lowest / kBlock && highest < 0; --k)
        if (BlockAgrees(pa + kBlock * k, pb + kBlock * k))
            for (std::int32_t i = kBlock * (k + 1) - 1; i >= kBlock * k; --i)
                if (pa[i] == pb[i]) { highest = i; break; }
    return {lowest, highest};
}

// Two images for the process, each exactly its size on the heap and each
// with its own fill (0xFF, 0x00): allocated once, as a fresh 64 KiB block per
// input would cost AddressSanitizer's quarantine new pages on every run.
// Between runs only the range the last load reported is filled again: the
// checks below prove that it covers every byte the load wrote (a load that
// wrote outside it stops the run).
struct Slot {
    explicit Slot(std::uint8_t f) : image(new firmware::Image), fill(f) { image->fill(fill); }
    firmware::Image* image;
    std::uint8_t fill;
    std::int32_t dirtyFrom = 0, dirtyTo = 0;
};

Slot& TheSlot(int which) {
    static Slot slots[2] = {Slot(0xFF), Slot(0x00)};
    return slots[which];
}

struct Load {
    explicit Load(int which) : slot(TheSlot(which)) {}
    Slot& slot;
    std::int32_t start = 0, end = 0;
    firmware::LoadReport report;
    CountingPrompt prompt;
};

void Run(Load& load, const std::uint8_t* data, std::size_t size) {
    Slot& s = load.slot;
    std::fill(s.image->begin() + s.dirtyFrom, s.image->begin() + s.dirtyTo, s.fill);
    // What ResetImage leaves for the range: start above any address, end below any.
    load.start = firmware::kImageSize;
    load.end = 0;
    firmware::HexInput in(data, size);
    firmware::LoadHex(in, *s.image, load.start, load.end, load.prompt, &load.report);
    const bool any = load.start < load.end;
    s.dirtyFrom = any ? std::max(load.start, 0) : 0;
    s.dirtyTo = any ? std::min(load.end, firmware::kImageSize) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Load a(0), b(1);
    Run(a, data, size);
    Run(b, data, size);

    Check(a.start == b.start && a.end == b.end, "the range depends on the image's fill");
    Check(a.report.checksumWarnings == b.report.checksumWarnings && a.report.badRecord == b.report.badRecord &&
              a.report.cutShort == b.report.cutShort && a.report.readError == b.report.readError &&
              a.report.foreignBase == b.report.foreignBase,
          "the report depends on the image's fill");
    Check(a.prompt.messages == a.report.checksumWarnings, "one message for each checksum warning");

    constexpr std::int32_t kSize = firmware::kImageSize;
    const bool anyRecord = a.start != kSize || a.end != 0;
    if (anyRecord) {
        Check(a.start >= 0 && a.start <= a.end && a.end <= kSize, "range outside the image or inverted");
    }

    const auto [lowest, highest] = WrittenSpan(*a.slot.image, *b.slot.image);
    if (highest < 0) return 0;
    Check(anyRecord, "bytes written but no range reported");
    Check(a.start <= lowest, "a written byte lies below the reported start");
    Check(highest < a.end, "a written byte lies at or past the reported end");
    return 0;
}
