// The user's settings: what belongs to the user rather than to a project (the export size, for
// one), kept in $XDG_CONFIG_HOME/tavoka/settings as a small text file of "key=value" lines.
// Builds on the user's folders, whole-file reads and atomic saves. A damaged file never stops
// the program: lines that are not settings are skipped (and logged), the rest is kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr int kMaxSettings = 64;          // settings one file holds; more are refused
constexpr int kSettingKeySize = 64;       // key bytes, NUL included
constexpr int kSettingValueSize = 448;    // value bytes, NUL included
constexpr size_t kMaxSettingsFileBytes = 64 * 1024;  // a larger file is not read

struct Setting {
  char key[kSettingKeySize] = "";      // letters, digits, '-', '_' and '.'
  char value[kSettingValueSize] = "";  // any text without a line break
};

// Settings in the order the file lists them.
struct Settings {
  std::array<Setting, kMaxSettings> items;
  int32_t count = 0;
};

// Reads "key=value" lines (spaces around the key and the value ignored; blank lines and lines
// starting with '#' skipped) into settings; a later line of a key replaces an earlier one.
// Returns the number of lines that were not settings (a bad key, no '=', too long, no room).
int ParseSettings(const char* text, size_t size, Settings* settings);
// The file's text: one "key=value" line each, in order.
void FormatSettings(const Settings& settings, char* text, size_t size);

// The value of key, or null when it is not set.
const char* GetSetting(const Settings& settings, const char* key);
// Sets key to value, adding it when new. False (nothing changed) for a key that is not a valid
// key, a value with a line break, either too long, or no room for another setting.
bool SetSetting(Settings* settings, const char* key, const char* value);

// The user's settings file: missing gives no settings; one that cannot be read or is larger
// than kMaxSettingsFileBytes gives none and is logged. path null: the user's settings file.
Settings LoadUserSettings(const char* path = nullptr);
// Sets one setting in the user's settings file: reads it again (so settings written meanwhile
// are kept), sets key, and replaces the file atomically. False (logged, the file untouched) when
// the file is there but cannot be read, or cannot be written. path null: the user's settings
// file.
bool SaveUserSetting(const char* key, const char* value, const char* path = nullptr);
