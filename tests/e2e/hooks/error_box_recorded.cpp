// The error box, written to the file START_TEST_BOX_RECORD instead of shown,
// so that a headless run does not wait for a click. user32 is still loaded
// and MessageBoxA looked up, as the real box would.
#include "platform/error_box.h"

#include "hooks.h"
#include "platform/windows/system_library.h"

void ShowErrorBox(const char* title, const char* text) {
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  auto messageBox =
      SystemFunction<MessageBoxFunction>(LoadSystemLibrary("user32.dll"), "MessageBoxA");
  char path[MAX_PATH];
  if (!messageBox || !GetEnvironmentVariableA("START_TEST_BOX_RECORD", path, sizeof path)) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, title, lstrlenA(title), &written, nullptr);
  WriteFile(file, "\t", 1, &written, nullptr);
  WriteFile(file, text, lstrlenA(text), &written, nullptr);
  CloseHandle(file);
}
