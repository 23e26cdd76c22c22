// Moving the settings block between the window's buffer and the world
// outside: the meter (read and write requests) and settings files.
#pragma once

#include "common/UserPrompt.h"
#include "settings/SettingsBlock.h"

#include <functional>
#include <string>

namespace settings {

// What the exchange tells the user (UTF-8).
inline constexpr const char* kMsgDisconnected = "Velkarn3 отключен";
inline constexpr const char* kMsgReceived = "Принято OK";
inline constexpr const char* kMsgReadError = "read error";
inline constexpr const char* kAskWrite = "Вы действительно хотите изменить настройки в приборе?";
inline constexpr const char* kMsgSent = "Передано OK";
inline constexpr const char* kMsgWriteError = "write error";
inline constexpr const char* kAskOverwrite = "Перезаписать файл данными из таблицы?";
inline constexpr const char* kAttention = "ВНИМАНИЕ";
inline constexpr const char* kMsgFileReadError = "Ошибка чтения файла";
inline constexpr const char* kMsgFileWriteError = "Ошибка записи файла";

// The window's part of an exchange: fill the controls from the buffer, or
// gather the controls into it and show the result. Gathering may throw
// common::UserError; the exchange lets it escape after closing what it opened.
using Step = std::function<void()>;

// Reads the block from the meter. Only a reply of exactly 248 bytes replaces
// `buffer`; `apply` then runs and "Принято OK" is shown, otherwise "read
// error" and `buffer` is left as it was. The meter is closed after the
// message box is dismissed.
void ReadFromMeter(SettingsBlock& buffer, common::UserPrompt& prompt, const Step& apply);

// Asks before writing; on Yes runs `gatherAndApply` (which fills `buffer`)
// and sends the 248 bytes, then shows "Передано OK" or "write error". No meter:
// "Velkarn3 отключен" and no question. The meter is closed on every path, after
// the last message box.
void WriteToMeter(SettingsBlock& buffer, common::UserPrompt& prompt, const Step& gatherAndApply);

// File names are UTF-8 text; files are read and written in binary mode.

// Reads the first 248 bytes of a file into `block`. False, with `block`
// untouched, when the file cannot be opened (a folder included) or holds
// fewer than 248 bytes.
bool ReadSettingsFile(const std::string& path, SettingsBlock& block);
// The same from a file's content in memory: its first 248 bytes.
bool BlockFromBytes(const std::uint8_t* data, std::size_t size, SettingsBlock& block);

// Writes the 248 bytes so that the file is either replaced whole or left as
// it was: through a temporary file in the same folder, flushed to disk and
// then renamed over the target. An existing file that may not be written is
// left alone. A symbolic link is followed to the file it names.
bool WriteSettingsFile(const std::string& path, const SettingsBlock& block);

bool FileExists(const std::string& path);

// Opening a chosen file: the buffer takes the file's block and `apply` runs;
// a file that cannot be read shows "Ошибка чтения файла" and changes nothing.
void OpenFromFile(const std::string& path, SettingsBlock& buffer, common::UserPrompt& prompt,
                  const Step& apply);
// The same from a file's content already in memory (the file's part is only
// reading it).
void OpenFromBytes(const std::uint8_t* data, std::size_t size, SettingsBlock& buffer, common::UserPrompt& prompt,
                   const Step& apply);

// Saving to a chosen file: an existing file is overwritten only after a Yes to
// the question; then `gatherAndApply` runs and the buffer is written. A file
// that cannot be written shows "Ошибка записи файла".
void SaveToFile(const std::string& path, SettingsBlock& buffer, common::UserPrompt& prompt,
                const Step& gatherAndApply);

}  // namespace settings
