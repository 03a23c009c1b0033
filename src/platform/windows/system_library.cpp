#include "platform/windows/system_library.h"

#include "platform/dll_search.h"

HMODULE KernelModule() {
  HMODULE kernel32 = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, "kernel32.dll", &kernel32);
  return kernel32;
}

void RestrictDllSearch() {
  // Windows 8 and later, and Windows 7 with KB2533623.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  auto setDefaultDllDirectories =
      SystemFunction<SetDefaultDllDirectoriesFunction>(KernelModule(), "SetDefaultDllDirectories");
  if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name) {
  HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module) return module;

  char path[MAX_PATH + 32];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  path[length++] = '\\';
  for (const char* byte = name; *byte && length + 1 < sizeof path; ++byte) path[length++] = *byte;
  path[length] = 0;
  // A full path: the DLL's own dependencies are then searched from System32.
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
