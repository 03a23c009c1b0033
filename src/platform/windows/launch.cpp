#include "platform/launch.h"

#include "platform/windows/system_library.h"

namespace {

// DLLs the shell loads late, on its first use of them. Some loaders (Wine's,
// seen here) look for such late loads in the program's own folder first,
// whatever the process's DLL directories say; loaded from System32 now, they
// are found in memory then. One text, so that no table of pointers needs
// relocating.
constexpr char kShellLateLoads[] = "ole32.dll\0oleaut32.dll\0comctl32.dll\0";

}  // namespace

void ShellOpenFile(const char* file, const char* parameters) {
  for (const char* name = kShellLateLoads; *name; name += lstrlenA(name) + 1) {
    LoadSystemLibrary(name);
  }
  // shell32 drags in a dozen DLLs; only this path pays for them.
  using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  auto shellExecute =
      SystemFunction<ShellExecuteFunction>(LoadSystemLibrary("shell32.dll"), "ShellExecuteA");
  if (shellExecute) shellExecute(nullptr, "open", file, parameters, nullptr, SW_SHOW);
}

void StartProcess(char* commandLine, const char* currentDirectory) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  // The handles are left open: the launcher ends right after this call.
  PROCESS_INFORMATION process = {};
  CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                 CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP, nullptr,
                 currentDirectory, &startup, &process);
}
