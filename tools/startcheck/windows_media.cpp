#include "windows_media.h"

#include "media_path.h"
#include "platform/windows/windows_api.h"
#include "settings/settings_reader.h"

WindowsMedia::WindowsMedia(std::string plannedFolder, const std::string& realFolder)
    : plannedFolder_(std::move(plannedFolder)) {
  std::vector<std::string> parts = SplitWindowsPath(realFolder);
  size_t rootParts = realFolder.rfind("\\\\", 0) == 0 ? 2 : 1;  // a share, or a drive
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i < rootParts) {
      realRoot_ += (rootParts == 2 ? "\\" : "") + parts[i];
    } else {
      realParts_.push_back(parts[i]);
    }
  }
}

bool WindowsMedia::RealPath(const std::string& windowsPath, std::string& realPath) const {
  if (plannedFolder_.empty()) {
    realPath = windowsPath;
    return true;
  }
  WalkFromFolder walk;
  if (!WalkTo(plannedFolder_, windowsPath, walk)) return false;
  std::vector<std::string> parts = realParts_;
  for (size_t up = 0; up < walk.up && !parts.empty(); ++up) parts.pop_back();
  parts.insert(parts.end(), walk.down.begin(), walk.down.end());
  realPath = realRoot_;
  for (const std::string& part : parts) realPath += "\\" + part;
  bool folder = !windowsPath.empty() && (windowsPath.back() == '\\' || windowsPath.back() == '/');
  if (folder || parts.empty()) realPath += "\\";
  return true;
}

EntryFacts WindowsMedia::Find(const std::string& plannedPath) {
  EntryFacts facts;
  std::string windowsPath;
  if (!RealPath(plannedPath, windowsPath)) {
    facts.kind = EntryKind::Unknown;
    return facts;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(windowsPath.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    // A root ("E:\") is found by its attributes, not by a search.
    DWORD attributes = GetFileAttributesA(windowsPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      facts.kind = EntryKind::Directory;
    }
    return facts;
  }
  FindClose(search);
  facts.kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Directory
                                                                    : EntryKind::File;
  FILETIME local;
  WORD date = 0, time = 0;
  FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
  facts.lastWriteHasDosForm = FileTimeToDosDateTime(&local, &date, &time) != 0;
  return facts;
}

bool WindowsMedia::ReadBytes(const std::string& plannedPath, std::string& bytes, size_t limit) {
  std::string windowsPath;
  if (!RealPath(plannedPath, windowsPath)) return false;
  HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char chunk[65536];
  DWORD read = 0;
  while (bytes.size() < limit && ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
    bytes.append(chunk, read);
  }
  CloseHandle(file);
  if (bytes.size() > limit) bytes.resize(limit);
  return true;
}

std::vector<std::string> WindowsMedia::List(const std::string& plannedFolder) {
  std::vector<std::string> names;
  std::string windowsFolder;
  if (!RealPath(plannedFolder, windowsFolder)) return names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((windowsFolder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::string WindowsMedia::ReadSetting(const std::string& plannedPath, const char* section,
                                      const char* key) {
  std::string windowsPath;
  if (!RealPath(plannedPath, windowsPath)) return "";
  char value[kLongestSettingText + 1];
  DWORD length =
      GetPrivateProfileStringA(section, key, "", value, sizeof value, windowsPath.c_str());
  return std::string(value, length);
}
