// What the file system says about a path; nothing is opened.
#pragma once

#include <stdint.h>

struct FoundEntry {
  uint32_t attributes = 0;
  uint64_t lastWriteTime = 0;  // a FILETIME, in UTC
};

constexpr uint32_t kDirectoryAttribute = 0x10;

/// FindFirstFileA on the path; the search is closed before this returns.
/// False when nothing is found.
bool FindFirstEntry(const char* path, FoundEntry& entry);
/// True when the time, taken to local time, has an MS-DOS date and time
/// (1 January 1980 to 31 December 2107).
bool LastWriteHasDosForm(uint64_t lastWriteTime);
/// True when the path names an existing directory.
bool DirectoryExists(const char* path);
