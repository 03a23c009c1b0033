// What the launcher will do, decided from its own path and its settings alone.
// Nothing here touches the platform, so the same decision can be shown to a
// media author before the media is made.
#pragma once

#include <stdint.h>

#include "paths/text.h"
#include "settings/launch_settings.h"

enum class LaunchMode { FolderBrowse, ShellOpen, ProcessStart };

/// The one request the launcher makes.
struct LaunchRequest {
  LaunchMode mode = LaunchMode::ProcessStart;
  /// True when FileToRun was empty and the default target took its place.
  bool usesDefaultTarget = false;
  /// FolderBrowse and ShellOpen: the file handed to the shell's "open" verb.
  Text file;
  /// FolderBrowse: the folder handed to "explorer.exe", in quotation marks.
  /// ShellOpen passes none.
  Text parameters;
  /// ProcessStart: the command line, exactly as the process receives it.
  Text commandLine;
  /// ProcessStart: the target's own directory; empty when it has none. Used
  /// as the current directory only when it names an existing directory.
  Text targetDirectory;
  /// ProcessStart, an unquoted line: the bytes that name the program Windows
  /// found in it (it tries the text before each blank in turn); 0 when not
  /// looked up, and the program is then cut at the first blank.
  size_t programLength = 0;
  /// The request could only start the launcher itself: nothing is started.
  bool namesLauncher = false;
};

/// The settings file beside the program: its directory part, its base name
/// and ".ini".
[[nodiscard]] bool FormSettingsPath(const TextView& modulePath, Text& settingsPath);
/// The program's own name and extension in "..\Installer\" seen from its own
/// directory. Not normalised: the ".." stays.
[[nodiscard]] bool FormDefaultTarget(const TextView& modulePath, Text& defaultTarget);

/// BrowseForFolder wins over ShellExec; neither gives a new process.
LaunchMode ChooseLaunchMode(const LaunchSettings& settings);

/// The directory a command line's program lies in: DirectoryOf the text inside
/// a leading pair of quotation marks (to the end when the closing one is
/// missing), else DirectoryOf the whole text.
TextView TargetDirectoryOf(const TextView& commandLine);

/// A command line cut where Windows cuts it: the program is the text inside
/// a leading pair of quotation marks (to the end when the closing one is
/// missing), else the text up to the first blank or tab; the arguments are
/// what follows, less the blanks and tabs before them. Both point into
/// `commandLine`.
struct CommandLineParts {
  TextView program;
  TextView arguments;
};
CommandLineParts SplitCommandLine(const TextView& commandLine);
/// The same, but an unquoted program ends after `programLength` bytes, where
/// Windows found it (0: at the first blank or tab, as above).
CommandLineParts SplitCommandLineAt(const TextView& commandLine, size_t programLength);

/// CreateProcessA's ERROR_ELEVATION_REQUIRED: the program's manifest asks for
/// administrator rights, which only the shell can ask the user for.
constexpr uint32_t kElevationRequired = 740;

/// Whether a failed process start is handed to the shell instead: only for
/// a program that needs administrator rights.
constexpr bool HandsFailedStartToShell(uint32_t error) { return error == kElevationRequired; }

/// Decides the request. False only when memory is exhausted.
[[nodiscard]] bool DecideLaunchRequest(const TextView& modulePath, const LaunchSettings& settings,
                                       LaunchRequest& request);
