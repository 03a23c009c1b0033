#include "platform/ansi_text.h"

#include "platform/windows/windows_api.h"

size_t ConvertToAnsi(const char16_t* units, size_t length, char* buffer, size_t size, bool bestFit,
                     bool& exact) {
  // Where the ANSI code page is UTF-8 (a choice Windows 10 offers), the call
  // refuses the flag and gives 0: not exact, and the best-fit conversion
  // that follows spells every name.
  BOOL usedDefault = FALSE;
  int bytes =
      WideCharToMultiByte(CP_ACP, bestFit ? 0 : WC_NO_BEST_FIT_CHARS,
                          reinterpret_cast<LPCWCH>(units), static_cast<int>(length), buffer,
                          static_cast<int>(size), nullptr, bestFit ? nullptr : &usedDefault);
  exact = !usedDefault;
  return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}
