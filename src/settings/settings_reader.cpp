#include "settings/settings_reader.h"

#include "platform/profile.h"
#include "settings/integer_text.h"

bool CreateSettingsReader(TextView path, SettingsReader& reader) {
  return reader.path.Assign({path});
}

void ReleaseSettingsReader(SettingsReader& reader) {
  FlushProfile(reader.path.CString());
  reader.path.Clear();
}

bool ReadSettingText(const SettingsReader& reader, const char* section, const char* key,
                     const char* defaultText, Text& value) {
  if (!value.Reserve(kLongestSettingText)) return false;
  size_t length = ReadProfileString(section, key, defaultText, value.Buffer(),
                                    kLongestSettingText + 1, reader.path.CString());
  value.SetLength(length);
  return true;
}

bool ReadSettingInteger(const SettingsReader& reader, const char* section, const char* key,
                        int32_t defaultValue, int32_t& value) {
  // Always the empty default: a missing key and an empty value read alike.
  Text text;
  if (!ReadSettingText(reader, section, key, "", text)) return false;
  bool isInteger = false;
  if (!IntegerFromSettingText(text.View(), value, isInteger)) return false;
  if (!isInteger) value = defaultValue;
  return true;
}

bool ReadSettingFlag(const SettingsReader& reader, const char* section, const char* key,
                     bool defaultValue, bool& value) {
  int32_t number = 0;
  if (!ReadSettingInteger(reader, section, key, defaultValue ? 1 : 0, number)) return false;
  value = number != 0;
  return true;
}
