// Prints what a profile reader returns for section/key pairs of one settings
// file, one line per pair:
//
//   <returned count> "<the bytes placed in the buffer>"
//
// Usage: profile_dump [-s SIZE] [-d DEFAULT] FILE SECTION KEY [SECTION KEY]...
//
// Built for Windows it asks Windows' own GetPrivateProfileStringA; built for
// the host it asks the checker's ReadProfileValue. The two outputs are
// compared byte for byte.
//
// The buffer holds 2048 bytes unless -s says otherwise; the default text is
// "<default>" unless -d gives another. SECTION, KEY and DEFAULT may hold C
// escapes (\\, \", \t, \r, \n, \xNN), so that any byte but NUL can be asked
// for. In the output a byte from a blank to "~" stands for itself, except "\"
// and '"', written \\ and \"; every other byte is written \xNN. " unterminated"
// follows a value not followed by a NUL, and " scribbled" a call that changed
// the buffer beyond that NUL.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include "profile_reader.h"
#endif

namespace {

constexpr size_t kDefaultSize = 2048;
constexpr size_t kMaxSize = 1 << 20;
constexpr unsigned char kUnwritten = 0xA5;

#ifdef _WIN32
size_t ReadValue(const char* path, const std::string&, const char* section, const char* key,
                 const char* defaultText, char* buffer, size_t size) {
  return GetPrivateProfileStringA(section, key, defaultText, buffer, static_cast<DWORD>(size),
                                  path);
}
#else
size_t ReadValue(const char*, const std::string& fileBytes, const char* section, const char* key,
                 const char* defaultText, char* buffer, size_t size) {
  return ReadProfileValue(fileBytes, section, key, defaultText, buffer, size);
}
#endif

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes the C escapes of an argument; false for a malformed one.
bool Unescape(const char* text, std::string& bytes) {
  bytes.clear();
  for (const char* in = text; *in; ++in) {
    if (*in != '\\') {
      bytes.push_back(*in);
      continue;
    }
    ++in;
    switch (*in) {
      case '\\':
        bytes.push_back('\\');
        break;
      case '"':
        bytes.push_back('"');
        break;
      case 't':
        bytes.push_back('\t');
        break;
      case 'r':
        bytes.push_back('\r');
        break;
      case 'n':
        bytes.push_back('\n');
        break;
      case 'x': {
        int high = HexDigit(in[1]);
        int low = high < 0 ? -1 : HexDigit(in[2]);
        if (low < 0 || (high == 0 && low == 0)) return false;
        bytes.push_back(static_cast<char>(high * 16 + low));
        in += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

void PrintEscaped(const char* bytes, size_t count) {
  putchar('"');
  for (size_t i = 0; i < count; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\\' || c == '"') {
      printf("\\%c", c);
    } else if (c >= 0x20 && c <= 0x7E) {
      putchar(c);
    } else {
      printf("\\x%02X", c);
    }
  }
  putchar('"');
}

int Usage() {
  fputs("usage: profile_dump [-s SIZE] [-d DEFAULT] FILE SECTION KEY [SECTION KEY]...\n",
        stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  size_t size = kDefaultSize;
  std::string defaultText = "<default>";
  int next = 1;
  while (next < argc && argv[next][0] == '-') {
    if (next + 1 == argc) return Usage();
    if (strcmp(argv[next], "-s") == 0) {
      char* end = nullptr;
      unsigned long value = strtoul(argv[next + 1], &end, 10);
      if (*end != '\0' || value > kMaxSize) return Usage();
      size = value;
    } else if (strcmp(argv[next], "-d") == 0) {
      if (!Unescape(argv[next + 1], defaultText)) return Usage();
    } else {
      return Usage();
    }
    next += 2;
  }
  // The file, then section/key pairs: an odd count of at least three.
  const int remaining = argc - next;
  // cppcheck assumes the loop above ran out of arguments; it can also stop at
  // the file name.
  // cppcheck-suppress knownConditionTrueFalse
  if (remaining < 3 || remaining % 2 == 0) return Usage();

  const char* path = argv[next++];
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    perror("profile_dump");
    return 3;
  }
  const std::string fileBytes((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());

  // One byte more than the call may use, to see that it stays within size.
  // The bytes after the value's NUL must keep their fill.
  std::vector<char> buffer(size + 1);
  std::string section;
  std::string key;
  for (; next < argc; next += 2) {
    if (!Unescape(argv[next], section) || !Unescape(argv[next + 1], key)) return Usage();
    buffer.assign(size + 1, static_cast<char>(kUnwritten));
    size_t count = ReadValue(path, fileBytes, section.c_str(), key.c_str(), defaultText.c_str(),
                             buffer.data(), size);
    printf("%zu ", count);
    PrintEscaped(buffer.data(), count <= size ? count : size);
    if (count >= size || buffer[count] != '\0') fputs(" unterminated", stdout);
    for (size_t i = count + 1; i <= size; ++i) {
      if (static_cast<unsigned char>(buffer[i]) != kUnwritten) {
        fputs(" scribbled", stdout);
        break;
      }
    }
    putchar('\n');
  }
  return 0;
}
