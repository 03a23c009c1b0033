// The four values of the settings file and how they are loaded.
#pragma once

#include "paths/text.h"

struct LaunchSettings {
  Text FileToRun;
  bool ShellExec = false;
  bool BrowseForFolder = false;
  Text BrowsePath;
};

/// True when the path names a file that counts as present: found, no
/// directory, and last written (in local time) between 1980 and 2107.
bool FilePresent(const char* path);

/// Fills `settings` from the section "Information" of the file at `path`
/// when that file is present; an absent file reads nothing. A failure while
/// reading (memory exhausted, or a fault the system reports) never leaves
/// this: the reader is released,
/// FileToRun becomes empty so the default target is used, and the values read
/// before the failure stay.
void LoadLaunchSettings(const Text& path, LaunchSettings& settings);
