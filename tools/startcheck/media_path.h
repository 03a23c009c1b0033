// Windows paths on the media, seen from the launcher's folder: both ways of
// looking at the media (a folder on this machine, or another folder under
// Windows) map the launcher's planned folder to the one that stands for it.
#pragma once

#include <string>
#include <vector>

/// The names of a path, split at "\" and "/" as Windows splits them: with
/// the double-byte rule, the second byte of a character is never a delimiter.
std::vector<std::string> SplitWindowsPath(const std::string& path);

/// Equal but for the letter case of ASCII letters, as Windows compares names.
bool SameLetters(const std::string& left, const std::string& right);

/// A path as a walk from a folder: so many folders up, then these names down.
struct WalkFromFolder {
  size_t up = 0;
  std::vector<std::string> down;
};

/// The walk from `folder` (a full Windows path such as "E:\CD\") to `path`,
/// with "." and ".." resolved as Windows does (never above the drive's root);
/// false when the path lies on another drive or is not a full path.
bool WalkTo(const std::string& folder, const std::string& path, WalkFromFolder& walk);
