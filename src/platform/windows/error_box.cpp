#include "platform/error_box.h"

#include "platform/windows/system_library.h"

void ShowErrorBox(const char* title, const char* text) {
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  auto messageBox =
      SystemFunction<MessageBoxFunction>(LoadSystemLibrary("user32.dll"), "MessageBoxA");
  if (messageBox) messageBox(nullptr, text, title, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}
