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
  /// Where the last name begins: after the last "\", or 0.
  size_t NameStart() const {
    size_t start = length_;
    while (start > 0 && units_[start - 1] != u'\\') --start;
    return start;
  }

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
      return true;
    }
  }
}

// False only when memory is exhausted; `exact` says whether every character
// had a form in the code page.
bool ToAnsi(const WideText& wide, Text& ansi, bool& exact, bool bestFit = false) {
  size_t size = wide.Length() * kLongestAnsiBytesPerUnit;
  if (!ansi.Reserve(size)) return false;
  exact = true;
  size_t bytes =
      size ? ConvertToAnsi(wide.Units(), wide.Length(), ansi.Buffer(), size, bestFit, exact) : 0;
  if (size && !bytes) exact = false;
  ansi.SetLength(bytes);
  return true;
}

}  // namespace

bool ReadModulePath(Text& path) {
  WideText wide;
  bool exact = false;
  if (!ReadWholeModulePath(wide) || !ToAnsi(wide, path, exact)) return false;
  if (exact) return true;

  // A folder the ANSI code page cannot spell has a short (8.3) name that it
  // can. The launcher's own long name follows it when that converts exactly,
  // so that the settings file keeps its name; else the whole path is taken
  // short. Volumes without short names give the long path back.
  size_t needed = QueryShortPathName(wide.Units(), nullptr, 0);
  if (needed && needed <= kLargestBufferSize) {
    WideText shortPath;
    // Room for the short folder with the long name after it, too.
    if (!shortPath.Reserve(needed + wide.Length())) return false;
    size_t length = QueryShortPathName(wide.Units(), shortPath.Buffer(), needed);
    if (length && length < needed) {
      shortPath.SetLength(length);
      size_t folder = shortPath.NameStart();
      size_t name = wide.NameStart();
      for (size_t i = name; i < wide.Length(); ++i)
        shortPath.Buffer()[folder + i - name] = wide.Units()[i];
      shortPath.SetLength(folder + wide.Length() - name);
      if (!ToAnsi(shortPath, path, exact)) return false;
      if (exact) return true;
      shortPath.SetLength(QueryShortPathName(wide.Units(), shortPath.Buffer(), needed));
      if (!ToAnsi(shortPath, path, exact)) return false;
      if (exact && shortPath.Length() < needed) return true;
    }
  }
  // No exact form: the path as the system's own ANSI calls spell it, as the
  // launcher always read it.
  return ToAnsi(wide, path, exact, true);
}
