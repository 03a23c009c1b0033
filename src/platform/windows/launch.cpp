#include "platform/launch.h"

#include "platform/windows/system_library.h"
#include "platform/windows/thread_block.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace {

// DLLs the shell loads late, on its first use of them. Some loaders (Wine's,
// seen here) look for such late loads in the program's own folder first,
// whatever the process's DLL directories say; loaded from System32 now, they
// are found in memory then. One text, so that no table of pointers needs
// relocating.
constexpr char kShellLateLoads[] = "ole32.dll\0oleaut32.dll\0comctl32.dll\0";

// shell32 drags in a dozen DLLs; only the paths that use it pay for them.
template <typename Function>
Function ShellFunction(const char* name) {
  for (const char* late = kShellLateLoads; *late;) {
    LoadSystemLibrary(late);
    while (*late++) {
    }
  }
  return SystemFunction<Function>(LoadSystemLibrary("shell32.dll"), name);
}

}  // namespace

void ShellOpen(const char* file, const char* parameters, const char* directory) {
  using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
  auto shellExecuteEx = ShellFunction<ShellExecuteExFunction>("ShellExecuteExA");
  if (!shellExecuteEx) return;
  // Microsoft's ShellExecute documentation: "COM should be initialized
  // before ShellExecute is called", apartment-threaded without OLE1 DDE,
  // since some verbs are COM objects. ole32 is loaded from System32 above.
  using CoInitializeExFunction = HRESULT(WINAPI*)(LPVOID, DWORD);
  constexpr DWORD kApartmentThreaded = 0x2, kDisableOle1Dde = 0x4;  // COINIT_*
  auto coInitializeEx =
      SystemFunction<CoInitializeExFunction>(LoadSystemLibrary("ole32.dll"), "CoInitializeEx");
  if (coInitializeEx) coInitializeEx(nullptr, kApartmentThreaded | kDisableOle1Dde);

  SHELLEXECUTEINFOA request = {};
  request.cbSize = sizeof request;
  // SHELLEXECUTEINFO's documentation: "applications that exit immediately
  // after calling ShellExecuteEx should specify" SEE_MASK_NOASYNC, or a DDE
  // conversation may be cut short and nothing opens.
  request.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  request.lpVerb = "open";
  request.lpFile = file;
  request.lpParameters = parameters;
  request.lpDirectory = directory;
  request.nShow = SW_SHOW;
  shellExecuteEx(&request);
}

uint32_t StartProcess(char* commandLine, const char* currentDirectory) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  // The handles are left open: the launcher ends right after this call.
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                     CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP, nullptr,
                     currentDirectory, &startup, &process)) {
    return 0;
  }
  return LastErrorValue();
}
