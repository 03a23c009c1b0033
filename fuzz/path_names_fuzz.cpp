// The path operations cut, never change: every result is a run of bytes of
// its argument, DirectoryPart + NamePart gives the argument back, and the
// pieces nest as they should; with the double-byte rule off and on. The first
// input byte picks the rule.
#include <stddef.h>
#include <stdint.h>

#include <cstdlib>

#include "fake_platform.h"
#include "paths/double_byte_text.h"
#include "paths/path_names.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// `part` lies within `whole`.
bool Inside(const TextView& part, const TextView& whole) {
  return part.length == 0 ||
         (part.bytes >= whole.bytes && part.bytes + part.length <= whole.bytes + whole.length);
}

bool IsPrefix(const TextView& part, const TextView& whole) {
  return part.length <= whole.length && (part.length == 0 || part.bytes == whole.bytes);
}

bool IsSuffix(const TextView& part, const TextView& whole) {
  return part.length <= whole.length &&
         (part.length == 0 || part.bytes + part.length == whole.bytes + whole.length);
}

void UseRule(bool doubleByte) {
  ResetFake();
  if (doubleByte) {
    Fake().threadLocale = 0x0411;
    Fake().localeCodePageText = "932";
    Fake().leadByteRanges[932] = {0x81, 0x9F, 0xE0, 0xFC};
  }
  DetectDoubleByteText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  UseRule(data[0] & 1);
  TextView path(reinterpret_cast<const char*>(data + 1), size - 1);

  TextView directory = DirectoryPart(path);
  TextView name = NamePart(path);
  Require(IsPrefix(directory, path) && IsSuffix(name, path));
  Require(directory.length + name.length == path.length);

  TextView extension = ExtensionPart(path);
  Require(IsSuffix(extension, path) && extension.length <= name.length);
  Require(extension.length == 0 || extension.At(1) == '.');

  TextView directoryOf = DirectoryOf(path);
  Require(IsPrefix(directoryOf, directory));
  Require(directory.length - directoryOf.length <= 1);

  TextView baseName = BaseName(path);
  Require(Inside(baseName, name));
  for (size_t i = 1; i <= baseName.length; ++i) Require(baseName.At(i) != '/');
  return 0;
}
