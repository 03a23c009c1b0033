#include "windows_media.h"

#include "platform/windows/windows_api.h"
#include "settings/settings_reader.h"

EntryFacts WindowsMedia::Find(const std::string& windowsPath) {
  EntryFacts facts;
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

bool WindowsMedia::ReadBytes(const std::string& windowsPath, std::string& bytes, size_t limit) {
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

std::vector<std::string> WindowsMedia::List(const std::string& windowsFolder) {
  std::vector<std::string> names;
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

std::string WindowsMedia::ReadSetting(const std::string& windowsPath, const char* section,
                                      const char* key) {
  char value[kLongestSettingText + 1];
  DWORD length =
      GetPrivateProfileStringA(section, key, "", value, sizeof value, windowsPath.c_str());
  return std::string(value, length);
}
