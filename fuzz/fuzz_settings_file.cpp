// Opening an arbitrary settings file, then apply and gather.
//
// The input is the file's content, opened from memory (the file's part of
// opening is only reading it). The open reads its first 248 bytes and ignores the
// rest; this harness takes the bytes after the 248th as edits a user makes in
// the editor before the next gather: records of (target, length, text) that
// set a grid cell, a coordinate text, the battery type or the Zener value.
//
// What must hold:
// - a file shorter than a block is refused with the read-error message and
//   changes nothing; a longer one lands in the buffer as its first 248 bytes;
// - the gather of the texts a file shows either fails with "Range check
//   error" for a name cut short by a zero byte, or produces a block that
//   re-applies to the same texts: every row that was not empty shows the same
//   texts again, a row the gather emptied shows empty, and so do the site,
//   battery and Zener controls;
// - after the edits, a gather either fails with one of the editor's messages
//   (naming the text that failed) or produces a block whose texts gather
//   again and come back unchanged;
// - every gathered block keeps the pad byte, zero entry pads, whole tenths,
//   empty entries all zero and motor words in their encoding.
#include "common/Convert.h"
#include "settings/Editor.h"
#include "settings/Exchange.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace settings;

namespace {

class RecordingPrompt : public common::UserPrompt {
public:
    void Message(const std::string& text) override { messages.push_back(text); }
    bool Ask(const std::string&, const std::string&) override { return false; }
    std::vector<std::string> messages;
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "settings: %s\n", what);
        std::abort();
    }
}

bool AllEmpty(const RowTexts& row) {
    return std::all_of(row.begin(), row.end(), [](const std::string& s) { return s.empty(); });
}

// The edits after the block. A text is taken as a control holds it: no NUL.
void ApplyEdits(const std::uint8_t* data, std::size_t size, EditorTexts& t) {
    std::size_t i = 0;
    while (i + 2 <= size) {
        const int target = data[i] % (kEntryCount * kColumnCount + 4);
        const std::size_t length = std::min<std::size_t>(data[i + 1], size - i - 2);
        std::string text;
        for (std::size_t k = 0; k < length; ++k)
            if (data[i + 2 + k] != 0) text.push_back(static_cast<char>(data[i + 2 + k]));
        i += 2 + length;
        const int cells = kEntryCount * kColumnCount;
        if (target < cells) {
            t.rows[target / kColumnCount][target % kColumnCount] = text;
        } else if (target == cells) {
            t.latitude = text;
        } else if (target == cells + 1) {
            t.longitude = text;
        } else {
            // The radio group holds -1..2, the spin editor 80..90.
            const int v = length > 0 ? data[i - length] : 0;
            if (target == cells + 2) t.batteryIndex = v % (kBatteryTypeCount + 1) - 1;
            else t.zener = kZenerMin + v % (kZenerMax - kZenerMin + 1);
        }
    }
}

// A gather's failure names one of the texts it could not take.
void CheckFailure(const std::string& message, const EditorTexts& t) {
    if (message == common::kRangeCheckError) return;
    auto names = [&](const std::string& text, const char* kind) {
        return message == "'" + text + "' is not a valid " + kind + " value";
    };
    for (const RowTexts& row : t.rows)
        if (names(row[kFrequencyColumn], "integer") || names(row[kSymbolRateColumn], "integer")) return;
    if (names(t.latitude, "floating point") || names(t.longitude, "floating point")) return;
    std::fprintf(stderr, "settings: unexpected gather failure: %s\n", message.c_str());
    std::abort();
}

bool ValidMotorWord(std::uint16_t w) {
    if (w == 0) return true;
    const unsigned direction = w >> 12, degrees = (w >> 4) & 0xFF, code = w & 0xF;
    static constexpr unsigned kCodes[] = {0, 2, 3, 5, 6, 8, 10, 11, 13, 14};
    return (direction == 0xD || direction == 0xE) && degrees <= 90 &&
           std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes);
}

// What every gathered block keeps, whatever it was gathered from.
void CheckGathered(const SettingsBlock& before, const SettingsBlock& after, const EditorTexts& from) {
    Check(after[kTailPadAt] == before[kTailPadAt], "the gather touched the pad byte");
    Check((after[kLatTenthsAt] & 0x0F) == 0 && (after[kLonTenthsAt] & 0x0F) == 0, "tenths with a low nibble");
    for (int e = 0; e < kEntryCount; ++e) {
        const std::size_t at = EntryOffset(e);
        if (IsEmptyRow(from.rows[e])) {
            Check(std::all_of(after.begin() + at, after.begin() + at + kEntrySize, [](std::uint8_t v) { return v == 0; }),
                  "an empty row left bytes in its entry");
            continue;
        }
        Check(after[at + kEntryPadAt] == 0, "entry pad not zero");
        Check(ValidMotorWord(GetU16(after, at + kMotorPositionAt)), "motor position outside its encoding");
    }
    if (from.batteryIndex < 0)
        Check(after[kBatteryCodeAt] == before[kBatteryCodeAt], "battery code written with no type selected");
}

