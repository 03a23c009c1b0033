#include "settings/launch_settings.h"

#include "platform/file_existence.h"
#include "settings/settings_reader.h"

namespace {

constexpr const char* kSection = "Information";

struct SettingsLoad {
  SettingsReader reader;
  bool readerLive = false;
};

// Creates the reader, reads the four keys in order, releases the reader.
// Each value is stored as soon as its read returns. False when memory ran out.
bool ReadLaunchSettings(TextView path, LaunchSettings& settings, SettingsLoad& load) {
  if (!CreateSettingsReader(path, load.reader)) return false;
  load.readerLive = true;

  Text fileToRun;
  if (!ReadSettingText(load.reader, kSection, "FileToRun", "", fileToRun)) return false;
  settings.FileToRun = static_cast<Text&&>(fileToRun);
  if (!ReadSettingFlag(load.reader, kSection, "ShellExec", false, settings.ShellExec)) {
    return false;
  }
  if (!ReadSettingFlag(load.reader, kSection, "BrowseForFolder", false,
                       settings.BrowseForFolder)) {
    return false;
  }
  Text browsePath;
  if (!ReadSettingText(load.reader, kSection, "BrowsePath", "", browsePath)) return false;
  settings.BrowsePath = static_cast<Text&&>(browsePath);

  load.readerLive = false;
  ReleaseSettingsReader(load.reader);
  return true;
}

}  // namespace

bool FilePresent(const char* path) {
  FoundEntry entry;
  if (!FindFirstEntry(path, entry)) return false;
  if (entry.attributes & kDirectoryAttribute) return false;
  return LastWriteHasDosForm(entry.lastWriteTime);
}

void LoadLaunchSettings(const Text& path, LaunchSettings& settings) {
  if (!FilePresent(path.CString())) return;
  SettingsLoad load;
  if (ReadLaunchSettings(path.View(), settings, load)) return;
  // The reader goes first; then the configured target is dropped, so that the
  // default one starts instead.
  if (load.readerLive) {
    load.readerLive = false;
    ReleaseSettingsReader(load.reader);
  }
  settings.FileToRun.Clear();
}
