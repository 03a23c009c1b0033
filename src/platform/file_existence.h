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

/// SearchPathA with the process's own search order: a relative name in the
/// launcher's folder first, then System32, the Windows folder, the current
/// directory and PATH; `extension` (or null) is added where the name's last
/// part has none. The full path found, NUL-terminated in `buffer`: its
/// length, 0 when nothing is found, more than `size` when it does not fit.
/// It may name a folder.
size_t SearchProgramFile(const char* name, const char* extension, char* buffer, size_t size);
