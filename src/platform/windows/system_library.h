// Loading a system DLL on the path that needs it, and only from System32.
#pragma once

#include "platform/windows/windows_api.h"

/// LoadLibraryExA limited to System32; where the system does not know that
/// limit, the DLL is named by its full path in the system directory instead.
HMODULE LoadSystemLibrary(const char* name);

/// kernel32, which every process has loaded.
HMODULE KernelModule();

/// True for a pointer to a function with the system's calling convention.
/// Only the 32-bit build tells the conventions apart, and a call through the
/// wrong one goes unnoticed there (the frame pointer restores the stack), so
/// the mistake must stop the build instead.
template <typename Function>
struct IsSystemCallPointer {
  static constexpr bool value = false;
};
template <typename Result, typename... Arguments>
struct IsSystemCallPointer<Result(WINAPI*)(Arguments...)> {
  static constexpr bool value = true;
};

/// GetProcAddress as a typed pointer; `Function` must carry WINAPI.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  static_assert(IsSystemCallPointer<Function>::value,
                "a function pointer from GetProcAddress must carry WINAPI");
  if (!module) return nullptr;
  FARPROC address = GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}
