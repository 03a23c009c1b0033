#include "platform/file_existence.h"

#include "platform/windows/windows_api.h"

bool FindFirstEntry(const char* path, FoundEntry& entry) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  entry.attributes = found.dwFileAttributes;
  entry.lastWriteTime = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                        found.ftLastWriteTime.dwLowDateTime;
  return true;
}

bool LastWriteHasDosForm(uint64_t lastWriteTime) {
  FILETIME universal;
  universal.dwLowDateTime = static_cast<DWORD>(lastWriteTime);
  universal.dwHighDateTime = static_cast<DWORD>(lastWriteTime >> 32);
  FILETIME local = {};
  FileTimeToLocalFileTime(&universal, &local);
  WORD date = 0, time = 0;
  return FileTimeToDosDateTime(&local, &date, &time) != 0;
}

bool DirectoryExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

size_t SearchProgramFile(const char* name, const char* extension, char* buffer, size_t size) {
  // The order CreateProcessA uses but for the current directory, which the
  // launcher makes its own folder before it asks; CreateProcessA itself asks
  // SearchPath with ".exe".
  return SearchPathA(nullptr, name, extension, static_cast<DWORD>(size), buffer, nullptr);
}
