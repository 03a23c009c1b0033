// What the checker needs to know about the media, asked with the Windows
// paths the launcher would use. On Linux the answers come from a folder that
// stands for the media; on Windows from the system itself.
#pragma once

#include <string>
#include <vector>

enum class EntryKind { Missing, File, Directory, Unknown };

struct EntryFacts {
  EntryKind kind = EntryKind::Missing;
  bool lastWriteHasDosForm = true;  // 1980 to 2107, in local time
};

class MediaAccess {
 public:
  virtual ~MediaAccess() = default;
  /// What is at the path; Unknown when it lies outside what can be seen.
  virtual EntryFacts Find(const std::string& windowsPath) = 0;
  /// The file's bytes, at most `limit` of them; false when it cannot be read.
  virtual bool ReadBytes(const std::string& windowsPath, std::string& bytes,
                         size_t limit = std::string::npos) = 0;
  /// The names of the entries in a folder (a Windows path ending in "\"), in
  /// the media's own spelling; empty when it cannot be listed.
  virtual std::vector<std::string> List(const std::string& windowsFolder) = 0;
  /// The key's value as the launcher's profile read gives it (at most 2047
  /// bytes), from the file at the path; the default when missing.
  virtual std::string ReadSetting(const std::string& windowsPath, const char* section,
                                  const char* key) = 0;
};
