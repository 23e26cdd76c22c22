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

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

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
// images agree. A plain loop: neither traced for coverage nor checked by
// AddressSanitizer, which would make it most of each run's time.
__attribute__((no_sanitize("coverage", "address"))) std::pair<std::int32_t, std::int32_t> WrittenSpan(
    const firmware::Image& a, const firmware::Image& b) {
    const std::uint8_t* pa = a.data();
    const std::uint8_t* pb = b.data();
    std::int32_t lowest = -1, highest = -1;
    for (std::int32_t i = 0; i < firmware::kImageSize; ++i) {
        if (pa[i] != pb[i]) continue;
        if (lowest < 0) lowest = i;
        highest = i;
    }
    return {lowest, highest};
}

struct Load {
    std::unique_ptr<firmware::Image> image = std::make_unique<firmware::Image>();
    std::int32_t start = 0, end = 0;
    firmware::LoadReport report;
    CountingPrompt prompt;
    int result = -1;
};

void Run(Load& load, std::uint8_t fill, const std::uint8_t* data, std::size_t size) {
    firmware::ResetImage(*load.image, load.start, load.end);
    load.image->fill(fill);
    firmware::HexInput in(data, size);
    firmware::LoadHex(in, *load.image, load.start, load.end, load.prompt, &load.report);
    load.result = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Load a, b;
    Run(a, 0xFF, data, size);
    Run(b, 0x00, data, size);

    Check(a.start == b.start && a.end == b.end, "the range depends on the image's fill");
    Check(a.report.checksumWarnings == b.report.checksumWarnings && a.report.badRecord == b.report.badRecord &&
              a.report.cutShort == b.report.cutShort && a.report.readError == b.report.readError,
          "the report depends on the image's fill");
    Check(a.prompt.messages == a.report.checksumWarnings, "one message for each checksum warning");

    constexpr std::int32_t kSize = firmware::kImageSize;
    const bool anyRecord = a.start != kSize || a.end != 0;
    if (anyRecord) {
        Check(a.start >= 0 && a.start <= a.end && a.end <= kSize, "range outside the image or inverted");
    }

    const auto [lowest, highest] = WrittenSpan(*a.image, *b.image);
    if (highest < 0) return 0;
    Check(anyRecord, "bytes written but no range reported");
    Check(a.start <= lowest, "a written byte lies below the reported start");
    Check(highest < a.end, "a written byte lies at or past the reported end");
    return 0;
}
