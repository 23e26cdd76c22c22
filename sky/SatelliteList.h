// An Enigma2 satellites.xml as the naming's plans. The text is tokenized
// elsewhere (the window's XML reader); this takes its elements one by one,
// with their attributes as written and their lines, and applies the lists'
// conventions:
//   <satellites>
//     <sat name="13.0E Hotbird 13F/13G" position="130">     tenths of a degree, west negative
//       <transponder frequency="10719000" symbol_rate="27500000" polarization="1"/>
//                                        kHz, sym/s, 0 H, 1 V, 2 L, 3 R
// Attributes come in any order; other attributes, and elements other than
// these three where Enigma2 writes them, are passed over. Positions past
// 180.0 are brought back: 1801 / -1801 (the C-band twin of 180.0E / 180.0W),
// and 1802..3599 of the lists that count east only from 0 to 3599. A C-band
// twin written one tenth past its position (-1771 for 177.0W), all its
// transponders in C band, is put at that position where the list or its name
// writes it. Transponders below 6000 MHz are C band; a satellite with both
// bands gives one plan per band. A name that repeats the position ("13.0E
// Hotbird", "Hot Bird 13B (13.0E)") loses it.
// A bad entry is skipped and counted, the rest loads: a transponder with a
// bad or missing value alone, a satellite with a bad position or no name
// with its transponders. A text that is not well-formed, has another root or
// no satellite at all is refused whole.
#pragma once

#include "sky/Plans.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sky {

// What a list gave: its plans (one per position and band, in ascending
// longitude) and what was loaded and skipped; or, refused, no plans and the
// message that says where and why.
struct SatelliteList {
    std::vector<Satellite> plans;
    std::size_t positions = 0;     // distinct positions among the plans
    std::size_t transponders = 0;  // in all plans
    std::size_t skipped = 0;       // entries passed over as bad
    std::string firstSkipped;      // "строка 23: неверная поляризация"; empty without skips
    std::string error;             // empty when the list was taken
    explicit operator bool() const { return error.empty(); }
};

// What a loaded list tells the user: "Загружено: 216 позиций, 9 876
// транспондеров", with "; пропущено записей: 1 (строка 23: неверная
// поляризация)" when entries were skipped.
std::string LoadedText(const SatelliteList& list);

// "1 позиция", "3 позиции", "12 позиций"; thousands grouped by a space.
std::string CountText(std::size_t n, std::string_view one, std::string_view few, std::string_view many);

class SatelliteListBuilder {
public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;  // name, value (UTF-8), as written

    // An element opens at `line`. False once the list is refused (its root
    // is not <satellites>): nothing after that counts.
    bool Start(std::string_view element, const Attributes& attributes, long long line);
    // The element opened last closes.
    void End();

    // The text ended whole.
    SatelliteList Finish();
    // The text broke off before its elements closed, at `line`.
    SatelliteList CutShort(long long line);
    // The text is not well-formed at `line`: `why`.
    SatelliteList Broken(long long line, std::string_view why);

private:
    enum class Open { Root, Sat, SkippedSat, Other };
    struct Entry {
        int tenths = 0;  // position, brought back within +-1800
        std::string name;
        std::vector<Transponder> transponders;
    };
    void AddSat(const Attributes& attributes, long long line);
    void AddTransponder(const Attributes& attributes, long long line);
    void Skip(long long line, std::string_view why);
    SatelliteList Refused(std::string message) const;

    std::vector<Open> open_;
    std::vector<std::string> names_;  // of the open elements, for a text cut short
    std::vector<Entry> entries_;
    long long rootLine_ = 0;
    std::size_t skipped_ = 0;
    std::string firstSkipped_;
    std::string error_;
};

}  // namespace sky
