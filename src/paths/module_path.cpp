#include "paths/module_path.h"

#include "platform/module_file.h"

namespace {

constexpr size_t kFirstBufferSize = 261;  // MAX_PATH and one more
constexpr size_t kLargestBufferSize = 65536;  // beyond any Windows path

}  // namespace

bool ReadModulePath(Text& path) {
  for (size_t size = kFirstBufferSize;; size *= 2) {
    if (!path.Reserve(size)) return false;
    size_t length = QueryModuleFileName(path.Buffer(), size);
    // A full buffer means the path was cut; older systems also leave it
    // without its NUL then.
    if (length < size || size >= kLargestBufferSize) {
      path.SetLength(length < size ? length : size - 1);
      return true;
    }
  }
}
