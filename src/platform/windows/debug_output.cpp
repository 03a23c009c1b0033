#include "platform/debug_output.h"

#include "platform/windows/system_library.h"

void WriteDebugText(const char* text) {
  // Looked up, not imported: only a failure needs it.
  using OutputDebugStringFunction = void(WINAPI*)(LPCSTR);
  auto output = SystemFunction<OutputDebugStringFunction>(KernelModule(), "OutputDebugStringA");
  if (output) output(text);
}
