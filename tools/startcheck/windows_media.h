// The media as Windows itself sees it: the same calls the launcher makes.
#pragma once

#include <string>
#include <vector>

#include "media_access.h"

class WindowsMedia : public MediaAccess {
 public:
  /// The media where it is.
  WindowsMedia() = default;
  /// The media as it will be: paths from `plannedFolder` (the launcher's
  /// folder on the media, such as "E:\") are looked up from `realFolder`
  /// (where it is now) instead; paths on other drives cannot be checked.
  WindowsMedia(std::string plannedFolder, const std::string& realFolder);

  EntryFacts Find(const std::string& windowsPath) override;
  bool ReadBytes(const std::string& windowsPath, std::string& bytes,
                 size_t limit = std::string::npos) override;
  std::vector<std::string> List(const std::string& windowsFolder) override;
  std::string ReadSetting(const std::string& windowsPath, const char* section,
                          const char* key) override;

 private:
  bool RealPath(const std::string& plannedPath, std::string& realPath) const;

  std::string plannedFolder_;
  std::string realRoot_;                // "C:" or "\\server\share"
  std::vector<std::string> realParts_;  // the real folder below its root
};
