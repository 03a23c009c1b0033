#include "platform/short_path.h"

#include "platform/windows/windows_api.h"

size_t QueryShortPathName(const char16_t* path, char16_t* buffer, size_t size) {
  // Relies on: the path back unchanged where the volume keeps no short names
  // (exFAT, many network shares), 0 where a folder cannot be listed.
  return GetShortPathNameW(reinterpret_cast<LPCWSTR>(path), reinterpret_cast<LPWSTR>(buffer),
                           static_cast<DWORD>(size));
}
