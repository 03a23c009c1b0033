#include "paths/module_path.h"

#include "platform/ansi_text.h"
#include "platform/memory.h"
#include "platform/module_file.h"
#include "platform/short_path.h"

namespace {

constexpr size_t kFirstBufferSize = 261;      // MAX_PATH and one more
constexpr size_t kLargestBufferSize = 65536;  // beyond any Windows path

// UTF-16 units on the platform heap, freed when it goes.
class WideText {
 public:
  WideText() = default;
  ~WideText() { Release(); }
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;

  [[nodiscard]] bool Reserve(size_t size) {
    Release();
    units_ = static_cast<char16_t*>(AllocateMemory(size * sizeof(char16_t)));
    length_ = 0;
    return units_ != nullptr;
  }
  char16_t* Buffer() { return units_; }
  const char16_t* Units() const { return units_; }
  size_t Length() const { return length_; }
  void SetLength(size_t length) { length_ = length; }

 private:
  void Release() {
    if (units_) FreeMemory(units_);
    units_ = nullptr;
  }

  char16_t* units_ = nullptr;
  size_t length_ = 0;
};

// A full buffer means the path was cut; older systems also leave it without
// its NUL then. So the buffer grows until the path fits.
bool ReadWholeModulePath(WideText& path) {
  for (size_t size = kFirstBufferSize;; size *= 2) {
    if (!path.Reserve(size)) return false;
    size_t length = QueryModuleFileNameWide(path.Buffer(), size);
    if (length < size || size >= kLargestBufferSize) {
      path.SetLength(length < size ? length : size - 1);
      path.Buffer()[path.Length()] = 0;
      return true;
    }
  }
}

// False only when memory is exhausted; `exact` says whether every character
// had a form in the code page.
bool ToAnsi(const char16_t* units, size_t length, Text& ansi, bool& exact, bool bestFit = false) {
  size_t size = length * kLongestAnsiBytesPerUnit;
  if (!ansi.Reserve(size)) return false;
  exact = true;
  size_t bytes = size ? ConvertToAnsi(units, length, ansi.Buffer(), size, bestFit, exact) : 0;
  if (size && !bytes) exact = false;
  ansi.SetLength(bytes);
  return true;
}

// Where the last name begins: after the last "\", or 0.
size_t NameStart(const char16_t* units, size_t length) {
  while (length > 0 && units[length - 1] != u'\\') --length;
  return length;
}

}  // namespace

bool AnsiFormOfPath(const char16_t* path, size_t length, Text& ansi) {
  bool exact = false;
  if (!ToAnsi(path, length, ansi, exact)) return false;
  if (exact) return true;

  // A folder the ANSI code page cannot spell has a short (8.3) name that it
  // can. The file's own long name follows it when that converts exactly, so
  // that the settings file keeps its name; else the whole path is taken
  // short. Volumes without short names give the long path back.
  size_t needed = QueryShortPathName(path, nullptr, 0);
  if (needed && needed <= kLargestBufferSize) {
    WideText shortPath;
    // Room for the short folder with the long name after it, too.
    if (!shortPath.Reserve(needed + length)) return false;
    char16_t* units = shortPath.Buffer();
    size_t shortLength = QueryShortPathName(path, units, needed);
    if (shortLength && shortLength < needed) {
      size_t folder = NameStart(units, shortLength);
      size_t name = NameStart(path, length);
      for (size_t i = name; i < length; ++i) units[folder + i - name] = path[i];
      if (!ToAnsi(units, folder + length - name, ansi, exact)) return false;
      if (exact) return true;
      shortLength = QueryShortPathName(path, units, needed);
      if (!ToAnsi(units, shortLength < needed ? shortLength : 0, ansi, exact)) return false;
      if (exact && shortLength) return true;
    }
  }
  // No exact form: the path as the system's own ANSI calls spell it, as the
  // launcher always read its own.
  return ToAnsi(path, length, ansi, exact, true);
}

bool ReadModulePath(Text& path) {
  WideText wide;
  return ReadWholeModulePath(wide) && AnsiFormOfPath(wide.Units(), wide.Length(), path);
}
