#include "media_path.h"

#include <cctype>

#include "paths/double_byte_text.h"

std::vector<std::string> SplitWindowsPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  TextView text(path.data(), path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    char byte = path[i];
    if ((byte == '\\' || byte == '/') && ByteKindAt(text, i + 1) != ByteKind::Trail) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += byte;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

bool SameLetters(const std::string& left, const std::string& right) {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(left[i])) !=
        std::tolower(static_cast<unsigned char>(right[i]))) {
      return false;
    }
  }
  return true;
}

bool WalkTo(const std::string& folder, const std::string& path, WalkFromFolder& walk) {
  if (folder.size() < 2 || folder[1] != ':' || path.size() < 2 ||
      !SameLetters(path.substr(0, 2), folder.substr(0, 2))) {
    return false;
  }
  std::vector<std::string> parts;
  for (const std::string& part : SplitWindowsPath(path.substr(2))) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::vector<std::string> folderParts = SplitWindowsPath(folder.substr(2));
  size_t shared = 0;
  while (shared < parts.size() && shared < folderParts.size() &&
         SameLetters(parts[shared], folderParts[shared])) {
    ++shared;
  }
  walk.up = folderParts.size() - shared;
  walk.down.assign(parts.begin() + static_cast<std::ptrdiff_t>(shared), parts.end());
  return true;
}
