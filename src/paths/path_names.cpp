#include "paths/path_names.h"

#include "paths/double_byte_text.h"

namespace {

// Built where used, so that no pointer needs relocating in the image.
TextView DirectoryDelimiters() { return TextView("\\:", 2); }
TextView ExtensionDelimiters() { return TextView(".\\:", 3); }

bool Holds(const TextView& set, unsigned char value) {
  for (size_t i = 1; i <= set.length; ++i) {
    if (set.At(i) == value) return true;
  }
  return false;
}

}  // namespace

size_t RightmostDelimiter(const TextView& delimiters, const TextView& text) {
  size_t position = text.length;
  while (position > 0) {
    unsigned char value = text.At(position);
    if (value != 0 && Holds(delimiters, value)) {
      if (ByteKindAt(text, position) != ByteKind::Trail) return position;
      --position;  // pass over the lead byte this one belongs to
    }
    --position;
  }
  return 0;
}

TextView DirectoryPart(const TextView& path) {
  return path.Head(RightmostDelimiter(DirectoryDelimiters(), path));
}

TextView NamePart(const TextView& path) {
  return path.After(RightmostDelimiter(DirectoryDelimiters(), path));
}

TextView ExtensionPart(const TextView& path) {
  size_t position = RightmostDelimiter(ExtensionDelimiters(), path);
  if (position > 0 && path.At(position) == '.') return path.After(position - 1);
  return TextView();
}

TextView DirectoryOf(const TextView& path) {
  size_t position = RightmostDelimiter(DirectoryDelimiters(), path);
  if (position > 1 && path.At(position) == '\\') {
    unsigned char before = path.At(position - 1);
    bool rootForm = (before == '\\' || before == ':') &&
                    ByteKindAt(path, position - 1) == ByteKind::Single;
    if (!rootForm) --position;
  }
  return path.Head(position);
}

TextView BaseName(const TextView& path) {
  TextView name = NamePart(path);
  name = name.Head(name.length - ExtensionPart(name).length);
  for (size_t position = name.length; position > 0; --position) {
    if (name.At(position) == '/') return name.After(position);
  }
  return name;
}

bool SamePathText(const TextView& a, const TextView& b) {
  if (a.length != b.length) return false;
  bool trail = false;
  for (size_t i = 0; i < a.length; ++i) {
    unsigned char x = static_cast<unsigned char>(a.bytes[i]);
    unsigned char y = static_cast<unsigned char>(b.bytes[i]);
    bool compareExactly = trail;
    trail = !trail && DoubleByteTextOn() && IsLeadByteValue(x);
    if (x == y) continue;
    if (compareExactly) return false;
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}
