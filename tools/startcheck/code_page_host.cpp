// The code page conversions on a host without Windows: glibc's iconv, which
// knows Windows' code pages by the names CP1252, CP932 and so on.
#include <errno.h>
#include <iconv.h>

#include <string>

#include "code_page.h"

namespace {

unsigned codePage = 1252;

// iconv_open's failure value, (iconv_t) -1, as its manual gives it.
bool Opened(iconv_t converter) {
  return converter != reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
}

std::string IconvName(unsigned number) { return "CP" + std::to_string(number); }

// Converts, replacing what cannot be converted by `replacement`.
std::string Convert(const std::string& text, const char* from, const char* to,
                    const char* replacement, bool& exact) {
  exact = true;
  iconv_t converter = iconv_open(to, from);
  if (!Opened(converter)) {
    exact = false;
    return text;
  }
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* next = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = iconv(converter, &in, &inLeft, &next, &outLeft);
    out.append(buffer, static_cast<size_t>(next - buffer));
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // A byte or character with no counterpart: skip one input byte, or the
    // whole UTF-8 sequence it starts.
    exact = false;
    out += replacement;
    size_t skip = 1;
    unsigned char lead = static_cast<unsigned char>(*in);
    if (std::string(from) == "UTF-8" && lead >= 0xC0) {
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    }
    in += skip;
    inLeft -= skip;
  }
  iconv_close(converter);
  return out;
}

}  // namespace

unsigned CheckerCodePage() { return codePage; }

bool SetCheckerCodePage(unsigned number) {
  iconv_t converter = iconv_open("UTF-8", IconvName(number).c_str());
  if (!Opened(converter)) return false;
  iconv_close(converter);
  codePage = number;
  return true;
}

std::string AnsiToUtf8(const std::string& ansi) {
  bool exact = true;
  return Convert(ansi, IconvName(codePage).c_str(), "UTF-8", "\xEF\xBF\xBD", exact);
}

std::string Utf8ToAnsi(const std::string& utf8, bool& exact) {
  return Convert(utf8, "UTF-8", IconvName(codePage).c_str(), "?", exact);
}
