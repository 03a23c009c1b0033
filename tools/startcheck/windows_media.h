// The media as Windows itself sees it: the same calls the launcher makes.
#pragma once

#include <string>
#include <vector>

#include "media_access.h"

class WindowsMedia : public MediaAccess {
 public:
  EntryFacts Find(const std::string& windowsPath) override;
  bool ReadBytes(const std::string& windowsPath, std::string& bytes,
                 size_t limit = std::string::npos) override;
  std::vector<std::string> List(const std::string& windowsFolder) override;
  std::string ReadSetting(const std::string& windowsPath, const char* section,
                          const char* key) override;
};
