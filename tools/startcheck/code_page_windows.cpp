// The code page conversions on Windows: the system's own ANSI code page,
// through UTF-16.
#include <string>

#include "code_page.h"
#include "platform/windows/windows_api.h"

namespace {

std::wstring Wide(const std::string& text, UINT codePage) {
  int units = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                  nullptr, 0);
  std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) {
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
  }
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage, bool& exact) {
  BOOL usedDefault = FALSE;
  bool utf8 = codePage == CP_UTF8;
  int bytes = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                  0, nullptr, utf8 ? nullptr : &usedDefault);
  std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], bytes,
                        nullptr, utf8 ? nullptr : &usedDefault);
  }
  exact = !usedDefault;
  return text;
}

}  // namespace

unsigned CheckerCodePage() { return GetACP(); }

bool SetCheckerCodePage(unsigned number) { return number == GetACP(); }

std::string AnsiToUtf8(const std::string& ansi) {
  bool exact = true;
  return Narrow(Wide(ansi, CP_ACP), CP_UTF8, exact);
}

std::string Utf8ToAnsi(const std::string& utf8, bool& exact) {
  return Narrow(Wide(utf8, CP_UTF8), CP_ACP, exact);
}
