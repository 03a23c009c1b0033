#include "platform/module_file.h"

#include "platform/ansi_text.h"
#include "platform/windows/windows_api.h"

size_t QueryModuleFileNameWide(char16_t* buffer, size_t size) {
  static_assert(sizeof(char16_t) == sizeof(WCHAR), "UTF-16 units");
  // A cut path gives `size` back (and on XP no NUL): the caller tests that.
  return GetModuleFileNameW(nullptr, reinterpret_cast<LPWSTR>(buffer), static_cast<DWORD>(size));
}

size_t QueryModuleFileOfAddress(const void* address, char* buffer, size_t size,
                                size_t& offset) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module)) {
    offset = reinterpret_cast<size_t>(address);
    return 0;
  }
  offset = reinterpret_cast<size_t>(address) - reinterpret_cast<size_t>(module);
  // The wide call and the system's own (best-fit) conversion: what
  // GetModuleFileNameA would give, without importing it for this one message.
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  bool exact = true;
  size_t bytes = ConvertToAnsi(reinterpret_cast<const char16_t*>(path), length, buffer, size,
                               true, exact);
  return bytes < size ? bytes : 0;
}
