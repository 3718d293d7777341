#include "platform/settings.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/user_files.h"

namespace {

bool IsKeyCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
}

bool IsValidKey(const char* key, size_t length) {
  if (length == 0 || length >= static_cast<size_t>(kSettingKeySize)) return false;
  for (size_t i = 0; i < length; ++i) {
    if (!IsKeyCharacter(key[i])) return false;
  }
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Sets from a key and value given as pieces of a line.
bool SetPieces(Settings* settings, const char* key, size_t keyLength, const char* value,
               size_t valueLength) {
  if (!IsValidKey(key, keyLength) || valueLength >= static_cast<size_t>(kSettingValueSize)) {
    return false;
  }
  Setting* slot = nullptr;
  for (int i = 0; i < settings->count; ++i) {
    Setting& item = settings->items[i];
    if (std::strlen(item.key) == keyLength && std::memcmp(item.key, key, keyLength) == 0) {
      slot = &item;
      break;
    }
  }
  if (slot == nullptr) {
    if (settings->count >= kMaxSettings) return false;
    slot = &settings->items[settings->count++];
    std::memcpy(slot->key, key, keyLength);
    slot->key[keyLength] = '\0';
  }
  std::memcpy(slot->value, value, valueLength);
  slot->value[valueLength] = '\0';
  return true;
}

bool SettingsPath(const char* given, char* path, size_t size) {
  if (given != nullptr) {
    const int length = std::snprintf(path, size, "%s", given);
    return length > 0 && static_cast<size_t>(length) < size;
  }
  return UserConfigFile("settings", path, size);
}

}  // namespace

int ParseSettings(const char* text, size_t size, Settings* settings) {
  *settings = Settings();
  int refused = 0;
  size_t at = 0;
  while (at < size) {
    size_t end = at;
    while (end < size && text[end] != '\n') ++end;
    size_t first = at, last = end;
    while (first < last && IsSpace(text[first])) ++first;
    while (last > first && IsSpace(text[last - 1])) --last;
    at = end + 1;
    if (first == last || text[first] == '#') continue;
    const void* equals = std::memchr(text + first, '=', last - first);
    if (equals == nullptr || std::memchr(text + first, '\0', last - first) != nullptr) {
      refused += 1;
      continue;
    }
    const size_t split = static_cast<size_t>(static_cast<const char*>(equals) - text);
    size_t keyEnd = split, valueStart = split + 1;
    while (keyEnd > first && IsSpace(text[keyEnd - 1])) --keyEnd;
    while (valueStart < last && IsSpace(text[valueStart])) ++valueStart;
    if (!SetPieces(settings, text + first, keyEnd - first, text + valueStart, last - valueStart)) {
      refused += 1;
    }
  }
  return refused;
}

void FormatSettings(const Settings& settings, char* text, size_t size) {
  if (size == 0) return;
  text[0] = '\0';
  size_t used = 0;
  for (int i = 0; i < settings.count; ++i) {
    const int length = std::snprintf(text + used, size - used, "%s=%s\n", settings.items[i].key,
                                     settings.items[i].value);
    if (length < 0 || static_cast<size_t>(length) >= size - used) {
      text[used] = '\0';  // a setting that does not fit is left out whole
      return;
    }
    used += static_cast<size_t>(length);
  }
}

const char* GetSetting(const Settings& settings, const char* key) {
  for (int i = 0; i < settings.count; ++i) {
    if (std::strcmp(settings.items[i].key, key) == 0) return settings.items[i].value;
  }
  return nullptr;
}

bool SetSetting(Settings* settings, const char* key, const char* value) {
  if (key == nullptr || value == nullptr || std::strpbrk(value, "\r\n") != nullptr) return false;
  return SetPieces(settings, key, std::strlen(key), value, std::strlen(value));
}

namespace {

// Reads the settings file at path; a missing file holds no settings. False when a file is there
// but cannot be read (too large, not a regular file, no permission): it must not be replaced.
bool ReadSettingsFile(const char* path, Settings* settings) {
  *settings = Settings();
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, kMaxSettingsFileBytes, bytes)) return access(path, F_OK) != 0;
  const int refused =
      ParseSettings(reinterpret_cast<const char*>(bytes.data()), bytes.size(), settings);
  if (refused > 0) LogMessage("settings \"%s\": %d lines are not settings, skipped", path, refused);
  return true;
}

}  // namespace

Settings LoadUserSettings(const char* given) {
  Settings settings;
  char path[kUserPathSize];
  if (SettingsPath(given, path, sizeof path)) ReadSettingsFile(path, &settings);
  return settings;
}

bool SaveUserSetting(const char* key, const char* value, const char* given) {
  char path[kUserPathSize];
  if (!SettingsPath(given, path, sizeof path)) {
    LogMessage("settings: there is no folder for the user's settings");
    return false;
  }
  Settings settings;
  if (!ReadSettingsFile(path, &settings)) {
    LogMessage("settings: \"%s\" cannot be read, so it is left as it is", path);
    return false;
  }
  if (!SetSetting(&settings, key, value)) {
    LogMessage("settings: cannot set \"%s\"", key);
    return false;
  }
  std::vector<char> text(static_cast<size_t>(kMaxSettings) *
                         (kSettingKeySize + kSettingValueSize + 2) + 1);
  FormatSettings(settings, text.data(), text.size());
  if (!ReplaceFileAtomically(path, reinterpret_cast<const uint8_t*>(text.data()),
                             std::strlen(text.data()))) {
    LogMessage("settings: cannot write \"%s\"", path);
    return false;
  }
  return true;
}
