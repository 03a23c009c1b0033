#include "host_media.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <vector>

#include "code_page.h"
#include "media_path.h"
#include "profile_reader.h"
#include "settings/settings_reader.h"

namespace {

std::string Lowered(std::string text) {
  for (char& byte : text) byte = static_cast<char>(std::tolower(static_cast<unsigned char>(byte)));
  return text;
}

}  // namespace

bool HostMedia::FindEntry(const std::string& folder, const std::string& name,
                          std::string& found) const {
  struct stat info;
  if (stat((folder + "/" + name).c_str(), &info) == 0) {
    found = name;
    return true;
  }
  auto listed = listings_.find(folder);
  if (listed == listings_.end()) {
    listed = listings_.emplace(folder, std::unordered_map<std::string, std::string>()).first;
    if (DIR* directory = opendir(folder.empty() ? "/" : folder.c_str())) {
      while (dirent* entry = readdir(directory)) {
        listed->second.emplace(Lowered(entry->d_name), entry->d_name);  // the first one wins
      }
      closedir(directory);
    }
  }
  auto entry = listed->second.find(Lowered(name));
  if (entry == listed->second.end()) return false;
  found = entry->second;
  return true;
}

HostMedia::HostMedia(std::string windowsFolder, std::string hostFolder)
    : windowsFolder_(std::move(windowsFolder)), hostFolder_(std::move(hostFolder)) {
  while (hostFolder_.size() > 1 && hostFolder_.back() == '/') hostFolder_.pop_back();
}

bool HostMedia::HostPath(const std::string& windowsPath, std::string& hostPath) const {
  WalkFromFolder walk;
  if (!WalkTo(windowsFolder_, windowsPath, walk)) return false;
  // The launcher's folder stands for hostFolder_.
  std::string host = hostFolder_;
  for (size_t up = 0; up < walk.up; ++up) {
    size_t slash = host.find_last_of('/');
    host = slash == 0 || slash == std::string::npos ? "" : host.substr(0, slash);
  }
  // The parts are in the ANSI code page; the host names its files in UTF-8.
  for (const std::string& part : walk.down) {
    std::string name = AnsiToUtf8(part);
    std::string found;
    host += "/" + (FindEntry(host, name, found) ? found : name);
  }
  hostPath = host.empty() ? "/" : host;
  return true;
}

EntryFacts HostMedia::Find(const std::string& windowsPath) {
  EntryFacts facts;
  std::string hostPath;
  if (!HostPath(windowsPath, hostPath)) {
    facts.kind = EntryKind::Unknown;
    return facts;
  }
  struct stat info;
  if (stat(hostPath.c_str(), &info) != 0) return facts;
  facts.kind = S_ISDIR(info.st_mode) ? EntryKind::Directory : EntryKind::File;
  struct tm local;
  time_t written = info.st_mtime;
  facts.lastWriteHasDosForm = localtime_r(&written, &local) != nullptr &&
                              local.tm_year + 1900 >= 1980 && local.tm_year + 1900 <= 2107;
  return facts;
}

bool HostMedia::ReadBytes(const std::string& windowsPath, std::string& bytes, size_t limit) {
  std::string hostPath;
  if (!HostPath(windowsPath, hostPath)) return false;
  std::ifstream file(hostPath, std::ios::binary);
  if (!file) return false;
  bytes.clear();
  char chunk[65536];
  while (bytes.size() < limit && file.read(chunk, sizeof chunk).gcount() > 0) {
    bytes.append(chunk, static_cast<size_t>(file.gcount()));
  }
  if (bytes.size() > limit) bytes.resize(limit);
  return true;
}

std::vector<std::string> HostMedia::List(const std::string& windowsFolder) {
  std::vector<std::string> names;
  std::string hostPath;
  if (!HostPath(windowsFolder, hostPath)) return names;
  DIR* directory = opendir(hostPath.c_str());
  if (!directory) return names;
  while (dirent* entry = readdir(directory)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool exact = true;
    names.push_back(Utf8ToAnsi(name, exact));
  }
  closedir(directory);
  return names;
}

std::string HostMedia::ReadSetting(const std::string& windowsPath, const char* section,
                                   const char* key) {
  std::string bytes;
  if (!ReadBytes(windowsPath, bytes)) return "";
  char value[kLongestSettingText + 1];
  size_t length = ReadProfileValue(bytes, section, key, "", value, sizeof value);
  return std::string(value, length);
}