// Gathers `t` into `block`; false when the gather failed (checked message).
bool Gather(const EditorTexts& t, SettingsBlock& block) {
    const SettingsBlock before = block;
    std::string error;
    if (!GatherSettings(t, block, error)) {
        CheckFailure(error, t);
        return false;
    }
    CheckGathered(before, block, t);
    return true;
}

// The round trip of a block the gather produced from `from`; `shown` is what
// the block applies to.
void CheckReapplies(const EditorTexts& shown, const EditorTexts& from, bool sameSite) {
    for (int e = 0; e < kEntryCount; ++e) {
        if (IsEmptyRow(from.rows[e])) Check(AllEmpty(shown.rows[e]), "an emptied row shows texts");
        else Check(shown.rows[e] == from.rows[e], "a row does not show the texts it was gathered from");
    }
    Check(shown.batteryIndex == from.batteryIndex && shown.zener == from.zener,
          "battery type or Zener value not shown as gathered");
    if (sameSite) Check(shown.latitude == from.latitude && shown.longitude == from.longitude,
                        "site texts not shown as gathered");
}

// Applying a gathered block and gathering that again must succeed, and the
// texts are then a fixed point apart from rows the second gather empties.
// `shown` is what the block applies to.
void CheckStable(const SettingsBlock& gathered, const EditorTexts& shown) {
    SettingsBlock again = gathered;
    Check(Gather(shown, again), "the texts of a gathered block do not gather");
    const EditorTexts reshown = ApplySettings(again);
    for (int e = 0; e < kEntryCount; ++e) {
        if (IsEmptyRow(shown.rows[e])) Check(AllEmpty(reshown.rows[e]), "an emptied row shows texts");
        else Check(reshown.rows[e] == shown.rows[e], "a gathered row does not come back");
    }
    Check(reshown.batteryIndex == shown.batteryIndex && reshown.zener == shown.zener, "battery or Zener moved");
}

bool HasShortName(const EditorTexts& t) {
    for (const RowTexts& row : t.rows)
        if (!IsEmptyRow(row) && row[kNameColumn].size() < kNameLength) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SettingsBlock buffer;
    buffer.fill(0xA5);
    RecordingPrompt prompt;
    EditorTexts texts;
    bool applied = false;
    OpenFromBytes(data, size, buffer, prompt, [&] {
        texts = ApplySettings(buffer);
        applied = true;
    });
    if (size < kBlockSize) {
        Check(!applied && prompt.messages.size() == 1 && prompt.messages[0] == kMsgFileReadError,
              "a short file was not refused");
        Check(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t v) { return v == 0xA5; }),
              "a refused file changed the buffer");
        return 0;
    }
    Check(applied && prompt.messages.empty(), "a whole file was not applied");
    Check(std::equal(buffer.begin(), buffer.end(), data), "the buffer does not hold the file's block");

    // The texts as the file shows them.
    const SettingsBlock opened = buffer;
    if (Gather(texts, buffer)) {
        // Coordinates whose tenths nibble reads 10..15 show two digits after
        // the comma, which the gather rounds to one.
        const bool plainSite = (opened[kLatTenthsAt] >> 4) < 10 && (opened[kLonTenthsAt] >> 4) < 10;
        const EditorTexts shown = ApplySettings(buffer);
        CheckReapplies(shown, texts, plainSite);
        // The gather reads only the texts (and the bytes it keeps), so texts
        // that came back whole gather to the same block again; only a site
        // rounded on the way needs the second round.
        if (!plainSite) CheckStable(buffer, shown);
    } else {
        // Applied texts always convert; only a name cut short by a zero byte fails.
        Check(HasShortName(texts), "applied texts failed to gather");
    }

    // The same texts after the user's edits.
    if (size > kBlockSize) {
        ApplyEdits(data + kBlockSize, size - kBlockSize, texts);
        SettingsBlock edited = opened;
        if (Gather(texts, edited)) CheckStable(edited, ApplySettings(edited));
    }
    return 0;
}
