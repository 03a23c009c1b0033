// A platform that answers from a script and writes down every call, so the
// launcher's logic can be tested on any host. Memory can be made to run out
// at a chosen allocation.
#pragma once

#include <stdint.h>

#include <array>
#include <map>
#include <string>
#include <vector>

struct FakeEntry {
  uint32_t attributes = 0x20;  // an archive file
  bool hasDosTime = true;      // false: last written before 1980 or after 2107
};

struct FakeLaunch {
  // ShellOpen: ShellExecuteExA; Process: CreateProcessA.
  enum class Kind { None, ShellOpen, Process } kind = Kind::None;
  std::string file;
  std::string parameters;
  bool hasParameters = false;
  std::string commandLine;
  bool hasDirectory = false;  // false: null passed
  std::string directory;
};

struct FakePlatform {
  // Module file.
  std::string modulePath = "C:\\CD\\Start.exe";
  // As GetModuleFileNameW gives it; empty: modulePath, byte for unit.
  std::u16string moduleWidePath;
  bool moduleFileFails = false;

  // The ANSI code page of the fake: units below 0x100 are the bytes of the
  // same value; every other unit has no form and becomes "?", or with best
  // fit the look-alike listed here.
  std::map<char16_t, char> bestFits = {{u'\u0141', 'L'}};  // Ł
  // Short names by long path (GetShortPathNameW); a path not listed has no
  // short form and comes back unchanged, one listed as empty fails.
  std::map<std::u16string, std::u16string> shortPaths;

  // Locale answers.
  uint32_t threadLocale = 0x0409;
  bool versionCallSucceeds = true;
  uint32_t platformId = 2;
  int dbcsEnabledMetric = 0;
  std::string localeCodePageText = "1252";  // at most 7 bytes are handed out
  uint32_t ansiCodePage = 1252;
  std::map<uint32_t, std::array<unsigned char, 12>> leadByteRanges;

  // File system: the entries FindFirstFileA finds, by path. The other file
  // calls take a relative path from the current folder, resolve "." and
  // "..", and ignore letter case.
  std::map<std::string, FakeEntry> entries;
  std::string currentFolder = "C:\\Elsewhere";
  // Where SearchPathA looks after the current folder.
  std::vector<std::string> searchFolders = {"C:\\Windows\\system32"};

  // The process's environment, as the launcher read and left it.
  std::map<std::string, std::string> environment;
  // Profile files: path -> "section/key" -> value.
  std::map<std::string, std::map<std::string, std::string>> profiles;
  // A fault the system reports, raised inside the profile read of this key,
  // or inside the flush call.
  std::string faultingKey;
  bool flushFaults = false;

  // Memory: the allocation with this index (0 is the first after the reset)
  // fails; -1 never.
  long failingAllocation = -1;
  long allocationCount = 0;
  long liveBlocks = 0;

  // What CreateProcessA's failure gives (0: the process starts).
  uint32_t processError = 0;

  // What was asked.
  std::vector<std::string> calls;
  FakeLaunch launch;
  std::string boxTitle, boxText, debugText;
  void (*faultReport)(const struct FaultRecord&) = nullptr;  // as installed

  void AddFile(const std::string& path, FakeEntry entry = {}) { entries[path] = entry; }
  void AddDirectory(const std::string& path) { entries[path] = FakeEntry{0x10, true}; }
  void SetProfileValue(const std::string& path, const std::string& section,
                       const std::string& key, const std::string& value) {
    profiles[path][section + "/" + key] = value;
  }
  /// The entry a path names, for the calls that resolve paths; null if none.
  const FakeEntry* Resolve(const std::string& path, std::string* resolved = nullptr) const;
  /// Calls made, less the memory ones.
  std::vector<std::string> CallsNamed(const std::string& prefix) const;
};

/// The one fake in use; reset before each test.
FakePlatform& Fake();
void ResetFake();

/// Thrown by the fake EndProcess, so a test sees the exit code.
struct ProcessEnded {
  unsigned exitCode;
};

/// Thrown where the fake system reports a fault; RunGuarded stops it.
struct FakeFault {};
