#include "platform/profile.h"

#include "platform/windows/windows_api.h"

size_t ReadProfileString(const char* section, const char* key, const char* defaultText,
                         char* buffer, size_t size, const char* path) {
  // Missing file, section or key all give the default; a long value is cut.
  return GetPrivateProfileStringA(section, key, defaultText, buffer, static_cast<DWORD>(size),
                                  path);
}

void FlushProfile(const char* path) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
}
