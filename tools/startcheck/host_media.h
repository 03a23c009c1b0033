// The media as a folder on this machine: Windows paths below the launcher's
// planned folder are looked up below the folder that stands for it, with
// Windows' indifference to letter case.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "media_access.h"

class HostMedia : public MediaAccess {
 public:
  /// `windowsFolder` is the launcher's folder as Windows will see it (such as
  /// "E:\" or "Z:\home\ann\cd\"); `hostFolder` is the same folder here.
  HostMedia(std::string windowsFolder, std::string hostFolder);

  EntryFacts Find(const std::string& windowsPath) override;
  bool ReadBytes(const std::string& windowsPath, std::string& bytes,
                 size_t limit = std::string::npos) override;
  std::vector<std::string> List(const std::string& windowsFolder) override;
  std::string ReadSetting(const std::string& windowsPath, const char* section,
                          const char* key) override;

  /// The host path for a Windows path; false when it lies on another drive.
  bool HostPath(const std::string& windowsPath, std::string& hostPath) const;

 private:
  /// The entry of a host folder whose name matches in any letter case; each
  /// folder is listed once, so that many lookups in a large folder stay cheap.
  bool FindEntry(const std::string& folder, const std::string& name, std::string& found) const;

  std::string windowsFolder_;
  std::string hostFolder_;
  // Host folder -> its names in lower case -> the name as the folder spells it.
  mutable std::map<std::string, std::unordered_map<std::string, std::string>> listings_;
};
