#include "paths/path_names.h"

#include "paths/double_byte_text.h"

namespace {

constexpr TextView kDirectoryDelimiters("\\:", 2);
constexpr TextView kExtensionDelimiters(".\\:", 3);

bool Holds(TextView set, unsigned char value) {
  for (size_t i = 1; i <= set.length; ++i) {
    if (set.At(i) == value) return true;
  }
  return false;
}

}  // namespace

size_t RightmostDelimiter(TextView delimiters, TextView text) {
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

TextView DirectoryPart(TextView path) {
  return path.Head(RightmostDelimiter(kDirectoryDelimiters, path));
}

TextView NamePart(TextView path) {
  return path.After(RightmostDelimiter(kDirectoryDelimiters, path));
}

TextView ExtensionPart(TextView path) {
  size_t position = RightmostDelimiter(kExtensionDelimiters, path);
  if (position > 0 && path.At(position) == '.') return path.After(position - 1);
  return TextView();
}

TextView DirectoryOf(TextView path) {
  size_t position = RightmostDelimiter(kDirectoryDelimiters, path);
  if (position > 1 && path.At(position) == '\\') {
    unsigned char before = path.At(position - 1);
    bool rootForm = (before == '\\' || before == ':') &&
                    ByteKindAt(path, position - 1) == ByteKind::Single;
    if (!rootForm) --position;
  }
  return path.Head(position);
}

TextView BaseName(TextView path) {
  TextView name = NamePart(path);
  name = name.Head(name.length - ExtensionPart(name).length);
  for (size_t position = name.length; position > 0; --position) {
    if (name.At(position) == '/') return name.After(position);
  }
  return name;
}
