// Reads values of the settings file through the platform's profile service.
// The reader keeps nothing of the file: every read is one profile call.
#pragma once

#include <stdint.h>

#include "paths/text.h"

struct SettingsReader {
  Text path;
};

/// Longest value a read returns; longer values are cut.
constexpr size_t kLongestSettingText = 2047;

/// All of these return false only when memory is exhausted. Section, key and
/// default are NUL-terminated, as the profile service takes them.
[[nodiscard]] bool CreateSettingsReader(TextView path, SettingsReader& reader);
/// Flushes the system's cached copy of the file and frees the reader.
void ReleaseSettingsReader(SettingsReader& reader);

/// The key's text, or `defaultText` when the file, section or key is missing.
[[nodiscard]] bool ReadSettingText(const SettingsReader& reader, const char* section, const char* key,
                                   const char* defaultText, Text& value);
/// The key's text as an integer (see IntegerFromSettingText),
/// or `defaultValue` when it is missing or no integer.
[[nodiscard]] bool ReadSettingInteger(const SettingsReader& reader, const char* section,
                                      const char* key, int32_t defaultValue, int32_t& value);
/// On when the key's integer is not 0; `defaultValue` when it is no integer.
[[nodiscard]] bool ReadSettingFlag(const SettingsReader& reader, const char* section,
                                   const char* key, bool defaultValue, bool& value);
