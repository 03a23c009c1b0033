// Loading a system DLL on the path that needs it, and only from System32.
#pragma once

#include "platform/windows/windows_api.h"

/// LoadLibraryExA limited to System32; where the system does not know that
/// limit, the DLL is named by its full path in the system directory instead.
HMODULE LoadSystemLibrary(const char* name);

/// GetProcAddress as a typed pointer. `Function` must carry WINAPI, or the
/// 32-bit build calls it with the wrong convention.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  if (!module) return nullptr;
  FARPROC address = GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}
