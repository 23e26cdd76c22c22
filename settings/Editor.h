// The settings editor's logic: the editor's texts into a settings block
// (gather, with the motor positions) and a block into the texts (apply).
// The window only moves texts between its controls and EditorTexts.
#pragma once

#include "settings/SettingsBlock.h"

#include <array>
#include <string>

namespace settings {

// Columns of the transponder grid; grid row r holds entry r - 1.
enum Column : int {
    kNameColumn = 0,
    kFrequencyColumn = 1,
    kPolarisationColumn = 2,
    kSymbolRateColumn = 3,
    kInputColumn = 4,
};
inline constexpr int kColumnCount = 5;

// The name item that deletes a row, in Windows-1251 ("УДАЛИТЬ").
inline constexpr std::string_view kDeleteName = "\xD3\xC4\xC0\xCB\xC8\xD2\xDC";

// The Zener editor's range and the number of battery types.
inline constexpr int kZenerMin = 80;
inline constexpr int kZenerMax = 90;
inline constexpr int kBatteryTypeCount = 3;

using RowTexts = std::array<std::string, kColumnCount>;

// What the editor's controls hold. The name cells are Windows-1251 bytes (one
// byte a character); the other cells and the coordinate texts are UTF-8. The
// coordinate texts are as the masked fields read, a blank for every unfilled
// digit position.
struct EditorTexts {
    // rows[entry][column], empty texts. (No "{}": clang 14 crashes on a
    // brace-initialised member array of strings.)
    std::array<RowTexts, kEntryCount> rows;
    std::string latitude = "50,0";
    std::string longitude = "036,0";
    int batteryIndex = -1;  // -1: no battery type selected
    int zener = kZenerMin;
};

// A row is stored as an empty entry when its name is empty or the delete item,
// or when its frequency, polarisation, symbol-rate or input text is empty.
bool IsEmptyRow(const RowTexts& row);

// Rewrites `block` from the texts: the 15 entries in order, then the site,
// battery type, Zener and battery codes, then the motor positions. TailPad is
// never touched, nor is the battery code when no battery type is selected.
//
// Throws common::UserError and stops where the failure occurs, leaving what
// was written before it:
// - "Range check error" for a name of 1..6 characters, after writing one
//   name byte per character; for a frequency or symbol rate outside 0..65535
//   (the 16-bit field), after what an unconvertible text leaves;
// - "'<text>' is not a valid integer value" for a frequency or symbol rate
//   that is no integer, after the name, polarisation and input (and the
//   frequency when the symbol rate failed);
// - "'<text>' is not a valid floating point value" for a coordinate that is
//   no number, after the whole table;
// - "Range check error" for a coordinate whose whole degrees do not fit the
//   byte (below 0 or above 255), after the whole table.
void GatherSettings(const EditorTexts& texts, SettingsBlock& block);
// The same gather with its failure as an answer: false, and the message in
// `error`, where the one above throws (bytes already put in stay as well).
bool GatherSettings(const EditorTexts& texts, SettingsBlock& block, std::string& error);

// Sets each entry's MotorPosition from its satellite's orbital position and
// the site; an entry without a position (an empty entry, or a name without
// the units digit and direction) gets 0. The texts must convert.
void ComputeMotorPositions(const std::string& latitude, const std::string& longitude,
                           SettingsBlock& block);

// The texts the controls show for a block. The battery index and the Zener
// value come limited as their controls limit them (0..2 and 80..90).
EditorTexts ApplySettings(const SettingsBlock& block);

// The grid's in-cell editors.
enum class CellEditor { Name, Spin, Polarisation, Input };
CellEditor EditorForColumn(int column);
// The text an editor shows over an empty cell of the column.
std::string EmptyCellText(int column);

}  // namespace settings
