#include "settings/launch_settings.h"

#include "platform/fault_guard.h"
#include "platform/file_existence.h"
#include "settings/settings_reader.h"

namespace {

constexpr const char* kSection = "Information";

struct SettingsLoad {
  TextView path;
  LaunchSettings* settings = nullptr;
  SettingsReader reader;
  bool readerLive = false;
  bool completed = false;
};

// Creates the reader, reads the four keys in order, releases the reader.
// Each value is stored as soon as its read returns. False when memory ran out.
bool ReadLaunchSettings(SettingsLoad& load) {
  LaunchSettings& settings = *load.settings;
  if (!CreateSettingsReader(load.path, load.reader)) return false;
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

void ReadGuarded(void* context) {
  SettingsLoad& load = *static_cast<SettingsLoad*>(context);
  load.completed = ReadLaunchSettings(load);
}

void ReleaseGuarded(void* context) {
  SettingsLoad& load = *static_cast<SettingsLoad*>(context);
  load.readerLive = false;  // a fault while releasing must not release again
  ReleaseSettingsReader(load.reader);
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
  load.path = path.View();
  load.settings = &settings;
  // Memory running out and faults the system reports (a disc that cannot be
  // read, say) end the load alike.
  if (RunGuarded(ReadGuarded, &load) && load.completed) return;
  // The reader goes first; then the configured target is dropped, so that the
  // default one starts instead.
  if (load.readerLive) RunGuarded(ReleaseGuarded, &load);
  settings.FileToRun.Clear();
}
