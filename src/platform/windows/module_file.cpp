#include "platform/module_file.h"

#include "platform/windows/windows_api.h"

size_t QueryModuleFileName(char* buffer, size_t size) {
  // A cut path gives `size` back (and on XP no NUL): the caller tests that.
  return GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
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
  DWORD length = GetModuleFileNameA(module, buffer, static_cast<DWORD>(size));
  return length < size ? length : 0;
}
